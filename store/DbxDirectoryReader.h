#pragma once

// The store Outlook Express keeps: a directory of .dbx files, "folders.dbx" the
// folder list and one file per folder; or one folder file on its own, read as a
// store of that one folder. No store file is ever written, locked or repaired.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "platform/CodePage.h"
#include "store/StoreFile.h"
#include "store/StoreReader.h"

namespace lumbrook {

class DbxDirectoryReader final : public StoreReader {
  public:
    // The store in dir, its file names in codePage. An empty dir is the root
    // directory. With unreadable (why the directory could not be found), every read
    // that would open a file throws it instead.
    DbxDirectoryReader(std::string dir, CodePage codePage,
                       std::optional<LumbrookError> unreadable = std::nullopt);
    // The folder file fileName of dir as the store's one folder: the folder list and
    // the directory's other files are not looked at.
    struct LoneFile {
        std::string fileName;
    };
    DbxDirectoryReader(std::string dir, LoneFile file, CodePage codePage);

    // fileName is as the store holds it, in the store's code page; the disk it was
    // copied to may have the name in UTF-8, and in any case. So the directory entry
    // is, in this order: the name in UTF-8 as it is, the raw name as it is, then the
    // UTF-8 name and the raw name without regard to case (see findEntry). When none
    // is there: the directory and the UTF-8 name, the path an open then fails on and
    // names. An empty directory gives "/" + fileName. A name with a path in it, or
    // an entry that is a link out of the directory, throws OutsideStoreError here
    // and in every read.
    std::string filePath(const std::string& fileName) const override;
    FileType fileType(const std::string& fileName) const override;

    // readFolders: the folders the folder list names, then one "Unlisted: <file
    // name>" folder under the root folder for each folder file of the directory it
    // does not name. When the list cannot be opened or gives no folder, every folder
    // file of the directory, flat and named after its file, and folderListProblem
    // says why; with no folder file there either, the list's own failure (an empty
    // list, or what opening it threw).
    //
    // readMessages gives nothing for exactly "folders.dbx" (then no file is opened),
    // and readMessage nothing for a dataOffset <= 0 (neither). A file that cannot be
    // opened throws FileOpenError; a damaged file gives the records that could be
    // read.
    FolderList readFolders() const override;
    std::optional<FolderListProblem> folderListProblem() const override;
    MessageList readMessages(const std::string& fileName) const override;
    MessageText readMessage(const std::string& fileName, std::int32_t dataOffset) const override;

    // A data block is read for the first message whose chain reaches it; any later
    // message that runs into it is damaged, so the texts together never exceed the
    // file however its records point.
    std::unique_ptr<FolderTexts> openFolder(const std::string& fileName) const override;

  private:
    StoreFile open(const std::string& fileName) const;
    std::string locate(const std::string& fileName) const;
    void requirePlainName(const std::string& fileName) const;
    // The file to open for path, an entry of the directory: path itself, or for a
    // link the file it leads to.
    std::string pathToOpen(const std::string& path, const std::string& fileName) const;

    struct ListedFolders {
        FolderList folders;
        std::optional<FolderListProblem> problem;
        std::exception_ptr failure;  // what opening or reading the list threw
    };
    ListedFolders readFolderList() const;
    // The names of the directory's entries whose signature says folder file, in
    // byte order; never the store's other files, whatever their signature.
    std::vector<std::string> folderFilesOnDisk() const;

    std::string dir;
    CodePage page;
    std::optional<LumbrookError> unreadable;
    std::optional<std::string> loneFile;
};

}  // namespace lumbrook
