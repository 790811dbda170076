// Parse, locate and decode of large messages, as the preview and export do them,
// and the whole preview pipeline (RenderMessagePage) for typical messages.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "mime/MailModel.h"
#include "render/Render.h"
#include "store_bench_folder.h"

namespace lumbrook {
namespace {

constexpr std::size_t MessageSize = 10 * 1000 * 1000;

std::string Head(std::string_view ContentType) {
    return "From: bench@example.org\r\nTo: reader@example.org\r\nSubject: benchmark\r\n"
           "Mime-Version: 1.0\r\nContent-Type: " +
           std::string(ContentType) + "\r\n\r\n";
}

std::string RandomBytes(std::size_t Size) {
    std::mt19937 Random(20240601);
    std::string Bytes(Size, '\0');
    for (char& C : Bytes) C = static_cast<char>(Random());
    return Bytes;
}

// A short text body and one base64 attachment that brings the message to 10 MB.
std::string Base64Message() {
    std::string Text = Head("multipart/mixed; boundary=\"----=_NextPart_000_0001\"");
    Text +=
        "This is a multi-part message in MIME format.\r\n\r\n------=_NextPart_000_0001\r\n"
        "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\nSee the attached file.\r\n\r\n"
        "------=_NextPart_000_0001\r\nContent-Type: application/octet-stream; "
        "name=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n";
    const std::size_t Room = MessageSize - Text.size() - 40;
    std::string Encoded;
    Base64EncodeStream(RandomBytes(Room / 78 * 57), Encoded);
    Text += Encoded;
    Text += "\r\n------=_NextPart_000_0001--\r\n";
    return Text;
}

// One quoted-printable HTML body of 10 MB with accented letters.
std::string QuotedPrintableMessage() {
    std::string Text = Head("text/html; charset=\"iso-8859-1\"");
    Text.pop_back();
    Text.pop_back();
    Text += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    std::string Page;
    // Escapes make the encoded page about 15 % longer than the page itself.
    while (Page.size() < MessageSize / 100 * 86)
        Page +=
            "<p>Gr\xFC\xDF"
            "e aus K\xF6ln, sch\xF6ne Tage und gute Reise!</p>\r\n";
    Text += QPEncode(Page, false);
    return Text;
}

// 10 MB spread over many small parts: the cost of the part tree itself.
std::string ManyPartsMessage() {
    std::string Text = Head("multipart/mixed; boundary=\"b\"");
    int N = 0;
    while (Text.size() < MessageSize) {
        Text += "--b\r\nContent-Type: image/gif\r\nContent-ID: <part" + std::to_string(N++) +
                "@bench>\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        for (int Line = 0; Line < 12; ++Line)
            Text += "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==\r\n";
    }
    Text += "--b--\r\n";
    return Text;
}

void ParseLocateDecode(benchmark::State& State, const std::string& Text) {
    std::size_t Decoded = 0;
    for (auto _ : State) {
        TMailMessage Message;
        Message.LoadText(Text);
        Message.LocateBodies();
        for (TMailPart* Part : Message.Attachments) {
            Part->DecodeBody();
            Decoded += Part->DecodedBody.size();
        }
        benchmark::DoNotOptimize(Decoded);
        benchmark::DoNotOptimize(Message.TextLines.data());
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * Text.size()));
}

void BM_Base64Attachment(benchmark::State& State) {
    static const std::string Text = Base64Message();
    ParseLocateDecode(State, Text);
}
BENCHMARK(BM_Base64Attachment)->Unit(benchmark::kMillisecond);

void BM_QuotedPrintableHtml(benchmark::State& State) {
    static const std::string Text = QuotedPrintableMessage();
    ParseLocateDecode(State, Text);
}
BENCHMARK(BM_QuotedPrintableHtml)->Unit(benchmark::kMillisecond);

void BM_ManySmallParts(benchmark::State& State) {
    static const std::string Text = ManyPartsMessage();
    ParseLocateDecode(State, Text);
}
BENCHMARK(BM_ManySmallParts)->Unit(benchmark::kMillisecond);

// The message bench/run gives GMime too: 14 MB with a base64 attachment of 10 MB.
void BM_Attachment14MB(benchmark::State& State) {
    static const std::string Text = BenchMessageText(1, 0, 0, 14'000'000, true);
    ParseLocateDecode(State, Text);
}
BENCHMARK(BM_Attachment14MB)->Unit(benchmark::kMillisecond);

// One preview page: parse, page lines, Content-ID files, the page file. Messages
// of the benchmark stores: Arg 0 a 12 KB plain text, 1 a 15 KB HTML alternative,
// 2 a 1 MB message with an attachment.
void BM_RenderMessagePage(benchmark::State& State) {
    static const std::string Texts[] = {
        BenchMessageText(3, 0, 0, 12'000, false),
        [] {
            // The generator's HTML alternatives are the messages whose shape picks them.
            for (std::size_t I = 0;; ++I) {
                std::string T = BenchMessageText(3, 0, I, 15'000, false);
                if (T.find("multipart/alternative") != std::string::npos) return T;
            }
        }(),
        BenchMessageText(3, 0, 1, 1'000'000, true)};
    const std::string& Text = Texts[State.range(0)];
    const std::string Dir =
        (std::filesystem::temp_directory_path() / "lumbrook-render-bench").string() + "/";
    std::filesystem::create_directories(Dir);
    Toe5_MessageInfo Record;
    Record.Subject =
        "Gr\xFC\xDF"
        "e aus K\xF6ln";
    Record.From = "J\xFCrgen M\xFCller";
    Record.To = "Lumbrook Reader";
    Record.Date = 126'000'000'000'000'000ULL;
    TDesign Design;
    Design.Apply = true;
    for (auto _ : State) RenderMessagePage(Text, Record, Design, Dir, "mail.htm", nullptr);
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * Text.size()));
    std::filesystem::remove_all(Dir);
}
BENCHMARK(BM_RenderMessagePage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lumbrook

BENCHMARK_MAIN();
