#pragma once

// The full-text index of a store: one SQLite file in the user's cache directory,
// never beside the store. Folders are indexed whole, one transaction each, and
// remembered with the size and modification time their file had, so that only
// changed folders are read again. The index keeps the words, not the texts (those
// are in the store already): each folder has a word table of its own, which a new
// version of the folder replaces whole, and snippets are made from the texts of the
// hits read back from the store. The index is a cache: one of ours that is damaged
// or of another layout is deleted and started afresh; a file that is not ours (or
// a link) is never touched. It holds the text of all mail, so it is the user's
// alone: the file 0600, the directories made for it 0700.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "search/SearchQuery.h"
#include "store/StoreRecords.h"

struct sqlite3;

namespace lumbrook {

// One message as the index takes it; every text is UTF-8.
struct SearchDocument {
    std::string folderPath;  // as shown to the user, e.g. "Local Folders/Inbox"
    std::string fileName;    // the folder's file, e.g. "Inbox.dbx"
    std::int64_t dataOffset = 0;
    std::uint64_t fileTime = 0;  // 100 ns since 1601 UTC; 0 = none
    std::string from, to, subject;
    std::uint32_t flags = 0;
    bool hasAttachment = false;
    std::string attachmentNames;
    std::string body;
    // The message's row as its folder lists it, kept so that a hit needs no read of
    // the folder's index.
    MessageInfo record;
};

struct SearchHit {
    std::string fileName;
    std::int64_t dataOffset = 0;
    std::string folderPath;
    std::uint64_t fileTime = 0;
    std::string from, subject;
    std::uint32_t flags = 0;
    bool hasAttachment = false;
    // About a dozen words of the body around the match (of the subject when only the
    // subject matched), matched words between [ and ]; empty when no body text was
    // asked for.
    std::string snippet;
    MessageInfo record;  // as the folder listed it when it was indexed
};

struct SearchIndexCounts {
    std::size_t folders = 0;
    std::size_t messages = 0;
};

// The index file could not be opened, created or written (disk full, no permission).
// The message is plain English and names the file.
class SearchIndexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A search stopped by its cancel flag.
class SearchCancelled : public std::runtime_error {
public:
    SearchCancelled() : std::runtime_error("The search was cancelled.") {}
};

// The body text of a hit (UTF-8, as it was indexed), read back from the store for its
// snippet; empty when the message cannot be read.
using HitBodyText = std::function<std::string(const SearchHit& hit)>;

// $XDG_CACHE_HOME/lumbrook/ (else ~/.cache/lumbrook/) and a hash of the store's path.
std::string defaultIndexPath(std::string_view storeAbsolutePath);

// One object serves one thread at a time. Several programs may use the same file:
// searching goes on while another indexes, and a second writer waits up to ten seconds
// for the first one's folder before it gives up with a SearchIndexError.
class SearchIndex {
public:
    // Opens the index at path or creates it, with its directories. Throws
    // SearchIndexError when the file cannot be had, is a link or is not ours.
    explicit SearchIndex(const std::string& path);
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    const std::string& path() const { return indexPath; }
    // Whether opening found a file it could not use and started an empty index.
    bool wasRebuilt() const { return rebuiltOnOpen; }

    // Whether the folder is indexed as the file is now.
    bool isFolderCurrent(const std::string& fileName, std::uint64_t size, std::int64_t mtimeNs);

    // Replaces the folder's messages in one transaction: either all of the new ones
    // are in the index afterwards, or (on an error or without commitFolder) the old.
    // Documents stream through, so a large folder needs no more memory than one.
    void beginFolder(const std::string& fileName, std::uint64_t size, std::int64_t mtimeNs);
    void addDocument(const SearchDocument& document);
    void commitFolder();
    void cancelFolder();
    // The three in one.
    void replaceFolder(const std::string& fileName, std::uint64_t size, std::int64_t mtimeNs,
                       const std::vector<SearchDocument>& documents);

    // Drops every folder whose file is not named (deleted or renamed folders).
    void removeFoldersExcept(const std::set<std::string>& fileNames);

    SearchIndexCounts counts();

    // Best matches first (bm25, subject and sender weigh more than the body), then
    // newest; a query without words to match lists newest first. A query that finds
    // more messages than can be ranked quickly ranks the newest of them (a share of
    // each folder's, 20,000 in all for words, 5,000 with a prefix, 500 with a phrase
    // of several words, and at least limit of each folder's).
    // Snippets are made with withSnippets, from the start of each body the index keeps;
    // a long body whose start shows no match is read back through bodyText (when
    // given), so ask for a screenful, not for everything. cancel, when set, stops the
    // search at once with SearchCancelled.
    std::vector<SearchHit> search(const SearchQuery& query, std::size_t limit,
                                  bool withSnippets = true, const HitBodyText& bodyText = {},
                                  const std::atomic<bool>* cancel = nullptr);
    // How many messages the query finds, all of them, without reading their texts.
    std::size_t countMatches(const SearchQuery& query, const std::atomic<bool>* cancel = nullptr);


private:
    class Statement;
    struct Statements;

    void open(bool allowRebuild);
    // Makes the directories and the file when missing, for the user alone; throws
    // SearchIndexError, touching nothing, for a link or a file that is not ours.
    void claimFile();
    void close();
    void createSchema();
    bool schemaIsCurrent();
    [[noreturn]] void fail(const std::string& what, int code);
    void check(int code, const char* what);
    void exec(const char* sql);
    void removeFolderRows(std::int64_t folderId);
    class CancelScope;
    struct WordTable {
        std::int64_t folderId = 0;
        std::string name;
        std::int64_t rows = 0;
        std::int64_t tokens = 0;
    };
    std::vector<WordTable> wordTables();
    void bindFilters(Statement& s, const SearchQuery& query);
    Statement filterStatement(const SearchQuery& query, const std::vector<WordTable>& tables,
                              bool countOnly);
    struct QueryShape {
        int phrases = 0;        // to match
        int longestPhrase = 0;  // in words
    };
    QueryShape shapeOf(const std::vector<WordTable>& tables, const std::string& positive);
    std::string rankStatistics(const std::vector<WordTable>& tables, const std::string& match,
                               const QueryShape& shape, std::int64_t counted);
    bool readHit(std::int64_t id, SearchHit& hit);
    std::vector<SearchHit> searchWords(const SearchQuery& query, const std::string& match,
                                       std::size_t limit);
    std::vector<SearchHit> searchFilters(const SearchQuery& query, std::size_t limit);
    void addSnippets(const std::string& match, std::vector<SearchHit>& hits,
                     const HitBodyText& bodyText);

    std::string indexPath;
    sqlite3* database = nullptr;
    std::unique_ptr<Statements> statements;
    bool rebuiltOnOpen = false;
    bool inFolder = false;
    std::int64_t currentFolderId = 0;
    const std::atomic<bool>* cancelFlag = nullptr;
    // Of the search in hand: the message row of each hit, and the bound text of the
    // words left out.
    std::vector<std::int64_t> hitIds;
    std::string excludedWords;
};

}  // namespace lumbrook
