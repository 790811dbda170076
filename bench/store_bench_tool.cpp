// One pass of a store benchmark as a process of its own, for timing and memory
// figures from outside (bench/run and bench/store_bench.sh run it under
// /usr/bin/time -v):
//   store_bench_tool store DIR SEED PLAN...  write a whole store: Folders.dbx and one
//                                            folder file per PLAN (NAME:COUNT[:LARGE_PER_MILLE
//                                            [:MIN_KB-MAX_KB]], see store_bench_folder.h)
//   store_bench_tool generate PATH N         write the plain folder of N messages
//   store_bench_tool message SEED SIZE_KB    print one message with a base64 attachment
//   store_bench_tool folders DIR             read the folder list
//   store_bench_tool list DIR FILE           list the folder's records
//   store_bench_tool extract DIR FILE        list them, then extract every raw text

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

#include "store/MailStore.h"
#include "store_bench_folder.h"

using namespace lumbrook;

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: store_bench_tool store DIR SEED PLAN... | generate PATH N |\n"
                 "       message SEED SIZE_KB | folders DIR | list DIR FILE | extract DIR FILE\n");
    return 2;
}

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the process so far (user and system), steadier than the real
// time on a machine shared with other work.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

int run(const std::vector<std::string>& args) {
    const std::string& command = args[0];
    if (command == "store" && args.size() >= 4) {
        std::vector<BenchFolderPlan> plans;
        for (std::size_t i = 3; i < args.size(); ++i)
            plans.push_back(parseBenchFolderPlan(args[i]));
        const auto stats = writeBenchStore(args[1], plans, std::stoull(args[2]));
        for (const auto& s : stats)
            std::printf("%s: %zu messages (%zu large), %.1f MB of raw text, %.1f MB file\n",
                        s.fileName.c_str(), s.messages, s.largeMessages,
                        static_cast<double>(s.textBytes) / 1e6,
                        static_cast<double>(s.fileBytes) / 1e6);
        return 0;
    }
    if (command == "generate" && args.size() == 3) {
        const std::uint64_t bytes = writeBenchFolder(args[1], std::stoull(args[2]));
        std::printf("generated %s: %s messages, %.1f MB of raw text\n", args[1].c_str(),
                    args[2].c_str(), static_cast<double>(bytes) / 1e6);
        return 0;
    }
    if (command == "message" && args.size() == 3) {
        const std::string text =
            benchMessageText(std::stoull(args[1]), 0, 0, std::stoull(args[2]) * 1000, true);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    if (command == "folders" && args.size() == 2) {
        const MailStore store(args[1]);
        const auto start = Clock::now();
        const FolderList list = store.readFolders();
        std::printf("folders: %zu records in %.6f s\n", list.size(), since(start));
        return 0;
    }
    if ((command == "list" || command == "extract") && args.size() == 3) {
        const MailStore store(args[1]);
        const std::string& file = args[2];
        auto start = Clock::now();
        double cpu = cpuSeconds();
        const MessageList list = store.readMessages(file);
        const double listSeconds = since(start);
        std::printf("list: %zu records in %.3f s, %.3f s cpu (%.0f records/s)\n", list.size(),
                    listSeconds, cpuSeconds() - cpu,
                    static_cast<double>(list.size()) / listSeconds);
        if (command == "extract") {
            start = Clock::now();
            cpu = cpuSeconds();
            std::uint64_t bytes = 0;
            for (const auto& m : list) bytes += store.readMessageText(file, m.dataOffset).size();
            const double seconds = since(start);
            std::printf("extract: %.1f MB in %.3f s, %.3f s cpu (%.0f MB/s)\n",
                        static_cast<double>(bytes) / 1e6, seconds, cpuSeconds() - cpu,
                        static_cast<double>(bytes) / 1e6 / seconds);
        }
        return 0;
    }
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store_bench_tool: %s\n", e.what());
        return 1;
    }
}
