#include "search/StoreSearch.h"

#include "mime/MailModel.h"
#include "mime/MessageText.h"
#include "search/SearchIndex.h"

namespace lumbrook {

HitBodyText storeBodyText(const MailStore& store) {
    return [&store](const SearchHit& hit) {
        // A damaged folder's found messages are read only through its recovery scan:
        // their snippets come from the start of the body the index keeps.
        if (hit.record.origin != MessageOrigin::Listed) return std::string();
        const std::string raw = store.readMessageText(hit.fileName, static_cast<std::int32_t>(hit.dataOffset));
        MailMessage message;
        message.loadText(raw);
        message.locateBodies();
        return messageBodyText(message, store.codePage().name());
    };
}

SearchResults runStoreSearch(const MailStore& store, const std::string& indexPath,
                             const SearchQuery& query, std::size_t limit,
                             const std::function<void(const IndexProgress&)>& progress,
                             const std::atomic<bool>* cancel) {
    SearchResults results;
    try {
        SearchIndex index(indexPath);
        results.report = updateSearchIndex(store, index, progress, cancel);
        if (results.report.cancelled) return results;
        results.total = index.countMatches(query, cancel);
        // The index keeps each hit's row as its folder listed it: no folder is read.
        for (SearchHit& hit : index.search(query, limit, false, {}, cancel)) {
            results.records.push_back(std::move(hit.record));
            results.files.push_back(std::move(hit.fileName));
            results.folderPaths.push_back(std::move(hit.folderPath));
        }
    } catch (const SearchCancelled&) {
        IndexReport report = results.report;
        results = SearchResults();
        results.report = report;
        results.report.cancelled = true;
    } catch (const std::exception& e) {
        results.records.clear();
        results.files.clear();
        results.folderPaths.clear();
        results.failure = std::current_exception();
    }
    return results;
}

}  // namespace lumbrook
