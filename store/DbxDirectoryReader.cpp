#include "store/DbxDirectoryReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <utility>
#include <vector>

#include "base/Ascii.h"
#include "base/ByteReader.h"
#include "base/Errors.h"
#include "platform/Files.h"
#include "store/DbxLayout.h"
#include "store/DbxReader.h"

namespace lumbrook {

namespace {

constexpr std::string_view FolderListName = "folders.dbx";

// The mail client's files that are no folder, whatever words open them.
bool isOtherStoreFile(std::string_view name) {
    for (std::string_view other : {FolderListName, std::string_view("offline.dbx"),
                                   std::string_view("pop3uidl.dbx")}) {
        if (equalsNoCase(name, other)) return true;
    }
    return false;
}

bool hasDbxSuffix(std::string_view name) {
    return name.size() > 4 && equalsNoCase(name.substr(name.size() - 4), ".dbx");
}

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

// True when name is no plain entry of a directory: a path, or one that climbs out.
bool namesAPath(std::string_view name) {
    return name == "." || name == ".." || name.find('/') != std::string_view::npos;
}

// Whether path is root or lies below it; both absolute and without "." or "..".
bool isWithin(const std::filesystem::path& path, const std::filesystem::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty() && std::next(r) == root.end()) break;  // root's trailing separator
        if (p == path.end() || *p != *r) return false;
    }
    return true;
}

}  // namespace

DbxDirectoryReader::DbxDirectoryReader(std::string dir, CodePage codePage,
                                       std::optional<LumbrookError> unreadable)
    : dir(std::move(dir)), page(std::move(codePage)), unreadable(std::move(unreadable)) {}

DbxDirectoryReader::DbxDirectoryReader(std::string dir, LoneFile file, CodePage codePage)
    : dir(std::move(dir)), page(std::move(codePage)), loneFile(std::move(file.fileName)) {}

// A backslash separates paths where the store was written; in a raw name of a
// double-byte code page it can be the second byte of a letter, so only the UTF-8
// name is looked at for it.
void DbxDirectoryReader::requirePlainName(const std::string& fileName) const {
    const std::string utf8 = page.toUtf8(fileName);
    if (namesAPath(fileName) || namesAPath(utf8) || utf8.find('\\') != std::string::npos) {
        throw OutsideStoreError(includeTrailingPathDelimiter(dir) + utf8, fileName);
    }
}

// Links that stay in the directory are kept (a store put together from copies);
// one that leads out, dangling or not, is refused.
std::string DbxDirectoryReader::pathToOpen(const std::string& path,
                                           const std::string& fileName) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root = fs::canonical(dir.empty() ? fs::path("/") : fs::path(dir), ec);
    fs::path target;
    if (!ec) target = fs::canonical(path, ec);
    if (ec) {
        ec.clear();
        const fs::path link = fs::read_symlink(path, ec);
        if (!ec) target = fs::weakly_canonical(fs::path(path).parent_path() / link, ec);
    }
    if (!ec && !root.empty() && isWithin(target, root)) return target.string();
    throw OutsideStoreError(path, fileName);
}

std::string DbxDirectoryReader::filePath(const std::string& fileName) const {
    const std::string path = locate(fileName);
    pathToOpen(path, fileName);
    return path;
}

std::string DbxDirectoryReader::locate(const std::string& fileName) const {
    if (unreadable) throw *unreadable;
    requirePlainName(fileName);
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
    requirePlainName(fileName);
    const bool ascii = std::all_of(fileName.begin(), fileName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!dir.empty() && ascii) {
        const std::string path = includeTrailingPathDelimiter(dir) + fileName;
        if (auto file = StoreFile::tryOpen(pathToOpen(path, fileName))) return std::move(*file);
    }
    const std::string path = locate(fileName);
    return StoreFile(pathToOpen(path, fileName));
}

DbxDirectoryReader::ListedFolders DbxDirectoryReader::readFolderList() const {
    ListedFolders listed;
    std::optional<StoreFile> file;
    try {
        file.emplace(open(std::string(FolderListName)));
    } catch (const FileOpenError&) {
        listed.problem = FolderListProblem{FolderListProblem::Kind::Missing,
                                           locate(std::string(FolderListName))};
        listed.failure = std::current_exception();
        return listed;
    }
    try {
        listed.folders = readFolderIndex(*file);
    } catch (const std::exception&) {
        listed.failure = std::current_exception();
    }
    if (listed.folders.empty()) {
        listed.problem = FolderListProblem{FolderListProblem::Kind::Unreadable,
                                           locate(std::string(FolderListName))};
    }
    return listed;
}

std::vector<std::string> DbxDirectoryReader::folderFilesOnDisk() const {
    std::vector<std::string> names;
    if (dir.empty()) return names;  // no store was found: the root directory is none
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!hasDbxSuffix(name) || isOtherStoreFile(name)) continue;
        // A file that cannot be read, or a link out of the store, is no folder of it.
        try {
            if (fileType(name) == FileType::FolderFile) names.push_back(std::move(name));
        } catch (const std::exception&) {
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

FolderList DbxDirectoryReader::readFolders() const {
    if (loneFile) {
        FolderInfo folder;
        folder.folderId = 0;
        folder.name = *loneFile;
        folder.fileName = *loneFile;
        return {folder};
    }
    if (unreadable) throw *unreadable;
    ListedFolders listed = readFolderList();
    const std::vector<std::string> onDisk = folderFilesOnDisk();
    if (listed.problem && onDisk.empty()) {
        if (listed.failure) std::rethrow_exception(listed.failure);
        return {};
    }
    FolderList folders = std::move(listed.folders);

    // The directory's entries the list names, as lookups without regard to case find them.
    std::vector<std::string> named;
    std::int32_t nextId = 0;
    for (const FolderInfo& folder : folders) {
        nextId = std::max(nextId, folder.folderId);
        if (folder.fileName.empty()) continue;
        try {
            const std::string path = locate(folder.fileName);
            named.push_back(path.substr(path.find_last_of(PathDelim) + 1));
        } catch (const std::exception&) {
        }
    }
    // Under the first folder whose parent the list does not hold, as the list's own
    // folders hang from it; flat when there is none.
    std::int32_t rootId = -1;
    for (const FolderInfo& folder : folders) {
        const bool hasParent = std::any_of(folders.begin(), folders.end(), [&](const FolderInfo& f) {
            return &f != &folder && f.folderId == folder.parentId;
        });
        if (!hasParent) {
            rootId = folder.folderId;
            break;
        }
    }
    for (const std::string& name : onDisk) {
        if (std::find(named.begin(), named.end(), name) != named.end()) continue;
        FolderInfo folder;
        folder.folderId = nextId < INT32_MAX ? ++nextId : nextId;
        folder.parentId = listed.problem ? -1 : rootId;
        folder.name = listed.problem ? name : "Unlisted: " + name;
        folder.fileName = name;
        folder.unlisted = true;
        folders.push_back(std::move(folder));
    }
    return folders;
}

std::optional<FolderListProblem> DbxDirectoryReader::folderListProblem() const {
    if (loneFile || unreadable) return std::nullopt;
    // What the list cannot give, readFolders reports itself.
    try {
        ListedFolders listed = readFolderList();
        if (!listed.problem || folderFilesOnDisk().empty()) return std::nullopt;
        return listed.problem;
    } catch (const std::exception&) {
        return std::nullopt;
    }
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
