#include "convert/DirectorySink.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>

namespace lumbrook {

namespace {

std::string makeOutputDirectory(std::string outDir) {
    while (outDir.size() > 1 && outDir.back() == '/') outDir.pop_back();
    if (::mkdir(outDir.c_str(), 0755) != 0 && errno != EEXIST)
        throw ConvertError(systemErrorText("Cannot create the output directory", outDir));
    return outDir;
}

}  // namespace

DirectorySink::DirectorySink(std::string outDir, MailboxFormat format,
                             const MailboxOptions& options, SiblingNames topNames)
    : outDir(makeOutputDirectory(std::move(outDir))),
      format(format),
      options(options),
      manifest(this->outDir, options.syncFiles) {
    folders.push_back(Folder{std::string(), std::move(topNames)});
}

std::string DirectorySink::absolute(const std::string& relative) const {
    return outDir + "/" + relative;
}

void DirectorySink::makeDirectory(const std::string& relative) {
    const std::string path = absolute(relative);
    if (::mkdir(path.c_str(), 0755) == 0) return;
    struct stat st;
    if (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    if (errno == EEXIST) throw ConvertError("Cannot create the directory " + path + ": a file is in the way");
    throw ConvertError(systemErrorText("Cannot create the directory", path));
}

MailboxSink::FolderId DirectorySink::openFolder(FolderId parent, std::string_view utf8DisplayName) {
    if (parent >= folders.size()) throw ConvertError("No such output folder");
    const std::string name = folders[parent].children.take(utf8DisplayName);
    std::string path = makeFolder(folders[parent].path, name);
    folders.push_back(Folder{std::move(path), subfolderNames()});
    return folders.size() - 1;
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
