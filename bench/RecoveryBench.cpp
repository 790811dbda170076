// Scanning a folder file for messages outside its index, timed:
//   recovery_bench generate PATH MB [SEED]   write a folder file of about MB megabytes:
//                                            messages of 2 to 20 KB, one in ten deleted,
//                                            one in fifty left out of the index, and
//                                            stretches of garbage; the index's data
//                                            offsets go to PATH.listed
//   recovery_bench scan PATH [WINDOW_KB]     scan it (with PATH.listed when present) and
//                                            print MB/s, what was found and the time
//                                            spent reading the found texts back
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "store/DbxLayout.h"
#include "store/Recovery.h"
#include "store/StoreFile.h"

using namespace lumbrook;

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }

private:
    std::uint64_t state;
};

void putU32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(v >> (8 * i));
}

// The blocks of one message at pos, in a row.
std::string chainBytes(std::uint64_t pos, std::string_view text, bool deleted) {
    using namespace dbx;
    const std::size_t blocks = std::max<std::size_t>(1, (text.size() + BlockTextSize - 1) / BlockTextSize);
    std::string out(blocks * BlockSize, '\0');
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t at = i * BlockSize;
        const std::string_view piece = text.substr(i * BlockTextSize, BlockTextSize);
        const auto self = static_cast<std::uint32_t>(pos + at);
        const std::uint32_t next = i + 1 < blocks ? static_cast<std::uint32_t>(self + BlockSize) : 0;
        out.replace(at + BlockHeaderSize, piece.size(), piece);
        putU32(out, at + BlockSelfAt, self);
        putU32(out, at + BlockNextAt, next);
        if (deleted) {
            putU32(out, at + BlockMarkAt, DeletedMark);
            putU32(out, at + BlockUsedAt, DeletedSizeField);
            putU32(out, at + DeletedPreviousAt, i > 0 ? static_cast<std::uint32_t>(self - BlockSize) : 0);
        } else {
            putU32(out, at + BlockMarkAt, LiveMark);
            putU32(out, at + BlockUsedAt, static_cast<std::uint32_t>(piece.size()));
        }
    }
    return out;
}

int generate(const std::string& path, std::uint64_t megabytes, std::uint64_t seed) {
    Random random(seed);
    // Words to build bodies from.
    std::string pool;
    const char* words[] = {"mail ", "the ", "Outlook ", "meeting ", "tomorrow ", "regards ", "\r\n",
                           "attachment ", "Gruesse ", "invoice ", "project ", "and ", "of "};
    while (pool.size() < (1u << 20)) pool += words[random.below(std::size(words))];

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::ofstream listed(path + ".listed", std::ios::binary | std::ios::trunc);
    std::string header(dbx::FileHeaderSize, '\0');
    putU32(header, dbx::SignatureAt, dbx::Signature);
    putU32(header, dbx::FileKindAt, dbx::MessageFileKind);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::uint64_t pos = header.size();
    const std::uint64_t target = megabytes * 1000000;
    std::uint64_t messages = 0, deleted = 0, orphaned = 0;
    while (pos < target) {
        if (random.below(100) == 0) {  // something else: index nodes, records, noise
            std::string garbage(4 * (1 + random.below(2000)), '\0');
            for (char& c : garbage) c = static_cast<char>(random.next());
            out.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
            pos += garbage.size();
            continue;
        }
        const std::size_t size = 2000 + random.below(18000);
        std::string text = "Received: from mx.example.org\r\nFrom: someone@example.org\r\nSubject: message " +
                           std::to_string(messages) + "\r\n\r\n";
        text += pool.substr(random.below(pool.size() - size), size - std::min(size, text.size()));
        const std::uint64_t kind = random.below(50);
        const bool isDeleted = kind < 5;
        const std::string chain = chainBytes(pos, text, isDeleted);
        if (isDeleted) ++deleted;
        else if (kind == 5) ++orphaned;
        else listed.write(reinterpret_cast<const char*>(&pos), sizeof pos);
        out.write(chain.data(), static_cast<std::streamsize>(chain.size()));
        pos += chain.size();
        ++messages;
    }
    if (!out || !listed) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s: %.1f MB, %llu messages, %llu deleted, %llu not in the index\n", path.c_str(),
                static_cast<double>(pos) / 1e6, static_cast<unsigned long long>(messages),
                static_cast<unsigned long long>(deleted), static_cast<unsigned long long>(orphaned));
    return 0;
}

int scan(const std::string& path, std::size_t windowKb) {
    std::vector<std::uint64_t> listed;
    std::ifstream in(path + ".listed", std::ios::binary);
    for (std::uint64_t offset; in.read(reinterpret_cast<char*>(&offset), sizeof offset);)
        listed.push_back(offset);

    const StoreFile file(path);
    ScanOptions options;
    if (windowKb > 0) options.windowSize = windowKb * 1024;
    const double cpu0 = cpuSeconds();
    const auto t0 = Clock::now();
    const RecoveryScan found = scanForMessages(file, listed, options);
    const double seconds = since(t0);
    const double cpu = cpuSeconds() - cpu0;
    std::uint64_t deleted = 0, complete = 0, textBytes = 0;
    for (const auto& m : found.messages) {
        deleted += m.kind == RecoveredMessage::Kind::Deleted;
        complete += m.complete;
    }
    const auto t1 = Clock::now();
    for (const auto& m : found.messages) textBytes += readRecoveredText(file, m).size();
    const double readSeconds = since(t1);
    const double mb = static_cast<double>(file.size()) / 1e6;
    std::printf("scan %.1f MB in %.3f s (%.0f MB/s), cpu %.3f s; blocks %llu live, %llu deleted, "
                "%llu ignored; %zu listed, %llu found; %zu messages (%llu deleted, %llu complete); "
                "texts %.1f MB read back in %.3f s\n",
                mb, seconds, mb / seconds, cpu, static_cast<unsigned long long>(found.liveBlocks),
                static_cast<unsigned long long>(found.deletedBlocks),
                static_cast<unsigned long long>(found.ignoredBlocks), listed.size(),
                static_cast<unsigned long long>(found.listedFound), found.messages.size(),
                static_cast<unsigned long long>(deleted), static_cast<unsigned long long>(complete),
                static_cast<double>(textBytes) / 1e6, readSeconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 3 && args[0] == "generate")
            return generate(args[1], std::stoull(args[2]), args.size() > 3 ? std::stoull(args[3]) : 1);
        if (args.size() >= 2 && args[0] == "scan")
            return scan(args[1], args.size() > 2 ? std::stoull(args[2]) : 0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: recovery_bench generate PATH MB [SEED] | scan PATH [WINDOW_KB]\n");
    return 2;
}
