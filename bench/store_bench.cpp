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

#include "store/MailStore.h"
#include "store_bench_folder.h"

namespace {

using namespace lumbrook;

struct BenchFolder {
    std::string dir;
    std::string file;
    std::string path() const { return dir + "/" + file; }
    MailStore store() const { return MailStore(dir); }
};

const BenchFolder& folder() {
    static const BenchFolder Folder = [] {
        BenchFolder f;
        const char* dir = std::getenv("LUMBROOK_BENCH_STORE");
        const char* file = std::getenv("LUMBROOK_BENCH_FILE");
        f.dir = dir ? dir : "/tmp/lumbrook-bench";
        f.file = file ? file : "Bench.dbx";
        if (!std::filesystem::exists(f.path())) {
            const char* n = std::getenv("LUMBROOK_BENCH_MESSAGES");
            std::filesystem::create_directories(f.dir);
            BenchFolderPlan plan{"Bench", n ? std::strtoull(n, nullptr, 10) : 100'000, 0, 0, 0};
            writeBenchStore(f.dir, {plan}, 1);
        }
        return f;
    }();
    return Folder;
}

// The folder list of Folders.dbx, as the window reads it at start-up.
void bmFolderList(benchmark::State& state) {
    const MailStore store = folder().store();
    std::size_t folders = 0;
    for (auto _ : state) {
        const FolderList list = store.readFolders();
        folders = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["folders"] = static_cast<double>(folders);
}
BENCHMARK(bmFolderList)->Unit(benchmark::kMicrosecond);

void bmListRecords(benchmark::State& state) {
    const BenchFolder& f = folder();
    const MailStore store = f.store();
    std::size_t records = 0;
    for (auto _ : state) {
        const MessageList list = store.readMessages(f.file);
        records = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["records"] = static_cast<double>(records);
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(records) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(bmListRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

void bmExtractAllTexts(benchmark::State& state) {
    const BenchFolder& f = folder();
    const MailStore store = f.store();
    const MessageList list = store.readMessages(f.file);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& m : list) {
            std::string text = store.readMessageText(f.file, m.dataOffset);
            bytes += text.size();
            benchmark::DoNotOptimize(text.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
    state.counters["messages/s"] = benchmark::Counter(
        static_cast<double>(list.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(bmExtractAllTexts)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight messages of 32 MB: the block chains alone, the cost of opening the file
// spread over 32 MB each.
const BenchFolder& largeFolder() {
    static const BenchFolder Folder = [] {
        BenchFolder f{folder().dir, "Large.dbx"};
        if (!std::filesystem::exists(f.path())) writeLargeBenchFolder(f.path(), 8, 32 << 20);
        return f;
    }();
    return Folder;
}

void bmExtractLargeTexts(benchmark::State& state) {
    const BenchFolder& f = largeFolder();
    const MailStore store = f.store();
    const MessageList list = store.readMessages(f.file);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& m : list) {
            std::string text = store.readMessageText(f.file, m.dataOffset);
            bytes += text.size();
            benchmark::DoNotOptimize(text.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}
BENCHMARK(bmExtractLargeTexts)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole file read in 128 KB pieces and thrown away: cat's loop.
void bmCatFile(benchmark::State& state) {
    const BenchFolder& f = state.range(0) ? largeFolder() : folder();
    std::vector<char> buffer(128 * 1024);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        int fd = ::open(f.path().c_str(), O_RDONLY | O_CLOEXEC);
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
BENCHMARK(bmCatFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
