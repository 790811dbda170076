#include "store/DbxStore.h"

#include <utility>

#include "base/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/StoreRoot.h"

namespace lumbrook {

namespace {
constexpr std::string_view FolderListName = "folders.dbx";
}  // namespace

DbxStore::DbxStore(std::string dir, CodePage codePage)
    : dir(std::move(dir)), page(std::move(codePage)) {}

DbxStore DbxStore::locate(std::optional<std::string> dir) {
    if (dir) return DbxStore(std::move(*dir));
    CodePage codePage = CodePage::fromEnvironment();
    try {
        std::string root = lookupStoreRoot(RegistryFile::loadCurrentUser(codePage));
        return DbxStore(std::move(root), std::move(codePage));
    } catch (const LumbrookError& e) {
        DbxStore store(std::string(), std::move(codePage));
        store.locateError = e.what();
        return store;
    }
}

std::string DbxStore::filePath(const std::string& fileName) const {
    if (!locateError.empty()) throw LumbrookError(locateError);
    if (dir.empty()) return std::string(1, PathDelim) + fileName;
    return findFileNoCase(dir, fileName);
}

// The name as asked for is tried first; only when that fails is the directory
// searched for a name that matches without regard to case (the same result as
// opening filePath, one directory scan fewer in the usual case).
StoreFile DbxStore::open(const std::string& fileName) const {
    if (!locateError.empty()) throw LumbrookError(locateError);
    if (!dir.empty()) {
        if (auto file = StoreFile::tryOpen(includeTrailingPathDelimiter(dir) + fileName))
            return std::move(*file);
    }
    return StoreFile(filePath(fileName));
}

FolderList DbxStore::readFolders() const {
    return readFolderIndex(open(std::string(FolderListName)));
}

MessageList DbxStore::readMessages(const std::string& fileName) const {
    if (fileName == FolderListName) return {};
    return readMessageIndex(open(fileName));
}

std::string DbxStore::readMessageText(const std::string& fileName, std::int32_t dataOffset) const {
    if (dataOffset <= 0) return {};
    return readMessageChain(open(fileName), dataOffset);
}

}  // namespace lumbrook
