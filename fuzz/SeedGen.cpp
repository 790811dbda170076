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

#include "store/oexpress.h"
#include "tests/support/DbxWriter.h"

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

void Put(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (dir / name).string());
}

std::string Bytes(const TDbxImage& image) {
    return std::string(image.Bytes.begin(), image.Bytes.end());
}

std::string LE32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8 & 0xFF),
            static_cast<char>(u >> 16 & 0xFF), static_cast<char>(u >> 24 & 0xFF)};
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void FolderSeeds(const fs::path& out) {
    std::vector<TDbxRecord> records;
    records.push_back(FolderRecord({0, std::nullopt, "Outlook Express", std::string(""), false}));
    records.push_back(FolderRecord({1, 0, "Local Folders", std::nullopt, false}));
    records.push_back(FolderRecord({2, 1, "Inbox", std::string("Inbox.dbx"), true}));
    records.push_back(FolderRecord({3, 1, "Outbox", std::string("Outbox.dbx"), true}));
    records.push_back(FolderRecord({4, 2, "Projekte/../x", std::string("../Projekte.dbx"), false}));
    TDbxFileOptions options;
    options.Kind = TDbxFileKind::Folders;
    Put(out, "plain", Bytes(BuildDbx(records, options)));
    options.NodeCapacity = 2;
    Put(out, "deep", Bytes(BuildDbx(records, options)));
    options.ChainNodes = 3;
    Put(out, "chain", Bytes(BuildDbx(records, options)));
    options = {};
    options.Kind = TDbxFileKind::Folders;
    options.ItemCount = 0;
    Put(out, "empty-count", Bytes(BuildDbx(records, options)));
}

std::vector<TDbxRecord> MessageRecords(const std::vector<std::string>& texts) {
    std::vector<TDbxRecord> records;
    std::int32_t id = 1;
    for (const auto& text : texts) {
        TDbxMessage m;
        m.MessageId = id++;
        m.From = "Anna <anna@example.org>";
        m.To = "Ben";
        m.Subject = "Subject " + std::to_string(m.MessageId);
        m.Date = UnixTimeToFileTime(1'000'000'000 + m.MessageId * 3600);
        m.RawText = text;
        records.push_back(MessageRecord(m));
    }
    return records;
}

void MessageFileSeeds(const fs::path& out, const fs::path& textOut,
                      const std::vector<std::string>& texts) {
    // Small files: a few messages each, so that the fuzzer's inputs stay short.
    for (std::size_t first = 0, n = 0; first < texts.size(); first += 3, ++n) {
        std::vector<std::string> some(
            texts.begin() + static_cast<std::ptrdiff_t>(first),
            texts.begin() + static_cast<std::ptrdiff_t>(std::min(first + 3, texts.size())));
        TDbxFileOptions options;
        options.NodeCapacity = 1 + n % 3;
        const TDbxImage image = BuildDbx(MessageRecords(some), options);
        Put(out, "file" + std::to_string(n), Bytes(image));
        for (std::size_t i = 0; i < image.Layout.Blocks.size(); ++i) {
            if (image.Layout.Blocks[i].empty()) continue;
            Put(textOut, "file" + std::to_string(n) + "-" + std::to_string(i),
                Bytes(image) + LE32(image.Layout.Blocks[i].front()));
        }
    }
    // Odd blocks: a cycle, a zero byte inside, a used length past 512, a wrong self offset.
    TDbxRecord odd = MessageRecords({""}).front();
    odd.Fields.push_back(TDbxField::DataOffset());
    odd.Blocks = {TDbxBlock{"first ", std::nullopt, std::nullopt, 1, std::nullopt, 0},
                  TDbxBlock{std::string("zero\0byte", 9), 600, std::nullopt, 2, std::nullopt, 0},
                  TDbxBlock{"back", std::nullopt, std::nullopt, 0, std::nullopt, 16},
                  TDbxBlock{"never", std::nullopt, 12345, std::nullopt, std::nullopt, 0}};
    const TDbxImage image = BuildDbx({odd});
    Put(out, "odd-blocks", Bytes(image));
    if (!image.Layout.Blocks.empty() && !image.Layout.Blocks[0].empty())
        Put(textOut, "odd-blocks", Bytes(image) + LE32(image.Layout.Blocks[0].front()));
}

std::string RenderSeed(const std::string& raw, std::uint8_t switches, const std::string& subject) {
    std::string seed =
        LE32(static_cast<std::int32_t>(UnixTimeToFileTime(1'100'000'000) & 0xFFFFFFFF)) +
        LE32(static_cast<std::int32_t>(UnixTimeToFileTime(1'100'000'000) >> 32));
    seed += static_cast<char>(switches);
    return seed + subject + "\nAnna <a@b>\nBen & <Co>\n" + raw;
}

// Whole store files of a real store and the texts of their messages.
void SampleSeeds(const fs::path& samples, const fs::path& out, std::vector<std::string>& texts) {
    std::size_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(samples)) {
        if (!entry.is_regular_file()) continue;
        std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!lower.ends_with(".dbx")) continue;
        const std::string bytes = ReadAll(entry.path());
        const std::string tag = "sample" + std::to_string(n++);
        if (lower == "folders.dbx") {
            Put(out / "fuzz_store_folders", tag, bytes);
            continue;
        }
        Put(out / "fuzz_store_messages", tag, bytes);
        SetStoreRootOverride(entry.path().parent_path().string());
        TMessageList messages;
        try {
            ReadIndexFile(name, messages);
            for (const auto& m : messages) {
                texts.push_back(ReadMessageText(name, m.DataOffset));
                if (m.DataOffset > 0)
                    Put(out / "fuzz_store_text", tag + "-" + std::to_string(texts.size()),
                        bytes + LE32(m.DataOffset));
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
            for (const auto& f : files) texts.push_back(ReadAll(f));
        } else if (opt == "--samples") {
            samples = argv[i + 1];
        }
    }

    FolderSeeds(out / "fuzz_store_folders");
    MessageFileSeeds(out / "fuzz_store_messages", out / "fuzz_store_text", texts);
    if (!samples.empty()) SampleSeeds(samples, out, sampleTexts);
    texts.insert(texts.end(), sampleTexts.begin(), sampleTexts.end());

    std::size_t n = 0;
    for (const auto& t : texts) {
        const std::string tag = "msg" + std::to_string(n);
        Put(out / "fuzz_mail_model", tag, t);
        Put(out / "fuzz_render", tag,
            RenderSeed(t, static_cast<std::uint8_t>(n * 37 + 1), n % 2 ? "Re: a/b/../c" : "Hello"));
        // Headers: the first header line, a name, a value, then the whole header block.
        const std::size_t headerEnd = t.find("\r\n\r\n");
        const std::string header =
            t.substr(0, headerEnd == std::string::npos ? t.size() : headerEnd + 4);
        const std::string firstLine = t.substr(0, t.find("\r\n"));
        Put(out / "fuzz_mail_headers", tag,
            firstLine + std::string(1, '\0') + (n % 2 ? "charset" : "Content-Type") +
                std::string(1, '\0') + "\"a b\";c" + std::string(1, '\0') + header);
        // Codecs: the bodies.
        Put(out / "fuzz_mail_codecs", tag,
            headerEnd == std::string::npos ? t : t.substr(headerEnd + 4));
        ++n;
    }
    std::printf("seeds for %zu messages written to %s\n", texts.size(), out.c_str());
    return 0;
}
