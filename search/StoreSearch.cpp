#include "search/StoreSearch.h"

#include <map>
#include <unordered_map>

#include "listing/FolderMessages.h"
#include "search/SearchIndex.h"

namespace lumbrook {

SearchResults runStoreSearch(const MailStore& store, const std::string& indexPath,
                             const SearchQuery& query, std::size_t limit,
                             const std::function<void(const IndexProgress&)>& progress,
                             const std::atomic<bool>* cancel) {
    SearchResults results;
    try {
        SearchIndex index(indexPath);
        results.report = updateSearchIndex(store, index, progress, cancel);
        if (results.report.cancelled) return results;
        results.total = index.countMatches(query);
        const std::vector<SearchHit> hits = index.search(query, limit);
        // Each hit's record as its folder lists it, the folder's index read once.
        struct Folder {
            MessageList records;
            std::unordered_map<std::int64_t, std::size_t> byOffset;
        };
        std::map<std::string, Folder> folders;
        for (const SearchHit& hit : hits) {
            auto [entry, fresh] = folders.try_emplace(hit.fileName);
            Folder& folder = entry->second;
            if (fresh) {
                try {
                    // A damaged folder's found messages were indexed too.
                    FolderMessageOptions options;
                    options.stop = cancel;
                    folder.records = readFolderMessages(store, hit.fileName, options).records;
                } catch (const std::exception&) {
                    // Gone since it was indexed: its hits are not listed.
                }
                for (std::size_t i = 0; i < folder.records.size(); ++i)
                    folder.byOffset.try_emplace(folder.records[i].dataOffset, i);
            }
            const auto found = folder.byOffset.find(hit.dataOffset);
            if (found == folder.byOffset.end()) continue;
            results.records.push_back(folder.records[found->second]);
            results.files.push_back(hit.fileName);
            results.folderPaths.push_back(hit.folderPath);
        }
    } catch (const std::exception& e) {
        results.records.clear();
        results.files.clear();
        results.folderPaths.clear();
        results.failure = std::current_exception();
    }
    return results;
}

}  // namespace lumbrook
