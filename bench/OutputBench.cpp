// Saving a batch of messages as .eml files: 10,000 of one subject against 10,000
// of distinct subjects, with the batch's memory of suffixes (OutputNames), and the
// same without it (each name looked for from "_0" on, as a call outside a batch
// does). Figures in README.md.
//
//   output_bench [DIR] [COUNT]     DIR default /tmp, COUNT default 10000
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "output/Output.h"

using namespace lumbrook;

namespace {

double saveAll(const std::string& root, const char* label, int count, bool sameSubject,
               bool batchMemory) {
    const std::string dir = root + "/lumbrook-output-bench-" + std::to_string(::getpid()) + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string raw = "Subject: x\r\n\r\n" + std::string(2000, 'x') + "\r\n";
    OutputNames names;
    MessageInfo record;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        record.subject = sameSubject ? "Re: Meeting" : "Re: Meeting " + std::to_string(i);
        if (batchMemory) saveMessageAsEml(dir, record, raw, false, names);
        else saveMessageAsEml(dir, record, raw, false);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove_all(dir);
    std::printf("%-44s %8.3f s  %8.1f us/file\n", label, seconds, seconds * 1e6 / count);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string root = argc > 1 ? argv[1] : "/tmp";
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
    const double distinct = saveAll(root, "distinct subjects, batch memory", count, false, true);
    const double same = saveAll(root, "one subject, batch memory", count, true, true);
    std::printf("one subject / distinct: %.2f (goal: below 2)\n", same / distinct);
    saveAll(root, "one subject, no batch memory", count, true, false);
    return same / distinct < 2 ? 0 : 1;
}
