#pragma once

// One mail store: what the user named, the code page its texts are written in and
// the reader for its kind, all settled when the store is opened. Only reads: no
// store file is ever written, locked or repaired. A value; copies are cheap and
// share the reader and the code page's converter.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Errors.h"
#include "platform/CodePage.h"
#include "store/StoreReader.h"

// Not needed here: callers reach the file time conversion and StoreFile (what the
// recovery scan reads) through this header.
#include "store/DbxReader.h"
#include "store/StoreFile.h"

namespace lumbrook {

class MailStore;

// The store at path (the programs' optional argument, "--store DIR"), else the one
// the current user's registry names, read once, here; its texts in codePage. The
// one place that tells the kinds of store apart: a file whose signature says
// folder file is a store of that one folder, every other path is read as a
// directory of .dbx files, so a path that is no store opens and fails on its first
// read, naming the file it missed. A registry that cannot be read as the mail
// client reads it (a Store Root that is no text) is not reported here but by every
// read of the store, with the registry's error.
MailStore openStore(std::optional<std::string> path,
                    CodePage codePage = CodePage::fromEnvironment());

// How a store's code page was settled when nothing named one: the SYSTEM hive of
// the Windows installation the store lies in, the code page under which the folder
// list's file names are the names on disk, the charsets its messages declare, or
// none of these (Windows-1252).
enum class CodePageSource { Registry, FolderFileNames, MessageCharsets, Default };
struct DetectedCodePage {
    CodePage page;
    CodePageSource source = CodePageSource::Default;
};
// Looks at the store in dir (a directory of .dbx files) and above it; reads only.
DetectedCodePage detectStoreCodePage(const std::string& dir);

// openStore with the code page settled as the user expects: chosen (--codepage,
// the window's Text encoding) when given, else LUMBROOK_CODEPAGE when set (one
// iconv does not know gives Windows-1252), else the one detected from the store.
MailStore openStoreDetectingCodePage(std::optional<std::string> path,
                                     std::optional<CodePage> chosen = std::nullopt);

class MailStore {
  public:
    // The same as openStore(path, codePage). An empty path is the root directory.
    explicit MailStore(std::string path, CodePage codePage = CodePage::fromEnvironment());

    // The path the store was opened with (the registry's, when none was given).
    const std::string& directory() const { return dir; }
    const CodePage& codePage() const { return page; }

    // False when openStore was given no path and the registry named none: then the
    // directory is empty and store files are looked for in the root directory.
    bool found() const { return located; }

    // See StoreReader. Full path of a store file, fileName as the store holds it.
    std::string filePath(const std::string& fileName) const { return reader->filePath(fileName); }

    using FileType = StoreReader::FileType;
    FileType fileType(const std::string& fileName) const { return reader->fileType(fileName); }

    // The folder list, and the messages of a folder in the store's order. A file
    // that cannot be opened throws FileOpenError; a damaged file gives the records
    // that could be read.
    FolderList readFolders() const { return reader->readFolders(); }
    // Set when the folders are the directory's folder files because the folder list
    // is missing or unreadable: the user is told, once, where the store is shown.
    std::optional<FolderListProblem> folderListProblem() const {
        return reader->folderListProblem();
    }
    MessageList readMessages(const std::string& fileName) const {
        return reader->readMessages(fileName);
    }

    // The raw text of the message whose first data block lies at dataOffset, as
    // stored. Empty when dataOffset <= 0 (then no file is opened). A file that
    // cannot be opened throws FileOpenError.
    std::string readMessageText(const std::string& fileName, std::int32_t dataOffset) const {
        return readMessage(fileName, dataOffset).text;
    }
    // The same with whether the text is whole. One message on its own: blocks other
    // messages hold are not known here (a FolderReader knows those).
    MessageText readMessage(const std::string& fileName, std::int32_t dataOffset) const {
        return reader->readMessage(fileName, dataOffset);
    }

    // One of the store's 8-bit texts (a name, a subject) as UTF-8.
    std::string toUtf8(std::string_view text) const { return page.toUtf8(text); }

  private:
    MailStore(std::string dir, CodePage codePage, std::shared_ptr<const StoreReader> reader,
              bool located);
    friend MailStore openStore(std::optional<std::string> path, CodePage codePage);
    friend class FolderReader;

    std::string dir;
    CodePage page;
    std::shared_ptr<const StoreReader> reader;
    bool located = true;
};

// Reads the texts of one folder's messages, one after the other, from one open
// file: the way to read a folder (save, export, print). A block of the file goes to
// the first message that reaches it, so the texts together never exceed the file
// however its records point (read in the folder's order for the same result every
// time).
class FolderReader {
  public:
    // Opens the folder; throws FileOpenError when it cannot be opened.
    FolderReader(const MailStore& store, const std::string& fileName);
    // expectedSize: the record's size of the text (MessageInfo::entry91), when
    // known; it only sizes the reads.
    MessageText read(std::int32_t dataOffset, std::uint32_t expectedSize = 0) {
        return texts->read(dataOffset, expectedSize);
    }

  private:
    std::unique_ptr<StoreReader::FolderTexts> texts;
};

}  // namespace lumbrook
