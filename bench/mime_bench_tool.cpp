// The message model on one message file, timed the way gmime_bench times GMime:
// LoadText, LocateBodies (which decodes the bodies it takes) and DecodeBody of
// every attachment, so that every leaf part is decoded once.
//   mime_bench_tool FILE [ROUNDS]   prints the median and best MB/s of the file's bytes

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mime/MailModel.h"

using namespace lumbrook;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mime_bench_tool FILE [ROUNDS]\n");
        return 2;
    }
    const int Rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    std::ifstream In(argv[1], std::ios::binary);
    if (!In) {
        std::fprintf(stderr, "mime_bench_tool: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string Text{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
    std::vector<double> Seconds;
    std::size_t Decoded = 0;
    for (int R = 0; R < Rounds; ++R) {
        const auto Start = std::chrono::steady_clock::now();
        {
            TMailMessage Message;
            Message.LoadText(Text);
            Message.LocateBodies();
            Decoded = 0;
            if (Message.TextPart) Decoded += Message.TextPart->DecodedBody.size();
            if (Message.HtmlPart && Message.HtmlPart != Message.TextPart)
                Decoded += Message.HtmlPart->DecodedBody.size();
            for (TMailPart* Part : Message.Attachments) {
                Part->DecodeBody();
                Decoded += Part->DecodedBody.size();
            }
        }
        Seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
    }
    std::sort(Seconds.begin(), Seconds.end());
    const double MB = static_cast<double>(Text.size()) / 1e6;
    const double Median = Seconds[Seconds.size() / 2];
    std::printf(
        "lumbrook: %.1f MB message, %.1f MB decoded, median %.2f ms (%.0f MB/s), best %.2f ms "
        "(%.0f MB/s)\n",
        MB, static_cast<double>(Decoded) / 1e6, Median * 1e3, MB / Median, Seconds[0] * 1e3,
        MB / Seconds[0]);
    return 0;
}
