// Listing a folder of 100,000 messages and extracting every raw text, beside a
// plain read of the same file (what `cat FILE > /dev/null` does).
//
// The store comes from LUMBROOK_BENCH_STORE (directory) and LUMBROOK_BENCH_FILE
// (folder file name); without them a store of one folder, Bench.dbx, is written
// once into /tmp/lumbrook-bench with LUMBROOK_BENCH_MESSAGES messages (default
// 100,000, about 1.4 GB).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "store/oexpress.h"
#include "store_bench_folder.h"

namespace {

using namespace lumbrook;

struct TBenchFolder {
    std::string Dir;
    std::string File;
    std::string Path() const { return Dir + "/" + File; }
};

const TBenchFolder& Folder() {
    static const TBenchFolder folder = [] {
        TBenchFolder f;
        const char* dir = std::getenv("LUMBROOK_BENCH_STORE");
        const char* file = std::getenv("LUMBROOK_BENCH_FILE");
        f.Dir = dir ? dir : "/tmp/lumbrook-bench";
        f.File = file ? file : "Bench.dbx";
        if (!std::filesystem::exists(f.Path())) {
            const char* n = std::getenv("LUMBROOK_BENCH_MESSAGES");
            std::filesystem::create_directories(f.Dir);
            TBenchFolderPlan plan{"Bench", n ? std::strtoull(n, nullptr, 10) : 100'000, 0, 0, 0};
            WriteBenchStore(f.Dir, {plan}, 1);
        }
        SetStoreRootOverride(f.Dir);
        return f;
    }();
    return folder;
}

// The folder list of Folders.dbx, as the window reads it at start-up.
void BM_FolderList(benchmark::State& state) {
    Folder();
    std::size_t folders = 0;
    for (auto _ : state) {
        TFolderList list;
        ReadIndexFile("folders.dbx", list);
        folders = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["folders"] = static_cast<double>(folders);
}
BENCHMARK(BM_FolderList)->Unit(benchmark::kMicrosecond);

void BM_ListRecords(benchmark::State& state) {
    const TBenchFolder& f = Folder();
    std::size_t records = 0;
    for (auto _ : state) {
        TMessageList list;
        ReadIndexFile(f.File, list);
        records = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["records"] = static_cast<double>(records);
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(records) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ListRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractAllTexts(benchmark::State& state) {
    const TBenchFolder& f = Folder();
    TMessageList list;
    ReadIndexFile(f.File, list);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& m : list) {
            std::string text = ReadMessageText(f.File, m.DataOffset);
            bytes += text.size();
            benchmark::DoNotOptimize(text.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
    state.counters["messages/s"] = benchmark::Counter(
        static_cast<double>(list.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExtractAllTexts)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight messages of 32 MB: the block chains alone, the cost of opening the file
// and looking up the store root spread over 32 MB each.
const TBenchFolder& LargeFolder() {
    static const TBenchFolder folder = [] {
        TBenchFolder f{Folder().Dir, "Large.dbx"};
        if (!std::filesystem::exists(f.Path())) WriteLargeBenchFolder(f.Path(), 8, 32 << 20);
        return f;
    }();
    return folder;
}

void BM_ExtractLargeTexts(benchmark::State& state) {
    const TBenchFolder& f = LargeFolder();
    TMessageList list;
    ReadIndexFile(f.File, list);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& m : list) {
            std::string text = ReadMessageText(f.File, m.DataOffset);
            bytes += text.size();
            benchmark::DoNotOptimize(text.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}
BENCHMARK(BM_ExtractLargeTexts)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole file read in 128 KB pieces and thrown away: cat's loop.
void BM_CatFile(benchmark::State& state) {
    const TBenchFolder& f = state.range(0) ? LargeFolder() : Folder();
    std::vector<char> buffer(128 * 1024);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        int fd = ::open(f.Path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the folder file");
            return;
        }
        ssize_t got;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) bytes += got;
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}
BENCHMARK(BM_CatFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
