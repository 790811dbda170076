// find: every store below a mounted disk, a profile folder or any directory.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "cli/Commands.h"
#include "discovery/StoreFinder.h"
#include "platform/Files.h"

namespace lumbrook::cli {

namespace {

std::atomic<bool> findStopRequested{false};

void requestFindStop(int) {
    findStopRequested = true;
}

// A file time as ISO 8601 in UTC; null for none.
nlohmann::ordered_json isoDate(std::uint64_t fileTime) {
    if (fileTime == 0) return nullptr;
    constexpr std::uint64_t UnixEpochAsFileTime = 116444736000000000ull;
    if (fileTime < UnixEpochAsFileTime) return nullptr;
    const std::time_t seconds =
        static_cast<std::time_t>((fileTime - UnixEpochAsFileTime) / 10000000);
    std::tm utc{};
    if (!gmtime_r(&seconds, &utc)) return nullptr;
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

int cmdFind(Args& args, const MailStore&) {
    const std::vector<std::string> roots = args.positionals();
    if (roots.empty()) throw UsageError("find needs at least one PATH");
    for (const std::string& root : roots)
        if (!directoryExists(root)) throw CliError(root + ": no such directory");

    const bool terminal = isatty(STDERR_FILENO) == 1;
    bool drawn = false;
    const auto progress = [&](const FindProgress& p) {
        if (!terminal) return;
        std::cerr << "\r" << p.directories << " directories, " << p.files << " files, "
                  << p.storesFound << " stores\033[K" << std::flush;
        drawn = true;
    };
    findStopRequested = false;
    FindResult result;
    {
        StopSignals stop(requestFindStop);
        result = findStores(roots, progress, &findStopRequested);
    }
    if (drawn) std::cerr << "\r\033[K" << std::flush;

    for (const FoundStore& s : result.stores) {
        printJsonLine({{"Path", s.path},
                       {"User", s.user},
                       {"Identity", s.identity},
                       {"IdentityId", s.identityId},
                       {"CodePage", s.codePage},
                       {"Folders", s.folders},
                       {"Messages", s.messages},
                       {"Bytes", s.bytes},
                       {"FirstDate", isoDate(s.firstDate)},
                       {"LastDate", isoDate(s.lastDate)},
                       {"Source", s.source == FoundStore::Source::Registry ? "registry" : "scan"}});
    }
    for (const FindNotice& n : result.notices) {
        std::cerr << "lumbrook-cli: " << (n.user.empty() ? "" : "user " + n.user + ", ")
                  << (n.identity.empty() ? "" : "identity " + n.identity + ": ") << n.text << '\n';
    }
    if (result.cancelled) {
        std::cout.flush();
        std::cerr << "lumbrook-cli: stopped; the stores found so far are listed\n";
        return 1;
    }
    if (result.stores.empty()) {
        std::cerr << "lumbrook-cli: no store found\n";
        return 1;
    }
    return 0;
}

}  // namespace lumbrook::cli
