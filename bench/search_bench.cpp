// The search index on a synthetic store the size of the benchmark store (131,000
// messages in four folders): build rate, index size, and ten typical queries warm.
//
//   search_bench [INDEX_PATH] [MESSAGES] [queries]
//
// (default /tmp/lumbrook-search-bench.sqlite, 131000); "queries" runs the queries on
// the index an earlier run left, without building it again.
//
// Every message comes from a fixed seed: bodies of 2 to 18 KB (10 KB on average) of
// words drawn from a fixed vocabulary with a long-tailed (Zipf-like) frequency, as
// in real text, in lines of about 70 characters.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "search/SearchIndex.h"
#include "search/SearchQuery.h"

using namespace lumbrook;

namespace {

constexpr std::size_t VocabularySize = 20000;

std::vector<std::string> makeVocabulary() {
    static const char* const Syllables[] = {
        "ba", "be", "bri", "ca", "con", "de", "di", "en", "er", "fa", "ge", "gü", "ha", "in",
        "ka", "kö", "la", "le", "lo", "ma", "me", "mü", "na", "ne", "no", "or", "pa", "per",
        "port", "pro", "ra", "re", "ri", "sa", "se", "ser", "so", "ta", "te", "ter", "ti",
        "to", "tra", "un", "ve", "vi", "wa", "we", "za", "zu"};
    std::mt19937_64 rng(7);
    std::vector<std::string> words;
    words.reserve(VocabularySize);
    while (words.size() < VocabularySize) {
        const int n = 1 + static_cast<int>(rng() % 4);
        std::string w;
        for (int i = 0; i < n; ++i) w += Syllables[rng() % std::size(Syllables)];
        words.push_back(w);
    }
    return words;
}

class Generator {
public:
    explicit Generator(const std::vector<std::string>& vocabulary)
        : vocabulary_(vocabulary), rng_(20240611) {}

    // Rank r is drawn with a probability falling as about 1/r.
    const std::string& word() {
        const double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng_);
        const auto rank = static_cast<std::size_t>(std::pow(double(VocabularySize), u)) - 1;
        return vocabulary_[std::min(rank, VocabularySize - 1)];
    }
    std::string words(std::size_t bytes) {
        std::string out;
        out.reserve(bytes + 32);
        std::size_t line = 0;
        while (out.size() < bytes) {
            const std::string& w = word();
            out += w;
            line += w.size() + 1;
            if (line > 70) {
                out += ".\r\n";
                line = 0;
            } else {
                out += ' ';
            }
        }
        return out;
    }
    SearchDocument document(const std::string& fileName, const std::string& folderPath, std::size_t i) {
        SearchDocument d;
        d.fileName = fileName;
        d.folderPath = folderPath;
        d.dataOffset = static_cast<std::int64_t>(0x24000 + i * 0x4000);
        // 1999 to 2008, oldest first, as the indexer hands a folder's messages over.
        d.fileTime = 125600000000000000u + (3150000000u / 131000u * i + rng_() % 1000u) * 100000000u;
        d.from = vocabulary_[rng_() % 300] + " <" + vocabulary_[rng_() % 300] + "@example.com>";
        d.to = vocabulary_[rng_() % 300] + " <" + vocabulary_[rng_() % 300] + "@example.org>";
        d.subject = (rng_() % 10 < 3 ? "Re: " : "") + words(20 + rng_() % 40);
        d.hasAttachment = rng_() % 40 == 0;
        if (d.hasAttachment) d.attachmentNames = word() + ".pdf";
        d.body = words(2048 + rng_() % 16384);
        return d;
    }

private:
    const std::vector<std::string>& vocabulary_;
    std::mt19937_64 rng_;
};

double cpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/lumbrook-search-bench.sqlite";
    const std::size_t total = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 131000;
    const bool queriesOnly = argc > 3 && std::string(argv[3]) == "queries";
    if (!queriesOnly)
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);

    const std::vector<std::string> vocabulary = makeVocabulary();
    Generator gen(vocabulary);
    // The benchmark store's folders, scaled to the total asked for.
    const struct {
        const char* fileName;
        const char* folderPath;
        double share;
    } folders[] = {{"Inbox.dbx", "Local Folders/Inbox", 1000.0 / 131000},
                   {"Projects.dbx", "Local Folders/Projects", 10000.0 / 131000},
                   {"Archive.dbx", "Local Folders/Archive", 100000.0 / 131000},
                   {"Save.dbx", "Local Folders/Save", 20000.0 / 131000}};

    SearchIndex index(path);
    double generateSeconds = 0, indexSeconds = 0, indexCpu = 0, textBytes = 0;
    std::size_t messages = 0;
    for (const auto& f : folders) {
        if (queriesOnly) break;
        const auto count = static_cast<std::size_t>(std::llround(f.share * double(total)));
        auto start = std::chrono::steady_clock::now();
        double cpu = cpuSeconds();
        index.beginFolder(f.fileName, count, 1);
        for (std::size_t i = 0; i < count; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            const SearchDocument d = gen.document(f.fileName, f.folderPath, i);
            const auto t1 = std::chrono::steady_clock::now();
            generateSeconds += std::chrono::duration<double>(t1 - t0).count();
            textBytes += double(d.body.size() + d.subject.size() + d.from.size() + d.to.size() +
                                d.folderPath.size() + d.attachmentNames.size());
            index.addDocument(d);
        }
        index.commitFolder();
        messages += count;
        indexSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        indexCpu += cpuSeconds() - cpu;
    }
    // Generating the text is not indexing; its time (wall and processor alike) is taken off.
    indexSeconds -= generateSeconds;
    indexCpu -= generateSeconds;
    const auto counts = index.counts();
    std::printf("messages indexed      %zu in %zu folders\n", counts.messages, counts.folders);
    std::printf("text                  %.0f MB\n", textBytes / 1e6);
    std::printf("index build           %.1f s (processor %.1f s)\n", indexSeconds, indexCpu);
    if (!queriesOnly) {
        std::printf("rate                  %.0f messages/s, %.1f MB/s (processor: %.0f, %.1f)\n",
                    double(messages) / indexSeconds, textBytes / 1e6 / indexSeconds,
                    double(messages) / indexCpu, textBytes / 1e6 / indexCpu);
    }
    double size = 0;
    for (const char* suffix : {"", "-wal"}) {
        std::error_code ec;
        const auto s = std::filesystem::file_size(path + suffix, ec);
        if (!ec) size += double(s);
    }
    std::printf("index size            %.0f MB (%.2f x the text)\n", size / 1e6, size / textBytes);

    // Words by rank: 5 is among the most common, 200 common, 5,000 rare.
    const std::string common = vocabulary[5], mid = vocabulary[200], mid2 = vocabulary[201],
                      rare = vocabulary[5000], person = vocabulary[17];
    const std::string queries[] = {
        rare,
        mid,
        common,
        mid + " " + mid2,
        "\"" + common + " " + vocabulary[6] + "\"",
        mid.substr(0, 3) + "*",
        rare + " OR " + vocabulary[5001],
        "from:" + person + " " + mid,
        "subject:" + mid + " after:2004-01-01 before:2005-01-01",
        "has:attachment " + mid + " -" + mid2,
    };
    // Warm: each query once before it is timed; the median of five rounds. The first
    // screen of a result list (20 hits) beside a long list (200 hits). No snippets: they
    // are made from the store's texts, which this index has none of (lumbrook-cli
    // search, timed by bench/run, makes them).
    std::printf("\n%-50s %8s %10s %10s %10s\n", "query", "matches", "ms (20)", "ms (200)",
                "cpu ms (200)");
    for (const std::string& q : queries) {
        const SearchQuery query = parseSearchQuery(q);
        const std::size_t matches = index.countMatches(query);
        double medians[2] = {0, 0}, cpuMedian = 0;
        for (int which = 0; which < 2; ++which) {
            const std::size_t limit = which == 0 ? 20 : 200;
            index.search(query, limit);
            std::vector<double> times, cpus;
            for (int round = 0; round < 5; ++round) {
                const double cpu = cpuSeconds();
                const auto t0 = std::chrono::steady_clock::now();
                index.search(query, limit);
                times.push_back(std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - t0).count());
                cpus.push_back((cpuSeconds() - cpu) * 1000);
            }
            std::sort(times.begin(), times.end());
            std::sort(cpus.begin(), cpus.end());
            medians[which] = times[2];
            cpuMedian = cpus[2];
        }
        std::printf("%-50s %8zu %10.1f %10.1f %10.1f\n", q.c_str(), matches, medians[0],
                    medians[1], cpuMedian);
    }
    return 0;
}
