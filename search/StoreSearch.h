#pragma once

// A search of a whole store as a list shows it: the index brought up to date first,
// then asked, and each hit turned into its record as its folder lists it, knowing
// the folder file it comes from. Plain code, meant for a worker thread.

#include <atomic>
#include <exception>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "search/SearchIndex.h"
#include "search/SearchQuery.h"
#include "search/StoreIndexer.h"
#include "store/MailStore.h"

namespace lumbrook {

// At most this many hits are listed: each costs its snippet in the index, and a
// longer list helps nobody find a message.
inline constexpr std::size_t MaxSearchHits = 1000;

// What a search found, ready for the list: the hits' records as their folders' index
// held them when they were indexed (texts and flags as in the folder), best match first, and for each its
// folder file and folder path (UTF-8).
struct SearchResults {
    MessageList records;
    std::vector<std::string> files;
    std::vector<std::string> folderPaths;
    std::size_t total = 0;  // every match, of which records holds at most the limit
    IndexReport report;     // of bringing the index up to date
    // Why the index could not be had or written (nothing found then), for the
    // front end to word; empty when it could.
    std::exception_ptr failure;
};

// A hit's body text read back from the store, for its snippet (SearchIndex::search).
// The store must outlive what is returned.
HitBodyText storeBodyText(const MailStore& store);

// Brings the index at indexPath up to date with the store and runs the query on it.
// Progress comes from the calling thread; cancel stops the update after the message
// in hand and the query at once (report.cancelled, no records then). Never throws: an
// index that cannot be used is told in failure.
SearchResults runStoreSearch(const MailStore& store, const std::string& indexPath,
                             const SearchQuery& query, std::size_t limit,
                             const std::function<void(const IndexProgress&)>& progress = {},
                             const std::atomic<bool>* cancel = nullptr);

}  // namespace lumbrook
