// The message model on one message file, timed the way gmime_bench times GMime:
// loadText, locateBodies (which decodes the bodies it takes) and decodeBody of
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
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "mime_bench_tool: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<double> seconds;
    std::size_t decoded = 0;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        {
            MailMessage message;
            message.loadText(text);
            message.locateBodies();
            decoded = 0;
            if (message.textPart) decoded += message.textPart->decodedBody.size();
            if (message.htmlPart && message.htmlPart != message.textPart)
                decoded += message.htmlPart->decodedBody.size();
            for (MailPart* part : message.attachments) {
                part->decodeBody();
                decoded += part->decodedBody.size();
            }
        }
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    const double mb = static_cast<double>(text.size()) / 1e6;
    const double median = seconds[seconds.size() / 2];
    std::printf(
        "lumbrook: %.1f MB message, %.1f MB decoded, median %.2f ms (%.0f MB/s), best %.2f ms "
        "(%.0f MB/s)\n",
        mb, static_cast<double>(decoded) / 1e6, median * 1e3, mb / median, seconds[0] * 1e3,
        mb / seconds[0]);
    return 0;
}
