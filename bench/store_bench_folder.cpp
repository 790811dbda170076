#include "store_bench_folder.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "mime/MailCodecs.h"

namespace lumbrook {

namespace {

std::uint64_t Mix(std::uint64_t X) {  // splitmix64
    X += 0x9E3779B97F4A7C15ULL;
    X = (X ^ (X >> 30)) * 0xBF58476D1CE4E5B9ULL;
    X = (X ^ (X >> 27)) * 0x94D049BB133111EBULL;
    return X ^ (X >> 31);
}

// A stream of numbers for one message: everything about message I of folder F
// follows from (Seed, F, I), whatever else is generated.
class TRandom {
  public:
    TRandom(std::uint64_t Seed, std::size_t Folder, std::size_t I, std::uint64_t Purpose)
        : State(Mix(Mix(Seed ^ Mix(Folder + 0x51ED)) ^ Mix(I + (Purpose << 40)))) {}
    std::uint64_t Next() { return State = Mix(State); }
    std::size_t Below(std::size_t N) { return N ? static_cast<std::size_t>(Next() % N) : 0; }
    std::size_t Between(std::size_t Lo, std::size_t Hi) { return Lo + Below(Hi - Lo + 1); }

  private:
    std::uint64_t State;
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
const char* Pick(TRandom& R, T (&List)[N]) {
    return List[R.Below(N)];
}

std::string BaseSubject(std::uint64_t Seed, std::size_t Folder, std::size_t I) {
    TRandom R(Seed, Folder, I, ForSubject);
    std::string S = Pick(R, SubjectWords);
    for (std::size_t W = R.Between(1, 3); W > 0; --W) S.append(" ").append(Pick(R, SubjectWords));
    S.append(" ").append(std::to_string(R.Below(1000)));
    return S;
}

// Three in ten messages answer one of the 50 before them, as threads do; their
// subjects repeat, and so do their file names when saved.
std::string Subject(std::uint64_t Seed, std::size_t Folder, std::size_t I) {
    TRandom R(Seed, Folder, I, ForReply);
    if (I > 0 && R.Below(10) < 3)
        return "Re: " + BaseSubject(Seed, Folder, I - 1 - R.Below(std::min<std::size_t>(I, 50)));
    return BaseSubject(Seed, Folder, I);
}

struct TPerson {
    std::string Name;
    std::string Address;
};

TPerson Sender(std::uint64_t Seed, std::size_t Folder, std::size_t I) {
    TRandom R(Seed, Folder, I, ForPeople);
    const std::size_t F = R.Below(std::size(FirstNames)), L = R.Below(std::size(LastNames));
    std::string Address = "user" + std::to_string(F * 10 + L) + "@example.org";
    return {std::string(FirstNames[F]) + " " + LastNames[L], Address};
}

// Ten years from 1 January 1999, in seconds since 1970.
std::int64_t DateSeconds(std::uint64_t Seed, std::size_t Folder, std::size_t I) {
    TRandom R(Seed, Folder, I, ForDate);
    return 915'148'800 + static_cast<std::int64_t>(R.Below(10ULL * 365 * 86'400));
}

std::string DateHeader(std::int64_t Seconds) {
    // Civil date from a day count (Howard Hinnant's algorithm).
    const std::int64_t Days = Seconds / 86'400, InDay = Seconds % 86'400;
    std::int64_t Z = Days + 719'468;
    const std::int64_t Era = Z / 146'097, Doe = Z - Era * 146'097;
    const std::int64_t Yoe = (Doe - Doe / 1460 + Doe / 36'524 - Doe / 146'096) / 365;
    const std::int64_t Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
    const std::int64_t Mp = (5 * Doy + 2) / 153;
    const std::int64_t Day = Doy - (153 * Mp + 2) / 5 + 1, Month = Mp < 10 ? Mp + 3 : Mp - 9;
    const std::int64_t Year = Yoe + Era * 400 + (Month <= 2);
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer, "%s, %d %s %d %02d:%02d:%02d +0100", Weekdays[Days % 7],
                  int(Day), Months[Month - 1], int(Year), int(InDay / 3600), int(InDay / 60 % 60),
                  int(InDay % 60));
    return Buffer;
}

// A header text with 8-bit letters as one Q-encoded word, as mail clients send it.
std::string HeaderText(std::string_view Text) {
    if (std::none_of(Text.begin(), Text.end(), [](char C) { return C & 0x80; }))
        return std::string(Text);
    std::string Out = "=?iso-8859-1?Q?";
    for (char C : Text) {
        const auto B = static_cast<unsigned char>(C);
        if (B == ' ') {
            Out += '_';
        } else if (B > 126 || B == '=' || B == '?' || B == '_') {
            char Hex[4];
            std::snprintf(Hex, sizeof Hex, "=%02X", B);
            Out += Hex;
        } else {
            Out += C;
        }
    }
    return Out + "?=";
}

// Words in lines of at most 64 characters (room for escapes), about Size bytes.
std::string Prose(TRandom& R, std::size_t Size) {
    std::string Text;
    Text.reserve(Size + 80);
    std::size_t Column = 0;
    while (Text.size() < Size) {
        const char* W = Pick(R, BodyWords);
        const std::size_t Length = std::char_traits<char>::length(W);
        if (Column + Length > 64) {
            Text += "\r\n";
            Column = 0;
        } else if (Column > 0) {
            Text += ' ';
            ++Column;
        }
        Text += W;
        Column += Length;
    }
    return Text + "\r\n";
}

std::string RandomBytes(TRandom& R, std::size_t Size) {
    std::string Bytes(Size, '\0');
    std::size_t I = 0;
    for (; I + 8 <= Size; I += 8) {
        const std::uint64_t V = R.Next();
        for (int K = 0; K < 8; ++K) Bytes[I + K] = static_cast<char>(V >> (8 * K));
    }
    for (; I < Size; ++I) Bytes[I] = static_cast<char>(R.Next());
    return Bytes;
}

std::size_t LargeSize(const TBenchFolderPlan& Plan, TRandom& R) {
    return R.Between(Plan.LargeMin, std::max(Plan.LargeMin, Plan.LargeMax));
}

// The shape of message I: its size and whether a base64 attachment fills it.
struct TShape {
    std::size_t Size;
    bool Attachment;
    bool Large;
};

TShape Shape(const TBenchFolderPlan& Plan, std::uint64_t Seed, std::size_t Folder, std::size_t I) {
    TRandom R(Seed, Folder, I, ForShape);
    if (R.Below(1000) < Plan.LargePerMille) return {LargeSize(Plan, R), true, true};
    // One in 40 carries a small picture or document.
    if (R.Below(40) == 0) return {R.Between(20'000, 150'000), true, false};
    return {R.Between(2'000, 20'000), false, false};
}

std::string MessageId(std::uint64_t Seed, std::size_t Folder, std::size_t I) {
    std::string Id = "<";
    Id.append(std::to_string(TRandom(Seed, Folder, I, ForPeople).Next() ^ I));
    return Id.append("@example.org>");
}

constexpr std::string_view Boundary = "----=_NextPart_000_0012_01C3A1B2.4D5E6F70";

std::string MessageHeader(std::uint64_t Seed, std::size_t Folder, std::size_t I) {
    const TPerson From = Sender(Seed, Folder, I);
    std::string H;
    H.append("Return-Path: <").append(From.Address).append(">\r\n");
    H.append("Received: from mail.example.org ([192.0.2.25]) by mx.example.net with ESMTP id ")
        .append(std::to_string(Mix(I) % 100'000'000))
        .append(";\r\n\t")
        .append(DateHeader(DateSeconds(Seed, Folder, I)))
        .append("\r\n");
    H.append("Message-ID: ").append(MessageId(Seed, Folder, I)).append("\r\n");
    H.append("From: \"").append(HeaderText(From.Name)).append("\" <").append(From.Address);
    H.append(">\r\nTo: \"Lumbrook Reader\" <reader@example.net>\r\n");
    H.append("Subject: ").append(HeaderText(Subject(Seed, Folder, I))).append("\r\n");
    H.append("Date: ").append(DateHeader(DateSeconds(Seed, Folder, I))).append("\r\n");
    H.append(
        "MIME-Version: 1.0\r\nX-Priority: 3\r\nX-Mailer: Microsoft Outlook Express "
        "6.00.2800.1158\r\n");
    return H;
}

std::string PartHead(std::string_view Type, std::string_view Encoding) {
    std::string H = "--";
    H.append(Boundary).append("\r\nContent-Type: ").append(Type);
    H.append("\r\nContent-Transfer-Encoding: ").append(Encoding).append("\r\n\r\n");
    return H;
}

std::uint32_t Get32(const std::uint8_t* P) {
    return std::uint32_t(P[0]) | std::uint32_t(P[1]) << 8 | std::uint32_t(P[2]) << 16 |
           std::uint32_t(P[3]) << 24;
}

void Put32(std::uint8_t* P, std::uint32_t V) {
    for (int K = 0; K < 4; ++K) P[K] = static_cast<std::uint8_t>(V >> (8 * K));
}

// UnDBX, which the benchmarks run beside lumbrook-cli, reads more of a file than
// our reader does. Run on files of the test writer's plain layout it finds no
// index at all, or misses the records under each node's first link. Files that
// Outlook Express writes, as far as UnDBX shows, hold the start node again at
// 0xE4 and the file's size at 0x7C; each node names its child node at offset 8,
// its parent at offset 12 and the number of records below the child at 20. Our
// reader walks such a node in the same order (the parent is always visited
// already), so the figures of both programs are for the same messages.
void CompleteForOtherReaders(const std::string& Path, const TDbxLayout& Layout) {
    std::FILE* F = std::fopen(Path.c_str(), "r+b");
    if (!F) throw std::runtime_error("cannot update " + Path);
    std::uint8_t Head[4];
    Put32(Head, static_cast<std::uint32_t>(Layout.Size));
    bool Ok = std::fseek(F, 0x7C, SEEK_SET) == 0 && std::fwrite(Head, 1, 4, F) == 4;
    Put32(Head, static_cast<std::uint32_t>(Layout.StartNode));
    Ok = Ok && std::fseek(F, 0xE4, SEEK_SET) == 0 && std::fwrite(Head, 1, 4, F) == 4;
    if (!Layout.Nodes.empty() && Layout.ChainNodes.empty()) {
        // The nodes lie together at the end of the file.
        const std::uint64_t Start = static_cast<std::uint64_t>(Layout.Nodes.front());
        std::vector<std::uint8_t> Bytes(Layout.Size - Start);
        Ok = Ok && std::fseek(F, static_cast<long>(Start), SEEK_SET) == 0 &&
             std::fread(Bytes.data(), 1, Bytes.size(), F) == Bytes.size();
        const auto Node = [&](std::uint32_t Offset) { return Bytes.data() + (Offset - Start); };
        // Records below a link: the node's own, its first link's and its entries' children's.
        const std::function<std::uint32_t(std::uint32_t)> Below = [&](std::uint32_t Link) {
            if (Link == 0) return 0u;
            const std::uint8_t* P = Node(Link);
            const std::uint32_t Count = Get32(P + 16) >> 8;
            std::uint32_t Sum = Count + Below(Get32(P + 12));
            for (std::uint32_t E = 0; E < Count; ++E) Sum += Below(Get32(P + 24 + E * 12 + 4));
            return Sum;
        };
        std::vector<std::uint32_t> FirstLinkRecords;
        for (std::int32_t Offset : Layout.Nodes)
            FirstLinkRecords.push_back(Below(Get32(Node(static_cast<std::uint32_t>(Offset)) + 12)));
        for (std::size_t K = 0; K < Layout.Nodes.size(); ++K) {
            std::uint8_t* P = Node(static_cast<std::uint32_t>(Layout.Nodes[K]));
            const std::uint32_t Parent = Get32(P + 8), Child = Get32(P + 12);
            Put32(P + 8, Child);
            Put32(P + 12, Parent);
            Put32(P + 20, FirstLinkRecords[K]);
        }
        Ok = Ok && std::fseek(F, static_cast<long>(Start), SEEK_SET) == 0 &&
             std::fwrite(Bytes.data(), 1, Bytes.size(), F) == Bytes.size();
    }
    if (std::fclose(F) != 0 || !Ok) throw std::runtime_error("cannot update " + Path);
}

}  // namespace

std::string BenchMessageText(std::uint64_t Seed, std::size_t Folder, std::size_t I,
                             std::size_t Size, bool Attachment) {
    TRandom R(Seed, Folder, I, ForBody);
    std::string Text = MessageHeader(Seed, Folder, I);
    const auto Room = [&] { return Size > Text.size() ? Size - Text.size() : 0; };
    const std::size_t Kind = R.Below(4);
    if (Attachment) {
        Text.append("Content-Type: multipart/mixed;\r\n\tboundary=\"").append(Boundary);
        Text.append("\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n");
        Text += PartHead("text/plain;\r\n\tcharset=\"iso-8859-1\"", "8bit");
        Text += Prose(R, R.Between(200, 1500));
        Text += "\r\n";
        const bool Pdf = Size > 1'000'000 || R.Below(2);
        const std::string Name =
            (Pdf ? "Bericht " : "Foto ") + std::to_string(I) + (Pdf ? ".pdf" : ".jpg");
        Text += PartHead(Pdf ? "application/pdf;\r\n\tname=\"" + Name + "\""
                             : "image/jpeg;\r\n\tname=\"" + Name + "\"",
                         "base64");
        Text.pop_back();
        Text.pop_back();
        Text.append("Content-Disposition: attachment;\r\n\tfilename=\"").append(Name);
        Text.append("\"\r\n\r\n");
        const std::size_t Closing = Boundary.size() + 8;
        // Base64 lines of 76 characters and CR LF carry 57 bytes each.
        const std::size_t Encoded = Room() > Closing ? Room() - Closing : 0;
        std::string Body;
        Base64EncodeStream(RandomBytes(R, Encoded / 78 * 57), Body);
        Text += Body;
        Text.append("\r\n--").append(Boundary).append("--\r\n");
    } else if (Kind == 3) {
        // Outlook Express's HTML mail: the text and the page as alternatives.
        Text.append("Content-Type: multipart/alternative;\r\n\tboundary=\"").append(Boundary);
        Text.append("\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n");
        // Both alternatives and the page's frame must fit in the room left.
        const std::string Words = Prose(R, Room() > 800 ? (Room() - 800) * 2 / 5 : 100);
        Text += PartHead("text/plain;\r\n\tcharset=\"iso-8859-1\"", "quoted-printable");
        Text += QPEncode(Words, false);
        Text += "\r\n";
        Text += PartHead("text/html;\r\n\tcharset=\"iso-8859-1\"", "quoted-printable");
        std::string Page =
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
            "<HTML><HEAD></HEAD>\r\n<BODY bgColor=#ffffff>\r\n<DIV><FONT face=Arial "
            "size=2>";
        Page += Words;
        Page += "</FONT></DIV></BODY></HTML>\r\n";
        Text += QPEncode(Page, false);
        Text.append("\r\n--").append(Boundary).append("--\r\n");
    } else if (Kind == 2) {
        Text +=
            "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
        Text += QPEncode(Prose(R, Room() * 3 / 4), false);
    } else {
        Text +=
            "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
            "Content-Transfer-Encoding: 8bit\r\n\r\n";
        Text += Prose(R, Room());
    }
    // Exactly Size bytes: plain lines after the body (or in the epilogue of a
    // multipart message), cut where the size is reached.
    while (Text.size() < Size) Text += "\r\n-- \r\nGesendet mit Outlook Express\r\n";
    if (Size) Text.resize(Size);
    return Text;
}

TBenchFolderPlan ParseBenchFolderPlan(const std::string& Text) {
    TBenchFolderPlan Plan;
    std::vector<std::string> Items;
    std::size_t From = 0;
    while (true) {
        const std::size_t Colon = Text.find(':', From);
        Items.push_back(Text.substr(From, Colon - From));
        if (Colon == std::string::npos) break;
        From = Colon + 1;
    }
    const auto Number = [&](const std::string& S) {
        std::size_t Used = 0;
        const unsigned long long V = std::stoull(S, &Used);
        if (Used != S.size()) throw std::invalid_argument("not a number: " + S);
        return static_cast<std::size_t>(V);
    };
    if (Items.size() < 2 || Items.size() > 4 || Items[0].empty())
        throw std::invalid_argument("folder plan NAME:COUNT[:LARGE_PER_MILLE[:MIN_KB-MAX_KB]]");
    Plan.Name = Items[0];
    Plan.Messages = Number(Items[1]);
    if (Items.size() > 2) Plan.LargePerMille = static_cast<unsigned>(Number(Items[2]));
    if (Items.size() > 3) {
        const std::size_t Dash = Items[3].find('-');
        if (Dash == std::string::npos) throw std::invalid_argument("size range MIN_KB-MAX_KB");
        Plan.LargeMin = Number(Items[3].substr(0, Dash)) * 1000;
        Plan.LargeMax = Number(Items[3].substr(Dash + 1)) * 1000;
    }
    if (Plan.LargePerMille > 1000 || Plan.LargeMax < Plan.LargeMin)
        throw std::invalid_argument("bad folder plan " + Text);
    return Plan;
}

TBenchFolderStats WriteBenchFolder(const std::string& Path, const TBenchFolderPlan& Plan,
                                   std::uint64_t Seed, std::size_t Folder) {
    TBenchFolderStats Stats;
    Stats.Messages = Plan.Messages;
    std::vector<TDbxRecord> Records;
    Records.reserve(Plan.Messages);
    std::vector<TShape> Shapes;
    Shapes.reserve(Plan.Messages);
    for (std::size_t I = 0; I < Plan.Messages; ++I) {
        const TShape S = Shape(Plan, Seed, Folder, I);
        Shapes.push_back(S);
        const TPerson From = Sender(Seed, Folder, I);
        const std::string Sub = Subject(Seed, Folder, I);
        const std::uint64_t Date = UnixTimeToFileTime(DateSeconds(Seed, Folder, I));
        std::array<std::uint8_t, 8> Received{};
        for (int K = 0; K < 8; ++K) Received[K] = static_cast<std::uint8_t>(Date >> (8 * K));
        // The entries Outlook Express writes, in its ascending id order.
        TDbxRecord Record;
        auto& F = Record.Fields;
        F.push_back(TDbxField::Direct(0x80, static_cast<std::uint32_t>(I + 1)));
        F.push_back(TDbxField::Direct(0x81, 0x81));
        F.push_back(TDbxField::Raw8(0x02, Received));
        F.push_back(TDbxField::DataOffset());
        F.push_back(TDbxField::Text(0x07, MessageId(Seed, Folder, I)));
        F.push_back(TDbxField::Text(0x08, Sub));
        F.push_back(TDbxField::Text(0x09, Sub.starts_with("Re: ") ? Sub.substr(4) : Sub));
        F.push_back(TDbxField::Text(0x0D, From.Name));
        F.push_back(TDbxField::Text(0x0E, From.Address));
        F.push_back(TDbxField::FileTime(0x12, Date));
        F.push_back(TDbxField::Text(0x13, "Lumbrook Reader"));
        F.push_back(TDbxField::Text(0x1A, "mail.example.net"));
        F.push_back(TDbxField::Text(0x1B, "00000001"));
        F.push_back(TDbxField::Direct(
            0x91, static_cast<std::uint32_t>(std::min<std::size_t>(S.Size, 0xFFFFFF))));
        Record.SourcedTextSize = S.Size;
        Stats.TextBytes += S.Size;
        Stats.LargeMessages += S.Large;
        Records.push_back(std::move(Record));
    }
    TDbxFileOptions Options;
    Options.TextSource = [&](std::size_t I) {
        return BenchMessageText(Seed, Folder, I, Shapes[I].Size, Shapes[I].Attachment);
    };
    const TDbxLayout Layout = WriteDbx(Path, Records, Options);
    CompleteForOtherReaders(Path, Layout);
    Stats.FileBytes = Layout.Size;
    return Stats;
}

std::vector<TBenchFolderStats> WriteBenchStore(const std::string& Dir,
                                               const std::vector<TBenchFolderPlan>& Folders,
                                               std::uint64_t Seed) {
    const std::string Base = Dir.empty() || Dir.back() == '/' ? Dir : Dir + "/";
    std::vector<TDbxRecord> Records;
    Records.push_back(FolderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}));
    Records.push_back(FolderRecord({1, 0, "Local Folders", std::nullopt, false}));
    std::vector<TBenchFolderStats> Stats;
    for (std::size_t F = 0; F < Folders.size(); ++F) {
        const std::string File = Folders[F].Name + ".dbx";
        Records.push_back(
            FolderRecord({static_cast<std::int32_t>(100 + F), 1, Folders[F].Name, File, false}));
        Stats.push_back(WriteBenchFolder(Base + File, Folders[F], Seed, F));
        Stats.back().FileName = File;
    }
    TDbxFileOptions Options;
    Options.Kind = TDbxFileKind::Folders;
    CompleteForOtherReaders(Base + "Folders.dbx", WriteDbx(Base + "Folders.dbx", Records, Options));
    return Stats;
}

std::uint64_t WriteBenchFolder(const std::string& Path, std::size_t Messages) {
    TBenchFolderPlan Plan{"Bench", Messages, 0, 0, 0};
    return WriteBenchFolder(Path, Plan, 1).TextBytes;
}

std::uint64_t WriteLargeBenchFolder(const std::string& Path, std::size_t Messages,
                                    std::size_t Size) {
    TBenchFolderPlan Plan{"Large", Messages, 1000, Size, Size};
    return WriteBenchFolder(Path, Plan, 1).TextBytes;
}

}  // namespace lumbrook
