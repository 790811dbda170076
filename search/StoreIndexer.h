#pragma once

// Brings a store's search index up to date: folder by folder, only the folders whose
// file changed (size or modification time) since they were indexed, the message
// texts read in their own charsets. Shared by lumbrook-cli and the window, which
// runs it off its user interface thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "listing/FolderMessages.h"
#include "search/SearchIndex.h"
#include "store/MailStore.h"

namespace lumbrook {

struct IndexReport {
    std::size_t foldersIndexed = 0;   // read again because they were new or had changed
    std::size_t foldersCurrent = 0;   // left as they were
    std::size_t foldersRemoved = 0;   // gone from the store
    std::size_t messagesIndexed = 0;
    std::uint64_t bytesRead = 0;
    std::size_t failures = 0;         // folders or messages that could not be read
    // Folder files read again whose index could not be read whole: their messages
    // found by the recovery scan are indexed with the others.
    std::vector<FolderReport> damagedFolders;
    bool cancelled = false;
};

struct IndexProgress {
    std::size_t messagesDone = 0;
    std::size_t messagesTotal = 0;  // of the folders that need indexing
    std::string folderPath;
};

// The index file of a store, the one the window and lumbrook-cli share: in the
// cache directory, named after the store directory's absolute path.
std::string storeIndexPath(const MailStore& store);

// One search document per message of a folder file: index texts in UTF-8 from the
// store's code page, the body text from the message itself.
SearchDocument searchDocumentFor(const MailStore& store, const MessageInfo& record,
                                 std::string_view rawText, const std::string& folderPath,
                                 const std::string& fileName);

// Updates index for store. progress is called now and then (from the calling
// thread); cancel, when set, stops after the message in hand and keeps the folders
// finished so far. Failures to read a folder or message are counted and reported
// through onError (where: the folder's path, with the message's offset when it is
// one message; the error as thrown), never thrown; a listed folder whose file is
// missing or cannot be read is such a failure and keeps its messages in the index; an index that cannot be written
// throws SearchIndexError.
using IndexErrorHandler =
    std::function<void(const std::string& where, const std::exception& error)>;
IndexReport updateSearchIndex(const MailStore& store, SearchIndex& index,
                              const std::function<void(const IndexProgress&)>& progress = {},
                              const std::atomic<bool>* cancel = nullptr,
                              const IndexErrorHandler& onError = {});

}  // namespace lumbrook
