#include "store_bench_folder.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "mime/MailCodecs.h"

namespace lumbrook {

namespace {

std::uint64_t mix(std::uint64_t x) {  // splitmix64
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A stream of numbers for one message: everything about message I of folder F
// follows from (Seed, F, I), whatever else is generated.
class Random {
  public:
    Random(std::uint64_t seed, std::size_t folder, std::size_t i, std::uint64_t purpose)
        : state(mix(mix(seed ^ mix(folder + 0x51ED)) ^ mix(i + (purpose << 40)))) {}
    std::uint64_t next() { return state = mix(state); }
    std::size_t below(std::size_t n) { return n ? static_cast<std::size_t>(next() % n) : 0; }
    std::size_t between(std::size_t lo, std::size_t hi) { return lo + below(hi - lo + 1); }

  private:
    std::uint64_t state;
};

enum : std::uint64_t { ForShape = 1, ForSubject, ForPeople, ForDate, ForBody, ForReply };

// Latin-1 bytes, as Outlook Express stores a German user's texts.
constexpr const char* SubjectWords[] = {
    "Gr\xFC\xDF"
    "e",
    "Besprechung",
    "Rechnung",
    "Ferien",
    "Caf\xE9",
    "Z\xFCrich",
    "Jahresabschlu\xDF",
    "\xDC"
    "bersicht",
    "Termine",
    "Projekt",
    "Angebot",
    "Bestellung",
    "Fotos",
    "Urlaub",
    "M\xE4rz",
    "Protokoll",
    "Geb\xFChren",
    "K\xF6ln",
    "Einladung",
    "Entwurf",
    "Vertrag",
    "Stra\xDF"
    "e",
    "Sitzung",
    "Newsletter"};
constexpr const char* BodyWords[] = {"der",
                                     "die",
                                     "und",
                                     "Nachricht",
                                     "f\xFCr",
                                     "wir",
                                     "Sie",
                                     "bitte",
                                     "morgen",
                                     "heute",
                                     "gr\xF6\xDF"
                                     "er",
                                     "Ordner",
                                     "Anhang",
                                     "sch\xF6n",
                                     "Woche",
                                     "\xFC"
                                     "ber",
                                     "Datei",
                                     "the",
                                     "message",
                                     "of",
                                     "store",
                                     "folder",
                                     "a",
                                     "Outlook",
                                     "Express",
                                     "mail"};
constexpr const char* FirstNames[] = {"J\xFCrgen", "Anna",   "Bj\xF6rn", "Claire",      "Ren\xE9",
                                      "Sabine",    "Mehmet", "Ute",      "Fran\xE7ois", "Heike"};
constexpr const char* LastNames[] = {"M\xFCller", "Schmidt", "Wei\xDF",  "Dubois",     "Kr\xE4mer",
                                     "Yilmaz",    "Becker",  "Hoffmann", "Lef\xE8vre", "Schulz"};
constexpr const char* Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* Weekdays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};

template <typename T, std::size_t N>
const char* pick(Random& r, T (&list)[N]) {
    return list[r.below(N)];
}

std::string baseSubject(std::uint64_t seed, std::size_t folder, std::size_t i) {
    Random r(seed, folder, i, ForSubject);
    std::string s = pick(r, SubjectWords);
    for (std::size_t w = r.between(1, 3); w > 0; --w) s.append(" ").append(pick(r, SubjectWords));
    s.append(" ").append(std::to_string(r.below(1000)));
    return s;
}

// Three in ten messages answer one of the 50 before them, as threads do; their
// subjects repeat, and so do their file names when saved.
std::string subject(std::uint64_t seed, std::size_t folder, std::size_t i) {
    Random r(seed, folder, i, ForReply);
    if (i > 0 && r.below(10) < 3)
        return "Re: " + baseSubject(seed, folder, i - 1 - r.below(std::min<std::size_t>(i, 50)));
    return baseSubject(seed, folder, i);
}

struct Person {
    std::string name;
    std::string address;
};

Person sender(std::uint64_t seed, std::size_t folder, std::size_t i) {
    Random r(seed, folder, i, ForPeople);
    const std::size_t f = r.below(std::size(FirstNames)), l = r.below(std::size(LastNames));
    std::string address = "user" + std::to_string(f * 10 + l) + "@example.org";
    return {std::string(FirstNames[f]) + " " + LastNames[l], address};
}

// Ten years from 1 January 1999, in seconds since 1970.
std::int64_t dateSeconds(std::uint64_t seed, std::size_t folder, std::size_t i) {
    Random r(seed, folder, i, ForDate);
    return 915'148'800 + static_cast<std::int64_t>(r.below(10ULL * 365 * 86'400));
}

std::string dateHeader(std::int64_t seconds) {
    // Civil date from a day count (Howard Hinnant's algorithm).
    const std::int64_t days = seconds / 86'400, inDay = seconds % 86'400;
    std::int64_t z = days + 719'468;
    const std::int64_t era = z / 146'097, doe = z - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %d %s %d %02d:%02d:%02d +0100", Weekdays[days % 7],
                  int(day), Months[month - 1], int(year), int(inDay / 3600), int(inDay / 60 % 60),
                  int(inDay % 60));
    return buffer;
}

// A header text with 8-bit letters as one Q-encoded word, as mail clients send it.
std::string headerText(std::string_view text) {
    if (std::none_of(text.begin(), text.end(), [](char c) { return c & 0x80; }))
        return std::string(text);
    std::string out = "=?iso-8859-1?Q?";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == ' ') {
            out += '_';
        } else if (b > 126 || b == '=' || b == '?' || b == '_') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "=%02X", b);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "?=";
}

// Words in lines of at most 64 characters (room for escapes), about Size bytes.
std::string prose(Random& r, std::size_t size) {
    std::string text;
    text.reserve(size + 80);
    std::size_t column = 0;
    while (text.size() < size) {
        const char* w = pick(r, BodyWords);
        const std::size_t length = std::char_traits<char>::length(w);
        if (column + length > 64) {
            text += "\r\n";
            column = 0;
        } else if (column > 0) {
            text += ' ';
            ++column;
        }
        text += w;
        column += length;
    }
    return text + "\r\n";
}

std::string randomBytes(Random& r, std::size_t size) {
    std::string bytes(size, '\0');
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t v = r.next();
        for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<char>(v >> (8 * k));
    }
    for (; i < size; ++i) bytes[i] = static_cast<char>(r.next());
    return bytes;
}

std::size_t largeSize(const BenchFolderPlan& plan, Random& r) {
    return r.between(plan.largeMin, std::max(plan.largeMin, plan.largeMax));
}

// The shape of message I: its size and whether a base64 attachment fills it.
struct Shape {
    std::size_t size;
    bool attachment;
    bool large;
};

Shape shape(const BenchFolderPlan& plan, std::uint64_t seed, std::size_t folder, std::size_t i) {
    Random r(seed, folder, i, ForShape);
    if (r.below(1000) < plan.largePerMille) return {largeSize(plan, r), true, true};
    // One in 40 carries a small picture or document.
    if (r.below(40) == 0) return {r.between(20'000, 150'000), true, false};
    return {r.between(2'000, 20'000), false, false};
}

std::string messageId(std::uint64_t seed, std::size_t folder, std::size_t i) {
    std::string id = "<";
    id.append(std::to_string(Random(seed, folder, i, ForPeople).next() ^ i));
    return id.append("@example.org>");
}

constexpr std::string_view Boundary = "----=_NextPart_000_0012_01C3A1B2.4D5E6F70";

std::string messageHeader(std::uint64_t seed, std::size_t folder, std::size_t i) {
    const Person from = sender(seed, folder, i);
    std::string h;
    h.append("Return-Path: <").append(from.address).append(">\r\n");
    h.append("Received: from mail.example.org ([192.0.2.25]) by mx.example.net with ESMTP id ")
        .append(std::to_string(mix(i) % 100'000'000))
        .append(";\r\n\t")
        .append(dateHeader(dateSeconds(seed, folder, i)))
        .append("\r\n");
    h.append("Message-ID: ").append(messageId(seed, folder, i)).append("\r\n");
    h.append("From: \"").append(headerText(from.name)).append("\" <").append(from.address);
    h.append(">\r\nTo: \"Lumbrook Reader\" <reader@example.net>\r\n");
    h.append("Subject: ").append(headerText(subject(seed, folder, i))).append("\r\n");
    h.append("Date: ").append(dateHeader(dateSeconds(seed, folder, i))).append("\r\n");
    h.append(
        "MIME-Version: 1.0\r\nX-Priority: 3\r\nX-Mailer: Microsoft Outlook Express "
        "6.00.2800.1158\r\n");
    return h;
}

std::string partHead(std::string_view type, std::string_view encoding) {
    std::string h = "--";
    h.append(Boundary).append("\r\nContent-Type: ").append(type);
    h.append("\r\nContent-Transfer-Encoding: ").append(encoding).append("\r\n\r\n");
    return h;
}

std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

// UnDBX, which the benchmarks run beside lumbrook-cli, reads more of a file than
// our reader does. Run on files of the test writer's plain layout it finds no
// index at all, or misses the records under each node's first link. Files that
// Outlook Express writes, as far as UnDBX shows, hold the start node again at
// 0xE4 and the file's size at 0x7C; each node names its child node at offset 8,
// its parent at offset 12 and the number of records below the child at 20. Our
// reader walks such a node in the same order (the parent is always visited
// already), so the figures of both programs are for the same messages.
void completeForOtherReaders(const std::string& path, const DbxLayout& layout) {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) throw std::runtime_error("cannot update " + path);
    std::uint8_t head[4];
    put32(head, static_cast<std::uint32_t>(layout.size));
    bool ok = std::fseek(f, 0x7C, SEEK_SET) == 0 && std::fwrite(head, 1, 4, f) == 4;
    put32(head, static_cast<std::uint32_t>(layout.startNode));
    ok = ok && std::fseek(f, 0xE4, SEEK_SET) == 0 && std::fwrite(head, 1, 4, f) == 4;
    if (!layout.nodes.empty() && layout.chainNodes.empty()) {
        // The nodes lie together at the end of the file.
        const std::uint64_t nodesStart = static_cast<std::uint64_t>(layout.nodes.front());
        std::vector<std::uint8_t> bytes(layout.size - nodesStart);
        ok = ok && std::fseek(f, static_cast<long>(nodesStart), SEEK_SET) == 0 &&
             std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
        const auto nodeAt = [&](std::uint32_t offset) { return bytes.data() + (offset - nodesStart); };
        // Records below a link: the node's own, its first link's and its entries' children's.
        const std::function<std::uint32_t(std::uint32_t)> below = [&](std::uint32_t link) {
            if (link == 0) return 0u;
            const std::uint8_t* p = nodeAt(link);
            const std::uint32_t count = get32(p + 16) >> 8;
            std::uint32_t sum = count + below(get32(p + 12));
            for (std::uint32_t e = 0; e < count; ++e) sum += below(get32(p + 24 + e * 12 + 4));
            return sum;
        };
        std::vector<std::uint32_t> firstLinkRecords;
        for (std::int32_t offset : layout.nodes)
            firstLinkRecords.push_back(below(get32(nodeAt(static_cast<std::uint32_t>(offset)) + 12)));
        for (std::size_t k = 0; k < layout.nodes.size(); ++k) {
            std::uint8_t* p = nodeAt(static_cast<std::uint32_t>(layout.nodes[k]));
            const std::uint32_t parent = get32(p + 8), child = get32(p + 12);
            put32(p + 8, child);
            put32(p + 12, parent);
            put32(p + 20, firstLinkRecords[k]);
        }
        ok = ok && std::fseek(f, static_cast<long>(nodesStart), SEEK_SET) == 0 &&
             std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot update " + path);
}

}  // namespace

std::string benchMessageText(std::uint64_t seed, std::size_t folder, std::size_t i,
                             std::size_t size, bool attachment) {
    Random r(seed, folder, i, ForBody);
    std::string text = messageHeader(seed, folder, i);
    const auto room = [&] { return size > text.size() ? size - text.size() : 0; };
    const std::size_t kind = r.below(4);
    if (attachment) {
        text.append("Content-Type: multipart/mixed;\r\n\tboundary=\"").append(Boundary);
        text.append("\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n");
        text += partHead("text/plain;\r\n\tcharset=\"iso-8859-1\"", "8bit");
        text += prose(r, r.between(200, 1500));
        text += "\r\n";
        const bool pdf = size > 1'000'000 || r.below(2);
        const std::string name =
            (pdf ? "Bericht " : "Foto ") + std::to_string(i) + (pdf ? ".pdf" : ".jpg");
        text += partHead(pdf ? "application/pdf;\r\n\tname=\"" + name + "\""
                             : "image/jpeg;\r\n\tname=\"" + name + "\"",
                         "base64");
        text.pop_back();
        text.pop_back();
        text.append("Content-Disposition: attachment;\r\n\tfilename=\"").append(name);
        text.append("\"\r\n\r\n");
        const std::size_t closing = Boundary.size() + 8;
        // Base64 lines of 76 characters and CR LF carry 57 bytes each.
        const std::size_t encoded = room() > closing ? room() - closing : 0;
        std::string body;
        base64EncodeStream(randomBytes(r, encoded / 78 * 57), body);
        text += body;
        text.append("\r\n--").append(Boundary).append("--\r\n");
    } else if (kind == 3) {
        // Outlook Express's HTML mail: the text and the page as alternatives.
        text.append("Content-Type: multipart/alternative;\r\n\tboundary=\"").append(Boundary);
        text.append("\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n");
        // Both alternatives and the page's frame must fit in the room left.
        const std::string words = prose(r, room() > 800 ? (room() - 800) * 2 / 5 : 100);
        text += partHead("text/plain;\r\n\tcharset=\"iso-8859-1\"", "quoted-printable");
        text += qpEncode(words, false);
        text += "\r\n";
        text += partHead("text/html;\r\n\tcharset=\"iso-8859-1\"", "quoted-printable");
        std::string page =
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
            "<HTML><HEAD></HEAD>\r\n<BODY bgColor=#ffffff>\r\n<DIV><FONT face=Arial "
            "size=2>";
        page += words;
        page += "</FONT></DIV></BODY></HTML>\r\n";
        text += qpEncode(page, false);
        text.append("\r\n--").append(Boundary).append("--\r\n");
    } else if (kind == 2) {
        text +=
            "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
        text += qpEncode(prose(r, room() * 3 / 4), false);
    } else {
        text +=
            "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
            "Content-Transfer-Encoding: 8bit\r\n\r\n";
        text += prose(r, room());
    }
    // Exactly size bytes: plain lines after the body (or in the epilogue of a
    // multipart message), cut where the size is reached.
    while (text.size() < size) text += "\r\n-- \r\nGesendet mit Outlook Express\r\n";
    if (size) text.resize(size);
    return text;
}

BenchFolderPlan parseBenchFolderPlan(const std::string& text) {
    BenchFolderPlan plan;
    std::vector<std::string> items;
    std::size_t from = 0;
    while (true) {
        const std::size_t colon = text.find(':', from);
        items.push_back(text.substr(from, colon - from));
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    const auto number = [&](const std::string& s) {
        std::size_t used = 0;
        const unsigned long long v = std::stoull(s, &used);
        if (used != s.size()) throw std::invalid_argument("not a number: " + s);
        return static_cast<std::size_t>(v);
    };
    if (items.size() < 2 || items.size() > 4 || items[0].empty())
        throw std::invalid_argument("folder plan NAME:COUNT[:LARGE_PER_MILLE[:MIN_KB-MAX_KB]]");
    plan.name = items[0];
    plan.messages = number(items[1]);
    if (items.size() > 2) plan.largePerMille = static_cast<unsigned>(number(items[2]));
    if (items.size() > 3) {
        const std::size_t dash = items[3].find('-');
        if (dash == std::string::npos) throw std::invalid_argument("size range MIN_KB-MAX_KB");
        plan.largeMin = number(items[3].substr(0, dash)) * 1000;
        plan.largeMax = number(items[3].substr(dash + 1)) * 1000;
    }
    if (plan.largePerMille > 1000 || plan.largeMax < plan.largeMin)
        throw std::invalid_argument("bad folder plan " + text);
    return plan;
}

BenchFolderStats writeBenchFolder(const std::string& path, const BenchFolderPlan& plan,
                                   std::uint64_t seed, std::size_t folder) {
    BenchFolderStats stats;
    stats.messages = plan.messages;
    std::vector<DbxRecord> records;
    records.reserve(plan.messages);
    std::vector<Shape> shapes;
    shapes.reserve(plan.messages);
    for (std::size_t i = 0; i < plan.messages; ++i) {
        const Shape s = shape(plan, seed, folder, i);
        shapes.push_back(s);
        const Person from = sender(seed, folder, i);
        const std::string sub = subject(seed, folder, i);
        const std::uint64_t date = unixTimeToFileTime(dateSeconds(seed, folder, i));
        std::array<std::uint8_t, 8> received{};
        for (int k = 0; k < 8; ++k) received[k] = static_cast<std::uint8_t>(date >> (8 * k));
        // The entries Outlook Express writes, in its ascending id order.
        DbxRecord record;
        auto& f = record.fields;
        f.push_back(DbxField::direct(0x80, static_cast<std::uint32_t>(i + 1)));
        f.push_back(DbxField::direct(0x81, 0x81));
        f.push_back(DbxField::raw8(0x02, received));
        f.push_back(DbxField::dataOffset());
        f.push_back(DbxField::text(0x07, messageId(seed, folder, i)));
        f.push_back(DbxField::text(0x08, sub));
        f.push_back(DbxField::text(0x09, sub.starts_with("Re: ") ? sub.substr(4) : sub));
        f.push_back(DbxField::text(0x0D, from.name));
        f.push_back(DbxField::text(0x0E, from.address));
        f.push_back(DbxField::fileTime(0x12, date));
        f.push_back(DbxField::text(0x13, "Lumbrook Reader"));
        f.push_back(DbxField::text(0x1A, "mail.example.net"));
        f.push_back(DbxField::text(0x1B, "00000001"));
        f.push_back(DbxField::direct(
            0x91, static_cast<std::uint32_t>(std::min<std::size_t>(s.size, 0xFFFFFF))));
        record.sourcedTextSize = s.size;
        stats.textBytes += s.size;
        stats.largeMessages += s.large;
        records.push_back(std::move(record));
    }
    DbxFileOptions options;
    options.textSource = [&](std::size_t i) {
        return benchMessageText(seed, folder, i, shapes[i].size, shapes[i].attachment);
    };
    const DbxLayout layout = writeDbx(path, records, options);
    completeForOtherReaders(path, layout);
    stats.fileBytes = layout.size;
    return stats;
}

std::vector<BenchFolderStats> writeBenchStore(const std::string& dir,
                                               const std::vector<BenchFolderPlan>& folders,
                                               std::uint64_t seed) {
    const std::string base = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    std::vector<DbxRecord> records;
    records.push_back(folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}));
    records.push_back(folderRecord({1, 0, "Local Folders", std::nullopt, false}));
    std::vector<BenchFolderStats> stats;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        const std::string file = folders[f].name + ".dbx";
        records.push_back(
            folderRecord({static_cast<std::int32_t>(100 + f), 1, folders[f].name, file, false}));
        stats.push_back(writeBenchFolder(base + file, folders[f], seed, f));
        stats.back().fileName = file;
    }
    DbxFileOptions options;
    options.kind = DbxFileKind::Folders;
    completeForOtherReaders(base + "Folders.dbx", writeDbx(base + "Folders.dbx", records, options));
    return stats;
}

std::uint64_t writeBenchFolder(const std::string& path, std::size_t messages) {
    BenchFolderPlan plan{"Bench", messages, 0, 0, 0};
    return writeBenchFolder(path, plan, 1).textBytes;
}

std::uint64_t writeLargeBenchFolder(const std::string& path, std::size_t messages,
                                    std::size_t size) {
    BenchFolderPlan plan{"Large", messages, 1000, size, size};
    return writeBenchFolder(path, plan, 1).textBytes;
}

}  // namespace lumbrook
