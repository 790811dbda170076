#include "store/DbxDirectoryReader.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/ByteReader.h"
#include "base/Errors.h"
#include "platform/Files.h"
#include "store/DbxLayout.h"
#include "store/DbxReader.h"

namespace lumbrook {

namespace {

constexpr std::string_view FolderListName = "folders.dbx";

class DbxFolderTexts final : public StoreReader::FolderTexts {
  public:
    explicit DbxFolderTexts(StoreFile file) : file(std::move(file)) {}
    MessageText read(std::int32_t dataOffset, std::uint32_t expectedSize) override {
        return readMessage(file, dataOffset, &claims, &window, expectedSize);
    }

  private:
    StoreFile file;
    BlockClaims claims;
    ChainWindow window;
};

}  // namespace

DbxDirectoryReader::DbxDirectoryReader(std::string dir, CodePage codePage,
                                       std::optional<LumbrookError> unreadable)
    : dir(std::move(dir)), page(std::move(codePage)), unreadable(std::move(unreadable)) {}

std::string DbxDirectoryReader::filePath(const std::string& fileName) const {
    if (unreadable) throw *unreadable;
    if (dir.empty()) return std::string(1, PathDelim) + fileName;
    std::string utf8 = page.toUtf8(fileName);
    std::vector<std::string> names{utf8};
    if (utf8 != fileName) names.push_back(fileName);
    const std::string base = includeTrailingPathDelimiter(dir);
    if (auto entry = findEntry(dir, names)) return base + *entry;
    return base + utf8;
}

StoreReader::FileType DbxDirectoryReader::fileType(const std::string& fileName) const {
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
StoreFile DbxDirectoryReader::open(const std::string& fileName) const {
    if (unreadable) throw *unreadable;
    const bool ascii = std::all_of(fileName.begin(), fileName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!dir.empty() && ascii) {
        if (auto file = StoreFile::tryOpen(includeTrailingPathDelimiter(dir) + fileName))
            return std::move(*file);
    }
    return StoreFile(filePath(fileName));
}

FolderList DbxDirectoryReader::readFolders() const {
    return readFolderIndex(open(std::string(FolderListName)));
}

MessageList DbxDirectoryReader::readMessages(const std::string& fileName) const {
    if (fileName == FolderListName) return {};
    return readMessageIndex(open(fileName));
}

MessageText DbxDirectoryReader::readMessage(const std::string& fileName,
                                            std::int32_t dataOffset) const {
    if (dataOffset <= 0) return {};
    return lumbrook::readMessage(open(fileName), dataOffset);
}

std::unique_ptr<StoreReader::FolderTexts> DbxDirectoryReader::openFolder(
    const std::string& fileName) const {
    return std::make_unique<DbxFolderTexts>(open(fileName));
}

}  // namespace lumbrook
