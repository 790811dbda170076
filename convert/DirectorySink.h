#pragma once

// What the sinks that write into a directory on disk share: the output directory,
// its conversion record, and the folder tree with names every file system takes.
// A sink of this kind says how a folder is made and how a new message is added.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/MailboxManifest.h"
#include "convert/MailboxNaming.h"
#include "convert/MailboxSink.h"
#include "platform/DestinationDirectory.h"

namespace lumbrook {

class DirectorySink : public MailboxSink {
public:
    FolderId openFolder(FolderId parent, std::string_view utf8DisplayName) override;
    const std::string& folderPath(FolderId folder) const override;
    ConvertOutcome addMessage(FolderId folder, const MailboxMessage& message,
                              const std::string& prepared) override;
    void closeFolder(FolderId) override {}
    bool writesStoreLevels() const override { return storeLevelsAsFolders; }
    bool recorded(const MailboxMessage& message) const override;
    std::size_t ignoredRecordLines() const override { return manifest.ignoredLines(); }
    void finish() override;

protected:
    // Creates outDir (and its missing parents) when missing and reads its record,
    // whose lines name format.
    // topNames hands out the names of the top folders.
    DirectorySink(std::string outDir, MailboxFormat format, const MailboxOptions& options,
                  SiblingNames topNames);

    // Makes the folder called name under the one at parentPath ("" at the top) and
    // returns its path, both relative to the output directory; none when the name
    // is taken by something that is not ours to write into (the next name is tried).
    virtual std::optional<std::string> makeFolder(const std::string& parentPath,
                                                  const std::string& name) = 0;
    // The names of a folder's subfolders.
    virtual SiblingNames subfolderNames() const = 0;
    // Adds a message the record does not have to the folder at folderPath.
    virtual ConvertOutcome addNew(const std::string& folderPath, const MailboxMessage& message,
                                  const std::string& prepared) = 0;

    // The path of a folder that takes messages; none for Root and unknown ids.
    const std::string* messageFolderPath(FolderId folder) const;
    std::string absolute(const std::string& relative) const;
    // The directory at relative ("" for the output directory), made when missing,
    // never reached through a link (ConvertError naming it); held open for the run.
    // May be called from the write-ahead thread.
    const DestinationDirectory& directory(const std::string& relative);
    void makeDirectory(const std::string& relative) { directory(relative); }
    // The record line for a message now in place at path (relative); mboxEnd: the
    // size of an mbox file that ends with it.
    void recordMessage(const MailboxMessage& message, std::string_view path,
                       std::optional<std::uint64_t> mboxEnd);

private:
    struct Folder {
        std::string path;
        SiblingNames children;
    };
    // Made before the record that lives in it.
    const std::string outDir;
    DestinationDirectory root;
    const MailboxFormat format;
    std::mutex directoriesGuard;
    std::map<std::string, std::unique_ptr<DestinationDirectory>> directories;

protected:
    const MailboxOptions options;
    ConvertManifest manifest;

private:
    bool storeLevelsAsFolders = false;
    std::vector<Folder> folders;
};

}  // namespace lumbrook
