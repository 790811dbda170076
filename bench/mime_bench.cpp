// Parse, locate and decode of large messages, as the preview and export do them,
// and the whole preview pipeline (renderMessagePage) for typical messages.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "mime/MailModel.h"
#include "page/Page.h"
#include "store_bench_folder.h"

namespace lumbrook {
namespace {

constexpr std::size_t MessageSize = 10 * 1000 * 1000;

std::string head(std::string_view contentType) {
    return "From: bench@example.org\r\nTo: reader@example.org\r\nSubject: benchmark\r\n"
           "Mime-Version: 1.0\r\nContent-Type: " +
           std::string(contentType) + "\r\n\r\n";
}

std::string randomBytes(std::size_t size) {
    std::mt19937 random(20240601);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// A short text body and one base64 attachment that brings the message to 10 MB.
std::string base64Message() {
    std::string text = head("multipart/mixed; boundary=\"----=_NextPart_000_0001\"");
    text +=
        "This is a multi-part message in MIME format.\r\n\r\n------=_NextPart_000_0001\r\n"
        "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\nSee the attached file.\r\n\r\n"
        "------=_NextPart_000_0001\r\nContent-Type: application/octet-stream; "
        "name=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n";
    const std::size_t room = MessageSize - text.size() - 40;
    std::string encoded;
    base64EncodeStream(randomBytes(room / 78 * 57), encoded);
    text += encoded;
    text += "\r\n------=_NextPart_000_0001--\r\n";
    return text;
}

// One quoted-printable HTML body of 10 MB with accented letters.
std::string quotedPrintableMessage() {
    std::string text = head("text/html; charset=\"iso-8859-1\"");
    text.pop_back();
    text.pop_back();
    text += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    std::string page;
    // Escapes make the encoded page about 15 % longer than the page itself.
    while (page.size() < MessageSize / 100 * 86)
        page +=
            "<p>Gr\xFC\xDF"
            "e aus K\xF6ln, sch\xF6ne Tage und gute Reise!</p>\r\n";
    text += qpEncode(page, false);
    return text;
}

// 10 MB spread over many small parts: the cost of the part tree itself.
std::string manyPartsMessage() {
    std::string text = head("multipart/mixed; boundary=\"b\"");
    int n = 0;
    while (text.size() < MessageSize) {
        text += "--b\r\nContent-Type: image/gif\r\nContent-ID: <part" + std::to_string(n++) +
                "@bench>\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        for (int line = 0; line < 12; ++line)
            text += "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==\r\n";
    }
    text += "--b--\r\n";
    return text;
}

void parseLocateDecode(benchmark::State& state, const std::string& text) {
    std::size_t decoded = 0;
    for (auto _ : state) {
        MailMessage message;
        message.loadText(text);
        message.locateBodies();
        for (MailPart* part : message.attachments) {
            part->decodeBody();
            decoded += part->decodedBody.size();
        }
        benchmark::DoNotOptimize(decoded);
        benchmark::DoNotOptimize(message.textLines.text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void bmBase64Attachment(benchmark::State& state) {
    static const std::string Text = base64Message();
    parseLocateDecode(state, Text);
}
BENCHMARK(bmBase64Attachment)->Unit(benchmark::kMillisecond);

void bmQuotedPrintableHtml(benchmark::State& state) {
    static const std::string Text = quotedPrintableMessage();
    parseLocateDecode(state, Text);
}
BENCHMARK(bmQuotedPrintableHtml)->Unit(benchmark::kMillisecond);

void bmManySmallParts(benchmark::State& state) {
    static const std::string Text = manyPartsMessage();
    parseLocateDecode(state, Text);
}
BENCHMARK(bmManySmallParts)->Unit(benchmark::kMillisecond);

// The message bench/run gives GMime too: 14 MB with a base64 attachment of 10 MB.
void bmAttachment14Mb(benchmark::State& state) {
    static const std::string Text = benchMessageText(1, 0, 0, 14'000'000, true);
    parseLocateDecode(state, Text);
}
BENCHMARK(bmAttachment14Mb)->Unit(benchmark::kMillisecond);

// One preview page: parse, page lines, Content-ID files, the page file. Messages
// of the benchmark stores: Arg 0 a 12 KB plain text, 1 a 15 KB HTML alternative,
// 2 a 1 MB message with an attachment.
void bmRenderMessagePage(benchmark::State& state) {
    static const std::string Texts[] = {
        benchMessageText(3, 0, 0, 12'000, false),
        [] {
            // The generator's HTML alternatives are the messages whose shape picks them.
            for (std::size_t i = 0;; ++i) {
                std::string t = benchMessageText(3, 0, i, 15'000, false);
                if (t.find("multipart/alternative") != std::string::npos) return t;
            }
        }(),
        benchMessageText(3, 0, 1, 1'000'000, true)};
    const std::string& text = Texts[state.range(0)];
    const std::string dir =
        (std::filesystem::temp_directory_path() / "lumbrook-render-bench").string() + "/";
    std::filesystem::create_directories(dir);
    MessageInfo record;
    record.subject =
        "Gr\xFC\xDF"
        "e aus K\xF6ln";
    record.from = "J\xFCrgen M\xFCller";
    record.to = "Lumbrook Reader";
    record.date = 126'000'000'000'000'000ULL;
    Design design;
    design.apply = true;
    for (auto _ : state) renderMessagePage(text, record, design, dir, "mail.htm", nullptr);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    std::filesystem::remove_all(dir);
}
BENCHMARK(bmRenderMessagePage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lumbrook

BENCHMARK_MAIN();
