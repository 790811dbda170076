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

#include "store/oexpress.h"
#include "store_bench_folder.h"

using namespace lumbrook;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: store_bench_tool store DIR SEED PLAN... | generate PATH N |\n"
                 "       message SEED SIZE_KB | folders DIR | list DIR FILE | extract DIR FILE\n");
    return 2;
}

using TClock = std::chrono::steady_clock;

double Since(TClock::time_point Start) {
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

// Processor time of the process so far (user and system), steadier than the real
// time on a machine shared with other work.
double CpuSeconds() {
    timespec T{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
    return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_nsec) / 1e9;
}

int Run(const std::vector<std::string>& Args) {
    const std::string& Command = Args[0];
    if (Command == "store" && Args.size() >= 4) {
        std::vector<TBenchFolderPlan> Plans;
        for (std::size_t I = 3; I < Args.size(); ++I)
            Plans.push_back(ParseBenchFolderPlan(Args[I]));
        const auto Stats = WriteBenchStore(Args[1], Plans, std::stoull(Args[2]));
        for (const auto& S : Stats)
            std::printf("%s: %zu messages (%zu large), %.1f MB of raw text, %.1f MB file\n",
                        S.FileName.c_str(), S.Messages, S.LargeMessages,
                        static_cast<double>(S.TextBytes) / 1e6,
                        static_cast<double>(S.FileBytes) / 1e6);
        return 0;
    }
    if (Command == "generate" && Args.size() == 3) {
        const std::uint64_t Bytes = WriteBenchFolder(Args[1], std::stoull(Args[2]));
        std::printf("generated %s: %s messages, %.1f MB of raw text\n", Args[1].c_str(),
                    Args[2].c_str(), static_cast<double>(Bytes) / 1e6);
        return 0;
    }
    if (Command == "message" && Args.size() == 3) {
        const std::string Text =
            BenchMessageText(std::stoull(Args[1]), 0, 0, std::stoull(Args[2]) * 1000, true);
        std::fwrite(Text.data(), 1, Text.size(), stdout);
        return 0;
    }
    if (Command == "folders" && Args.size() == 2) {
        SetStoreRootOverride(Args[1]);
        const auto Start = TClock::now();
        TFolderList List;
        ReadIndexFile("folders.dbx", List);
        std::printf("folders: %zu records in %.6f s\n", List.size(), Since(Start));
        return 0;
    }
    if ((Command == "list" || Command == "extract") && Args.size() == 3) {
        SetStoreRootOverride(Args[1]);
        const std::string& File = Args[2];
        auto Start = TClock::now();
        double Cpu = CpuSeconds();
        TMessageList List;
        ReadIndexFile(File, List);
        const double ListSeconds = Since(Start);
        std::printf("list: %zu records in %.3f s, %.3f s cpu (%.0f records/s)\n", List.size(),
                    ListSeconds, CpuSeconds() - Cpu,
                    static_cast<double>(List.size()) / ListSeconds);
        if (Command == "extract") {
            Start = TClock::now();
            Cpu = CpuSeconds();
            std::uint64_t Bytes = 0;
            for (const auto& M : List) Bytes += ReadMessageText(File, M.DataOffset).size();
            const double Seconds = Since(Start);
            std::printf("extract: %.1f MB in %.3f s, %.3f s cpu (%.0f MB/s)\n",
                        static_cast<double>(Bytes) / 1e6, Seconds, CpuSeconds() - Cpu,
                        static_cast<double>(Bytes) / 1e6 / Seconds);
        }
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& E) {
        std::fprintf(stderr, "store_bench_tool: %s\n", E.what());
        return 1;
    }
}
