#include "store/MailStore.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/ByteReader.h"
#include "base/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/StoreRoot.h"
#include "store/DbxLayout.h"

namespace lumbrook {

namespace {
constexpr std::string_view FolderListName = "folders.dbx";
}  // namespace

MailStore::MailStore(std::string dir, CodePage codePage)
    : dir(std::move(dir)), page(std::move(codePage)) {}

MailStore MailStore::locate(std::optional<std::string> dir) {
    if (dir) return MailStore(std::move(*dir));
    CodePage codePage = CodePage::fromEnvironment();
    try {
        std::string root = lookupStoreRoot(RegistryFile::loadCurrentUser(codePage));
        MailStore store(std::move(root), std::move(codePage));
        store.located = !store.dir.empty();
        return store;
    } catch (const LumbrookError& e) {
        MailStore store(std::string(), std::move(codePage));
        store.locateError = e;
        return store;
    }
}

std::string MailStore::filePath(const std::string& fileName) const {
    if (locateError) throw *locateError;
    if (dir.empty()) return std::string(1, PathDelim) + fileName;
    std::string utf8 = page.toUtf8(fileName);
    std::vector<std::string> names{utf8};
    if (utf8 != fileName) names.push_back(fileName);
    const std::string base = includeTrailingPathDelimiter(dir);
    if (auto entry = findEntry(dir, names)) return base + *entry;
    return base + utf8;
}

MailStore::FileType MailStore::fileType(const std::string& fileName) const {
    const StoreFile file = open(fileName);
    std::uint8_t head[8] = {};
    if (file.readAt(0, head, sizeof head) != sizeof head) return FileType::Other;
    const ByteReader words(head, sizeof head);
    if (*words.u32At(dbx::SignatureAt) != dbx::Signature) return FileType::Other;
    const std::uint32_t kind = *words.u32At(dbx::FileKindAt);
    if (kind == dbx::MessageFileKind) return FileType::FolderFile;
    if (kind == dbx::FolderFileKind) return FileType::FolderList;
    return FileType::Other;
}

// The name as asked for is tried first; only when that fails is the directory
// searched (the same result as opening filePath, one directory scan fewer in the
// usual case of an ASCII name that is there as it is written).
StoreFile MailStore::open(const std::string& fileName) const {
    if (locateError) throw *locateError;
    const bool ascii = std::all_of(fileName.begin(), fileName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!dir.empty() && ascii) {
        if (auto file = StoreFile::tryOpen(includeTrailingPathDelimiter(dir) + fileName))
            return std::move(*file);
    }
    return StoreFile(filePath(fileName));
}

FolderList MailStore::readFolders() const {
    return readFolderIndex(open(std::string(FolderListName)));
}

MessageList MailStore::readMessages(const std::string& fileName) const {
    if (fileName == FolderListName) return {};
    return readMessageIndex(open(fileName));
}

std::string MailStore::readMessageText(const std::string& fileName, std::int32_t dataOffset) const {
    if (dataOffset <= 0) return {};
    return readMessageChain(open(fileName), dataOffset);
}

MessageText MailStore::readMessage(const std::string& fileName, std::int32_t dataOffset) const {
    if (dataOffset <= 0) return {};
    return lumbrook::readMessage(open(fileName), dataOffset);
}

FolderReader::FolderReader(const MailStore& store, const std::string& fileName)
    : file(store.open(fileName)) {}

MessageText FolderReader::read(std::int32_t dataOffset, std::uint32_t expectedSize) {
    return readMessage(file, dataOffset, &claims, &window, expectedSize);
}

}  // namespace lumbrook
