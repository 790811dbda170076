// Writes the starting inputs of every fuzz target into OUT/<target>/:
//   lumbrook-fuzz-seeds OUT [--messages DIR]... [--samples DIR]
// Store files come from the project's .dbx writer; message texts from a built-in
// set plus every *.eml below the --messages directories (the demo store's). With
// --samples, the real store files found there and the messages they hold are
// added too: those are for a fuzzing session only and never go into the
// repository's corpus.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "store/DbxReader.h"
#include "dbxwriter/DbxWriter.h"

using namespace lumbrook;
namespace fs = std::filesystem;

namespace {

const char* const BuiltInMessages[] = {
    "From: a@example.org\r\nTo: b@example.org\r\nSubject: Hello\r\n\r\nHello\r\nBye\r\n",
    "Subject: folded\r\n\tline\r\nContent-Type: text/plain;\r\n charset=\"utf-8\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n\r\nGr=C3=BC=DFe =\r\nsoft=3D\r\n",
    "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\npreamble\r\n--XX\r\n"
    "Content-Type: text/plain\r\n\r\nbody\r\n--XX\r\nContent-Type: application/pdf; "
    "name=\"a.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; "
    "filename=\"a.pdf\"\r\n\r\n"
    "JVBERi0xLjQKJcfs\r\nj6IKNSAwIG9iago=\r\n--XX--\r\nepilogue\r\n",
    "Content-Type: multipart/related; type=\"multipart/alternative\"; boundary=b1\r\n\r\n--b1\r\n"
    "Content-Type: multipart/alternative; boundary=b2\r\n\r\n--b2\r\nContent-Type: "
    "text/plain\r\n\r\n"
    "plain\r\n--b2\r\nContent-Type: text/html\r\n\r\n<img src=\"cid:logo.gif\"><base href=x>\r\n"
    "--b2--\r\n--b1\r\nContent-Type: image/gif\r\nContent-ID: <logo.gif>\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nR0lGODlhAQABAAAAACw=\r\n--b1--\r\n",
    "Content-Type: multipart/related; boundary=r\r\n\r\n--r\r\nContent-Type: text/html\r\n\r\n"
    "<img src=\"cid:../x\"><img src=\"CID:a/b\">\r\n--r\r\nContent-ID: <../../evil>\r\n\r\nx\r\n"
    "--r\r\nContent-ID: \"<a/b>\"\r\n\r\ny\r\n--r\r\nContent-ID: <..>\r\n\r\nz\r\n--r--\r\n",
    "Subject: old style\r\n\r\nSee the file.\r\n\r\nbegin 644 pic.gif\r\n"
    "M1TE&.#EA`0`!`(```/___P```\"'Y!`$`````+``````!``$```(\"1`$`.P``\r\n`\r\nend\r\n"
    "between\r\nbegin 600 ../../etc/passwd\r\n#86)C\r\n`\r\nend\r\n",
    "Content-Type: text/html; charset=iso-8859-1\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
    "<html><BASE href=\"http://x/\"><body>\xE4\xF6\xFC</body></html>\r\n",
    "Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\nSGVsbG8gd29ybGQ=\r\n",
    "Content-Type: multipart/mixed; boundary=\"=_a\"\r\n\r\n--=_a\r\nContent-Type: "
    "multipart/mixed; "
    "boundary=\"=_b\"\r\n\r\n--=_b\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\n"
    "inner\r\n--=_b--\r\n--=_a\r\n\r\n--=_a--\r\n",
    "",
};

void put(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (dir / name).string());
}

std::string bytes(const DbxImage& image) {
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::string lE32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8 & 0xFF),
            static_cast<char>(u >> 16 & 0xFF), static_cast<char>(u >> 24 & 0xFF)};
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void folderSeeds(const fs::path& out) {
    std::vector<DbxRecord> records;
    records.push_back(folderRecord({0, std::nullopt, "Outlook Express", std::string(""), false}));
    records.push_back(folderRecord({1, 0, "Local Folders", std::nullopt, false}));
    records.push_back(folderRecord({2, 1, "Inbox", std::string("Inbox.dbx"), true}));
    records.push_back(folderRecord({3, 1, "Outbox", std::string("Outbox.dbx"), true}));
    records.push_back(folderRecord({4, 2, "Projekte/../x", std::string("../Projekte.dbx"), false}));
    DbxFileOptions options;
    options.kind = DbxFileKind::Folders;
    put(out, "plain", bytes(buildDbx(records, options)));
    options.nodeCapacity = 2;
    put(out, "deep", bytes(buildDbx(records, options)));
    options.chainNodes = 3;
    put(out, "chain", bytes(buildDbx(records, options)));
    options = {};
    options.kind = DbxFileKind::Folders;
    options.itemCount = 0;
    put(out, "empty-count", bytes(buildDbx(records, options)));
}

std::vector<DbxRecord> messageRecords(const std::vector<std::string>& texts) {
    std::vector<DbxRecord> records;
    std::int32_t id = 1;
    for (const auto& text : texts) {
        DbxMessage m;
        m.messageId = id++;
        m.from = "Anna <anna@example.org>";
        m.to = "Ben";
        m.subject = "Subject " + std::to_string(m.messageId);
        m.date = unixTimeToFileTime(1'000'000'000 + m.messageId * 3600);
        m.rawText = text;
        records.push_back(messageRecord(m));
    }
    return records;
}

void messageFileSeeds(const fs::path& out, const fs::path& textOut,
                      const std::vector<std::string>& texts) {
    // Small files: a few messages each, so that the fuzzer's inputs stay short.
    for (std::size_t first = 0, n = 0; first < texts.size(); first += 3, ++n) {
        std::vector<std::string> some(
            texts.begin() + static_cast<std::ptrdiff_t>(first),
            texts.begin() + static_cast<std::ptrdiff_t>(std::min(first + 3, texts.size())));
        DbxFileOptions options;
        options.nodeCapacity = 1 + n % 3;
        const DbxImage image = buildDbx(messageRecords(some), options);
        put(out, "file" + std::to_string(n), bytes(image));
        for (std::size_t i = 0; i < image.layout.blocks.size(); ++i) {
            if (image.layout.blocks[i].empty()) continue;
            put(textOut, "file" + std::to_string(n) + "-" + std::to_string(i),
                bytes(image) + lE32(image.layout.blocks[i].front()));
        }
    }
    // Odd blocks: a cycle, a zero byte inside, a used length past 512, a wrong self offset.
    DbxRecord odd = messageRecords({""}).front();
    odd.fields.push_back(DbxField::dataOffset());
    odd.blocks = {DbxBlock{"first ", std::nullopt, std::nullopt, 1, std::nullopt, 0},
                  DbxBlock{std::string("zero\0byte", 9), 600, std::nullopt, 2, std::nullopt, 0},
                  DbxBlock{"back", std::nullopt, std::nullopt, 0, std::nullopt, 16},
                  DbxBlock{"never", std::nullopt, 12345, std::nullopt, std::nullopt, 0}};
    const DbxImage image = buildDbx({odd});
    put(out, "odd-blocks", bytes(image));
    if (!image.layout.blocks.empty() && !image.layout.blocks[0].empty())
        put(textOut, "odd-blocks", bytes(image) + lE32(image.layout.blocks[0].front()));
}

std::string renderSeed(const std::string& raw, std::uint8_t switches, const std::string& subject) {
    std::string seed =
        lE32(static_cast<std::int32_t>(unixTimeToFileTime(1'100'000'000) & 0xFFFFFFFF)) +
        lE32(static_cast<std::int32_t>(unixTimeToFileTime(1'100'000'000) >> 32));
    seed += static_cast<char>(switches);
    return seed + subject + "\nAnna <a@b>\nBen & <Co>\n" + raw;
}

// Whole store files of a real store and the texts of their messages.
void sampleSeeds(const fs::path& samples, const fs::path& out, std::vector<std::string>& texts) {
    std::size_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(samples)) {
        if (!entry.is_regular_file()) continue;
        std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!lower.ends_with(".dbx")) continue;
        const std::string bytes = readAll(entry.path());
        const std::string tag = "sample" + std::to_string(n++);
        if (lower == "folders.dbx") {
            put(out / "fuzz_store_folders", tag, bytes);
            continue;
        }
        put(out / "fuzz_store_messages", tag, bytes);
        const MemoryByteSource source(bytes);
        try {
            for (const auto& m : readMessageIndex(source)) {
                texts.push_back(readMessageChain(source, m.dataOffset));
                if (m.dataOffset > 0)
                    put(out / "fuzz_store_text", tag + "-" + std::to_string(texts.size()),
                        bytes + lE32(m.dataOffset));
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", entry.path().c_str(), e.what());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT [--messages DIR]... [--samples DIR]\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    std::vector<std::string> texts(std::begin(BuiltInMessages), std::end(BuiltInMessages));
    std::vector<std::string> sampleTexts;
    fs::path samples;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--messages") {
            std::vector<fs::path> files;
            for (const auto& e : fs::recursive_directory_iterator(argv[i + 1]))
                if (e.is_regular_file() && e.path().extension() == ".eml")
                    files.push_back(e.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files) texts.push_back(readAll(f));
        } else if (opt == "--samples") {
            samples = argv[i + 1];
        }
    }

    folderSeeds(out / "fuzz_store_folders");
    messageFileSeeds(out / "fuzz_store_messages", out / "fuzz_store_text", texts);
    if (!samples.empty()) sampleSeeds(samples, out, sampleTexts);
    texts.insert(texts.end(), sampleTexts.begin(), sampleTexts.end());

    std::size_t n = 0;
    for (const auto& t : texts) {
        const std::string tag = "msg" + std::to_string(n);
        put(out / "fuzz_mail_model", tag, t);
        put(out / "fuzz_render", tag,
            renderSeed(t, static_cast<std::uint8_t>(n * 37 + 1), n % 2 ? "Re: a/b/../c" : "Hello"));
        // Headers: the first header line, a name, a value, then the whole header block.
        const std::size_t headerEnd = t.find("\r\n\r\n");
        const std::string header =
            t.substr(0, headerEnd == std::string::npos ? t.size() : headerEnd + 4);
        const std::string firstLine = t.substr(0, t.find("\r\n"));
        put(out / "fuzz_mail_headers", tag,
            firstLine + std::string(1, '\0') + (n % 2 ? "charset" : "Content-Type") +
                std::string(1, '\0') + "\"a b\";c" + std::string(1, '\0') + header);
        // Codecs: the bodies.
        put(out / "fuzz_mail_codecs", tag,
            headerEnd == std::string::npos ? t : t.substr(headerEnd + 4));
        ++n;
    }
    std::printf("seeds for %zu messages written to %s\n", texts.size(), out.c_str());
    return 0;
}
