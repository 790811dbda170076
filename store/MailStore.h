#pragma once

// One Outlook Express store: the directory of its .dbx files and the code page its
// texts are written in, both settled when the store is made. Only reads: no store
// file is ever written, locked or repaired. A value; copies are cheap and share
// the code page's converter.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Errors.h"
#include "platform/CodePage.h"
#include "store/DbxReader.h"
#include "store/StoreFile.h"

namespace lumbrook {

class MailStore {
  public:
    // The store in dir (the programs' optional argument, "--store DIR"), else the
    // one the current user's registry names, read once, here. The code page is
    // LUMBROOK_CODEPAGE's. A registry that cannot be read as the mail client reads
    // it (a Store Root that is no text) is not reported here but by every read
    // of the store, with the registry's error.
    static MailStore locate(std::optional<std::string> dir);

    // The store in dir, its texts in codePage. An empty dir is the root directory.
    explicit MailStore(std::string dir, CodePage codePage = CodePage::fromEnvironment());

    const std::string& directory() const { return dir; }
    const CodePage& codePage() const { return page; }

    // False when locate was given no directory and the registry named none: then
    // the directory is empty and store files are looked for in the root directory.
    bool found() const { return located; }

    // Full path of a store file. fileName is as the store holds it, in the store's
    // code page; the disk it was copied to may have the name in UTF-8, and in any
    // case. So the directory entry is, in this order: the name in UTF-8 as it is,
    // the raw name as it is, then the UTF-8 name and the raw name without regard to
    // case (see findEntry). When none is there: the directory and the UTF-8 name,
    // the path an open then fails on and names. An empty directory gives "/" +
    // fileName.
    std::string filePath(const std::string& fileName) const;

    // What a store file is, by the words that open it.
    enum class FileType { FolderFile, FolderList, Other };
    FileType fileType(const std::string& fileName) const;

    // The folder list of "folders.dbx", and the message index of a folder file in
    // walk order. readMessages gives nothing for exactly "folders.dbx" (then no file
    // is opened). A file that cannot be opened throws FileOpenError; a damaged file
    // gives the records that could be read.
    FolderList readFolders() const;
    MessageList readMessages(const std::string& fileName) const;

    // The raw text of the message whose first data block lies at dataOffset, as
    // stored. Empty when dataOffset <= 0 (then no file is opened). A file that
    // cannot be opened throws FileOpenError.
    std::string readMessageText(const std::string& fileName, std::int32_t dataOffset) const;
    // The same with whether the text is whole (see readMessage in DbxReader.h). One
    // message on its own: blocks other messages hold are not known here (a
    // FolderReader knows those).
    MessageText readMessage(const std::string& fileName, std::int32_t dataOffset) const;

    // One of the store's 8-bit texts (a name, a subject) as UTF-8.
    std::string toUtf8(std::string_view text) const { return page.toUtf8(text); }

  private:
    StoreFile open(const std::string& fileName) const;

    std::string dir;
    CodePage page;
    std::optional<LumbrookError> locateError;  // why the registry could not be read, if so
    bool located = true;
    friend class FolderReader;
};

// Reads the texts of one folder's messages, one after the other, from one open
// file: the way to read a folder (save, export, print). A data block is read for
// the first message whose chain reaches it; any later message that runs into it
// is damaged, so the texts together never exceed the file however its records
// point (read in the folder's order for the same result every time).
class FolderReader {
  public:
    // Opens the folder file; throws FileOpenError when it cannot be opened.
    FolderReader(const MailStore& store, const std::string& fileName);
    // expectedSize: the record's size of the text (entry 0x91), when known; it only
    // sizes the reads.
    MessageText read(std::int32_t dataOffset, std::uint32_t expectedSize = 0);

  private:
    StoreFile file;
    BlockClaims claims;
    ChainWindow window;
};

}  // namespace lumbrook
