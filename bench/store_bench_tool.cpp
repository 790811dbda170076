// One pass of a store benchmark as a process of its own, for timing and memory
// figures from outside (bench/store_bench.sh runs it under /usr/bin/time -v):
//   store_bench_tool generate PATH N   write the synthetic folder of N messages
//   store_bench_tool list DIR FILE     list the folder's records
//   store_bench_tool extract DIR FILE  list them, then extract every raw text

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/oexpress.h"
#include "store_bench_folder.h"

using namespace lumbrook;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(
            stderr, "usage: store_bench_tool generate PATH N | list DIR FILE | extract DIR FILE\n");
        return 2;
    }
    const std::string command = argv[1];
    using clock = std::chrono::steady_clock;
    if (command == "generate") {
        std::uint64_t bytes = WriteBenchFolder(argv[2], std::strtoull(argv[3], nullptr, 10));
        std::printf("generated %s: %s messages, %.1f MB of raw text\n", argv[2], argv[3],
                    static_cast<double>(bytes) / 1e6);
        return 0;
    }
    SetStoreRootOverride(std::string(argv[2]));
    const std::string file = argv[3];
    auto start = clock::now();
    TMessageList list;
    ReadIndexFile(file, list);
    double listSeconds = std::chrono::duration<double>(clock::now() - start).count();
    std::printf("list: %zu records in %.3f s (%.0f records/s)\n", list.size(), listSeconds,
                static_cast<double>(list.size()) / listSeconds);
    if (command == "extract") {
        start = clock::now();
        std::uint64_t bytes = 0;
        for (const auto& m : list) bytes += ReadMessageText(file, m.DataOffset).size();
        double seconds = std::chrono::duration<double>(clock::now() - start).count();
        std::printf("extract: %.1f MB in %.3f s (%.0f MB/s)\n", static_cast<double>(bytes) / 1e6,
                    seconds, static_cast<double>(bytes) / 1e6 / seconds);
    }
    return 0;
}
