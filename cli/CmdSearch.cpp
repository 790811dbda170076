// index and search: the store's full-text index in the user's cache directory.
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "base/FileTime.h"
#include "cli/FolderReport.h"
#include "search/StoreIndexer.h"
#include "search/SearchIndex.h"
#include "search/SearchQuery.h"
#include "search/StoreSearch.h"
#include "store/MailStore.h"

namespace lumbrook::cli {
namespace {

// Brings the index up to date with a bar on a terminal; failures to read single
// messages are reported and counted, the rest of the store is indexed.
IndexReport bringUpToDate(const MailStore& store, SearchIndex& index) {
    const bool shown = isatty(STDERR_FILENO) == 1;
    bool drawn = false;
    auto clear = [&] {
        if (drawn) std::cerr << "\r\033[K" << std::flush;
        drawn = false;
    };
    IndexReport report = updateSearchIndex(
        store, index,
        [&](const IndexProgress& p) {
            if (!shown || p.messagesTotal == 0) return;
            const std::size_t percent = p.messagesDone * 100 / p.messagesTotal;
            std::cerr << "\rIndexing " << p.messagesDone << '/' << p.messagesTotal << " messages ("
                      << percent << "%) " << p.folderPath << "\033[K" << std::flush;
            drawn = true;
        },
        nullptr,
        [&](const std::string& where, const std::exception& error) {
            clear();
            std::cerr << "lumbrook-cli: cannot index " << where << ": " << errorText(error)
                      << '\n';
        });
    clear();
    return report;
}

}  // namespace

int cmdIndex(Args& args, const MailStore& store) {
    if (!args.positionals().empty()) throw UsageError("index takes no arguments");
    SearchIndex index(storeIndexPath(store));
    if (index.wasRebuilt()) std::cerr << "lumbrook-cli: the index was damaged and is made anew\n";
    const IndexReport r = bringUpToDate(store, index);
    const SearchIndexCounts counts = index.counts();
    std::cout << "index        " << index.path() << '\n'
              << "folders      " << r.foldersIndexed << " indexed, " << r.foldersCurrent
              << " unchanged, " << r.foldersRemoved << " removed\n"
              << "messages     " << r.messagesIndexed << " indexed (" << r.bytesRead / 1000000
              << " MB read), " << counts.messages << " in the index\n"
              << "failed       " << r.failures << '\n';
    FolderReports reports;
    for (const FolderReport& folder : r.damagedFolders) reports.add(folder);
    return reports.finish(r.failures > 0 ? 1 : 0);
}

int cmdSearch(Args& args, const MailStore& store) {
    const auto limitText = args.takeOption("--limit");
    auto rest = args.textWords();
    if (rest.empty()) throw UsageError("search needs a QUERY");
    std::string text;
    for (const auto& word : rest) text += (text.empty() ? "" : " ") + word;
    std::size_t limit = 50;
    if (limitText) {
        try {
            limit = std::stoul(*limitText);
        } catch (const std::exception&) {
            throw UsageError("--limit needs a number, not " + *limitText);
        }
    }
    SearchQuery query;
    try {
        query = parseSearchQuery(text);
    } catch (const SearchQueryError& e) {
        throw UsageError(std::string("cannot read the query: ") + e.what());
    }
    SearchIndex index(storeIndexPath(store));
    const IndexReport report = bringUpToDate(store, index);
    FolderReports reports;
    for (const FolderReport& folder : report.damagedFolders) reports.add(folder);
    for (const SearchHit& hit : index.search(query, limit, true, storeBodyText(store))) {
        nlohmann::ordered_json record{
            {"FileName", hit.fileName}, {"DataOffset", hit.dataOffset}, {"Folder", hit.folderPath}};
        addJsonDates(record, fileTimeToUnix(hit.fileTime));
        record["FileTime"] = hit.fileTime;
        record["From"] = hit.from;
        record["Subject"] = hit.subject;
        record["Snippet"] = hit.snippet;
        printJsonLine(record);
    }
    // The hits may lack what the folders named on standard error hold.
    return reports.finish(report.failures > 0 ? 1 : 0);
}

}  // namespace lumbrook::cli
