// How long finding the stores of a disk takes: a generated tree of 300,000 files in
// the layout of a Windows disk (profiles, program and system directories, files of
// many kinds, a share of them big enough to be read for their signature) holding
// five stores. The tree is made once and kept; the scan runs once to warm the
// cache, then ROUNDS times, and the median is printed.
//
// usage: find_bench DIR [ROUNDS]   (DIR is filled when it holds no tree yet)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dbxwriter/DbxWriter.h"
#include "discovery/StoreFinder.h"

namespace fs = std::filesystem;
using namespace lumbrook;

namespace {

constexpr int TotalFiles = 300'000;
constexpr int FilesPerDirectory = 60;
constexpr int Stores = 5;

const char* const Extensions[] = {"dll", "txt", "jpg", "dat", "doc",
                                  "",    "bin", "htm", "xls", "tmp"};

void writeStore(const fs::path& dir, int n, int& files) {
    fs::create_directories(dir);
    DbxFileOptions list;
    list.kind = DbxFileKind::Folders;
    std::vector<DbxRecord> folders{
        folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false})};
    for (int f = 0; f < 3; ++f) {
        const std::string name = "Folder" + std::to_string(f) + ".dbx";
        folders.push_back(folderRecord({10 + f, 0, "Folder " + std::to_string(f), name, false}));
        std::vector<DbxRecord> messages;
        for (int m = 0; m < 20; ++m)
            messages.push_back(messageRecord({m + 1, "a@b", "c@d", "store " + std::to_string(n),
                                              unixTimeToFileTime(1'000'000'000 + m * 86'400),
                                              "Subject: x\r\n\r\nbody\r\n"}));
        writeBytes((dir / name).string(), buildDbx(messages).bytes);
        ++files;
    }
    writeBytes((dir / "Folders.dbx").string(), buildDbx(folders, list).bytes);
    ++files;
}

void makeTree(const fs::path& root) {
    int files = 0;
    for (int s = 0; s < Stores; ++s) {
        const fs::path profile =
            root / (s < 3 ? "Documents and Settings" : "Users") / ("user" + std::to_string(s));
        writeStore(profile / (s < 3 ? "Local Settings/Application Data" : "AppData/Local") /
                       ("Identities/{00000000-0000-0000-0000-00000000000" + std::to_string(s) +
                        "}/Microsoft/Outlook Express"),
                   s, files);
    }
    // Mostly small files; one in four big enough to be looked at.
    const std::string small(200, 'x');
    const std::string big(0x3000, 'y');
    for (int d = 0; files < TotalFiles; ++d) {
        const fs::path dir = root /
                             (d % 3 == 0   ? "Program Files"
                              : d % 3 == 1 ? "WINDOWS/system32"
                                           : "Documents and Settings/user0/My Documents") /
                             ("dir" + std::to_string(d / 100)) / ("sub" + std::to_string(d % 100));
        fs::create_directories(dir);
        for (int f = 0; f < FilesPerDirectory && files < TotalFiles; ++f, ++files) {
            const char* ext = Extensions[(d + f) % std::size(Extensions)];
            std::ofstream out(dir / ("file" + std::to_string(f) + (*ext ? "." : "") + ext),
                              std::ios::binary);
            out << (f % 4 == 0 ? big : small);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: find_bench DIR [ROUNDS]\n");
        return 2;
    }
    const fs::path root = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!fs::exists(root / "Documents and Settings")) {
        const auto started = std::chrono::steady_clock::now();
        makeTree(root);
        std::printf(
            "tree written in %.1f s\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    std::vector<double> seconds;
    std::size_t found = 0;
    std::uint64_t files = 0;
    for (int r = 0; r <= rounds; ++r) {
        const auto started = std::chrono::steady_clock::now();
        FindProgress last;
        const FindResult result =
            findStores({root.string()}, [&](const FindProgress& p) { last = p; });
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        found = result.stores.size();
        files = last.files;
        if (r > 0) seconds.push_back(s);  // the first only warms the cache
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%llu files, %zu stores found, median of %d warm runs: %.2f s (fastest %.2f s)\n",
                static_cast<unsigned long long>(files), found, rounds, seconds[seconds.size() / 2],
                seconds.front());
    return found == Stores ? 0 : 1;
}
