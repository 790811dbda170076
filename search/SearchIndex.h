#pragma once

// The full-text index of a store: one SQLite file in the user's cache directory,
// never beside the store. Folders are indexed whole, one transaction each, and
// remembered with the size and modification time their file had, so that only
// changed folders are read again. The index is a cache: one of ours that is damaged
// or of another layout is deleted and started afresh; a file that is not ours (or
// a link) is never touched. It holds the text of all mail, so it is the user's
// alone: the file 0600, the directories made for it 0700.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "search/SearchQuery.h"

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
    // subject matched), matched words between [ and ].
    std::string snippet;
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
    // newest; a query without words to match lists newest first.
    // A snippet reads its message's whole text, about 0.1 to 0.3 ms for a 10 KB body:
    // ask for a screenful, not for everything.
    std::vector<SearchHit> search(const SearchQuery& query, std::size_t limit);
    // How many messages the query finds, all of them, without reading their texts.
    std::size_t countMatches(const SearchQuery& query);

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
    Statement prepareQuery(const SearchQuery& query, const std::string& match, bool countOnly);
    bool readHit(std::int64_t id, SearchHit& hit);
    std::vector<SearchHit> searchWords(const std::string& match, bool hasPrefixTerm,
                                       std::size_t limit);
    std::string rowSnippet(const std::string& match, std::int64_t id);

    std::string indexPath;
    sqlite3* database = nullptr;
    std::unique_ptr<Statements> statements;
    bool rebuiltOnOpen = false;
    bool inFolder = false;
    std::int64_t currentFolderId = 0;
};

}  // namespace lumbrook
