#include "convert/DirectorySink.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace lumbrook {

namespace {

std::string withoutTrailingSlashes(std::string outDir) {
    while (outDir.size() > 1 && outDir.back() == '/') outDir.pop_back();
    return outDir;
}

constexpr std::string_view LocalFoldersAtTop = "local-folders-at-top";

DestinationDirectory openOutputDirectory(const std::string& outDir) {
    try {
        return DestinationDirectory::openRoot(outDir);
    } catch (const LumbrookError& e) {
        const int error = errno;
        std::string text = "Cannot create the output directory " + outDir;
        if (dynamic_cast<const LinkInDestinationError*>(&e)) text = destinationErrorText(e);
        else if (error != 0) text.append(": ").append(std::strerror(error));
        throw ConvertError(text);
    }
}

}  // namespace

DirectorySink::DirectorySink(std::string outDir, MailboxFormat format,
                             const MailboxOptions& options, SiblingNames topNames)
    : outDir(withoutTrailingSlashes(std::move(outDir))),
      root(openOutputDirectory(this->outDir)),
      format(format),
      options(options),
      manifest(root, options.syncFiles) {
    folders.push_back(Folder{std::string(), std::move(topNames)});
    root.removeStaleTemporaries();
    // A destination goes on in the layout it was begun with. The record knows a
    // message by where it came from, not by its path, so a destination an older
    // version began (a record with lines but no layout) would otherwise get a
    // second tree beside its "Outlook Express/Local Folders" one, with the new
    // messages of a folder in one and the old in the other. A new destination (a
    // record with nothing in it, or lost) gets the layout mail programs' imports
    // expect, OUT/Inbox the Inbox, and says so before the first folder is made.
    if (manifest.layout())
        storeLevelsAsFolders = false;
    else if (manifest.holdsAnything())
        storeLevelsAsFolders = true;
    else
        manifest.recordLayout(LocalFoldersAtTop);
}

std::string DirectorySink::absolute(const std::string& relative) const {
    return outDir + "/" + relative;
}

const DestinationDirectory& DirectorySink::directory(const std::string& relative) {
    if (relative.empty()) return root;
    std::lock_guard lock(directoriesGuard);
    // Walked from the output directory one name at a time, each opened relative to
    // the one before, so that no link on the way is followed.
    const DestinationDirectory* current = &root;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t slash = relative.find('/', start);
        const std::size_t end = slash == std::string::npos ? relative.size() : slash;
        const std::string prefix = relative.substr(0, end);
        auto& slot = directories[prefix];
        if (!slot) {
            try {
                slot = std::make_unique<DestinationDirectory>(
                    current->subdirectory(relative.substr(start, end - start)));
            } catch (const LumbrookError& e) {
                directories.erase(prefix);
                throw ConvertError(destinationErrorText(e));
            }
            // Temporary files of a run killed here are of no use to anyone.
            slot->removeStaleTemporaries();
        }
        current = slot.get();
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return *current;
}

MailboxSink::FolderId DirectorySink::openFolder(FolderId parent, std::string_view utf8DisplayName) {
    if (parent >= folders.size()) throw ConvertError("No such output folder");
    // A name taken by a file not ours gives way to the next one, "Inbox (2)": the
    // bound only stops a destination filled with such files on purpose.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = folders[parent].children.take(utf8DisplayName);
        std::optional<std::string> path = makeFolder(folders[parent].path, name);
        if (!path) continue;
        folders.push_back(Folder{std::move(*path), subfolderNames()});
        return folders.size() - 1;
    }
    throw ConvertError("No free name for the folder " + std::string(utf8DisplayName));
}

const std::string& DirectorySink::folderPath(FolderId folder) const {
    if (folder >= folders.size()) throw ConvertError("No such output folder");
    return folders[folder].path;
}

const std::string* DirectorySink::messageFolderPath(FolderId folder) const {
    return folder == Root || folder >= folders.size() ? nullptr : &folders[folder].path;
}

ConvertOutcome DirectorySink::addMessage(FolderId folder, const MailboxMessage& message,
                                         const std::string& prepared) {
    const std::string* path = messageFolderPath(folder);
    if (!path) {
        dropPrepared(prepared);
        throw ConvertError("A message needs an output folder");
    }
    if (recorded(message)) {
        dropPrepared(prepared);
        return ConvertOutcome::AlreadyThere;
    }
    return addNew(*path, message, prepared);
}

bool DirectorySink::recorded(const MailboxMessage& message) const {
    return manifest.contains(format, message.folderFile, message.dataOffset, message.raw.size());
}

void DirectorySink::recordMessage(const MailboxMessage& message, std::string_view path,
                                  std::optional<std::uint64_t> mboxEnd) {
    manifest.recordMessage(format, message.folderFile, message.dataOffset, message.raw.size(),
                           path, mboxEnd);
}

void DirectorySink::finish() {
    manifest.flush();
}

}  // namespace lumbrook
