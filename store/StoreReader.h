#pragma once

// What the program reads a mail store through, whatever kind of store it is: its
// folders, a folder's messages and their texts. One implementation per kind of
// store (DbxDirectoryReader: a directory of .dbx files); openStore
// (store/MailStore.h) picks it, and nothing else knows which one it is. A folder is
// named by its FolderInfo::fileName, a message by its MessageInfo::dataOffset.
// Only reads; a reader is shared by the copies of a store, so every call is const
// and keeps nothing between calls.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/Errors.h"
#include "store/StoreRecords.h"

namespace lumbrook {

// A store file whose name leads outside the store's directory: a name with a path
// in it ("../private/Inbox.dbx", "/etc/passwd", "a\\b.dbx") or a link in the
// directory whose target lies elsewhere. The folder list is data like any other, so
// whoever could write it must not get the program to read (convert, index, show)
// a file the store does not hold. Nothing of such a file is read.
class OutsideStoreError : public LumbrookError {
  public:
    // path: the store directory and the name, or the link.
    OutsideStoreError(std::string path, std::string fileName)
        : LumbrookError(ErrorKind::OutsideStore, std::move(path)), name(std::move(fileName)) {}
    // The name as the store gave it.
    const std::string& fileName() const { return name; }

  private:
    std::string name;
};

// Why a store's folders are the folder files found in its directory, not the ones
// its folder list names.
struct FolderListProblem {
    enum class Kind {
        Missing,     // the folder list could not be opened
        Unreadable,  // it was opened, but gave no folder (cut, damaged, not a folder list)
    };
    Kind kind = Kind::Missing;
    std::string path;  // the folder list as it was looked for
};

class StoreReader {
  public:
    virtual ~StoreReader() = default;

    // Full path of one of the store's files: the path the recovery scan reads and
    // messages name. Every call that names a file throws OutsideStoreError for a
    // name that leads outside the store.
    virtual std::string filePath(const std::string& fileName) const = 0;

    // What one of the store's files is, by the words that open it.
    enum class FileType { FolderFile, FolderList, Other };
    virtual FileType fileType(const std::string& fileName) const = 0;

    // The folders: those the folder list names and, after them, the folder files it
    // does not name; without a usable list every folder file, flat.
    virtual FolderList readFolders() const = 0;
    // Set when readFolders had to do without the folder list.
    virtual std::optional<FolderListProblem> folderListProblem() const = 0;
    virtual MessageList readMessages(const std::string& fileName) const = 0;
    // One message on its own: what other messages of the folder hold is not known.
    // A dataOffset <= 0 (a record without text) gives an empty text.
    virtual MessageText readMessage(const std::string& fileName, std::int32_t dataOffset) const = 0;

    // The texts of one folder's messages, read one after the other from one open
    // folder; expectedSize (MessageInfo::entry91, 0 when not known) only sizes the
    // reads.
    class FolderTexts {
      public:
        virtual ~FolderTexts() = default;
        virtual MessageText read(std::int32_t dataOffset, std::uint32_t expectedSize) = 0;
    };
    virtual std::unique_ptr<FolderTexts> openFolder(const std::string& fileName) const = 0;
};

}  // namespace lumbrook
