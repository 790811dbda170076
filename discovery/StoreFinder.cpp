#include "discovery/StoreFinder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "base/Ascii.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Hive.h"
#include "store/DbxLayout.h"
#include "store/DbxReader.h"
#include "store/MailStore.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {

namespace fs = std::filesystem;

// Deeper than any profile's store root; a deeper tree is a loop of bind mounts or
// nothing a user made.
constexpr int MaxScanDepth = 64;
constexpr auto ProgressInterval = std::chrono::milliseconds(100);

// Directories that hold the system's own files by the hundred thousand and never a
// user's mail.
constexpr std::array<std::string_view, 5> SkippedDirectories = {
    "WinSxS", "System Volume Information", "$WinREAgent", "assembly", "Installer"};

// Files whose kind is plain from their name and that no one names a mail store:
// their first bytes are not worth a read, which on a cold disk costs a seek each.
constexpr std::array<std::string_view, 48> SkippedExtensions = {
    "dll", "exe",  "sys", "ocx", "cpl", "drv", "mui", "cat",  "manifest", "cab", "msi",  "msp",
    "jpg", "jpeg", "png", "gif", "bmp", "ico", "tif", "tiff", "mp3",      "wav", "wma",  "wmv",
    "avi", "mp4",  "mkv", "mov", "mpg", "zip", "rar", "7z",   "gz",       "iso", "pdf",  "ttf",
    "fon", "otf",  "chm", "hlp", "inf", "ini", "log", "txt",  "xml",      "htm", "html", "css"};

// Filesystems of the running system that hold no files of a disk.
bool isPseudoFilesystem(const std::string& dir) {
    struct statfs info {};
    if (::statfs(dir.c_str(), &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0x9fa0:      // proc
        case 0x62656572:  // sysfs
        case 0x1cd1:      // devpts
        case 0x27e0eb:    // cgroup
        case 0x63677270:  // cgroup2
        case 0x64626720:  // debugfs
        case 0x74726163:  // tracefs
        case 0x73636673:  // securityfs
            return true;
        default:
            return false;
    }
}

bool hasSkippedExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view ext = name.substr(dot + 1);
    return std::any_of(SkippedExtensions.begin(), SkippedExtensions.end(),
                       [&](std::string_view e) { return equalsNoCase(e, ext); });
}

std::uint32_t u32At(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

enum class StoreFileKind { None, FolderList, FolderFile };

// By the sixteen bytes that open every .dbx file, never by the name.
StoreFileKind storeFileKind(int dirFd, const char* name, std::uint64_t& size) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return StoreFileKind::None;
    unsigned char head[16];
    StoreFileKind kind = StoreFileKind::None;
    struct stat st {};
    if (::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
        u32At(head + dbx::SignatureAt) == dbx::Signature &&
        std::memcmp(head + dbx::ClassIdTailAt, dbx::ClassIdTail.data(), dbx::ClassIdTail.size()) ==
            0 &&
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const std::uint32_t fileKind = u32At(head + dbx::FileKindAt);
        if (fileKind == dbx::FolderFileKind) kind = StoreFileKind::FolderList;
        if (fileKind == dbx::MessageFileKind) kind = StoreFileKind::FolderFile;
        size = static_cast<std::uint64_t>(st.st_size);
    }
    ::close(fd);
    return kind;
}

struct ScannedStore {
    std::size_t folderFiles = 0;
    std::uint64_t bytes = 0;
    std::vector<std::string> folderFileNames;
};

struct ScanResult {
    std::map<std::string, ScannedStore> stores;  // by directory
    std::vector<std::string> profiles;           // directories holding NTUSER.DAT
    bool cancelled = false;
};

class TreeScan {
  public:
    TreeScan(const std::function<void(const FindProgress&)>& progress,
             const std::atomic<bool>* cancel)
        : progress(progress), cancel(cancel) {}

    void scan(const std::string& root, ScanResult& result) {
        struct Pending {
            std::string path;
            int depth;
            dev_t parentDevice;
        };
        std::vector<Pending> pending{{root, 0, 0}};
        while (!pending.empty()) {
            if (cancel && cancel->load()) {
                result.cancelled = true;
                return;
            }
            Pending at = std::move(pending.back());
            pending.pop_back();
            const int dirFd =
                ::open(at.path.c_str(),
                       // The root as the user named it, a link too; below it no link.
                       O_RDONLY | O_DIRECTORY | O_CLOEXEC | (at.depth > 0 ? O_NOFOLLOW : 0));
            if (dirFd < 0) continue;
            struct stat st {};
            if (::fstat(dirFd, &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second ||
                (st.st_dev != at.parentDevice && isPseudoFilesystem(at.path))) {
                ::close(dirFd);
                continue;
            }
            DIR* dir = ::fdopendir(dirFd);
            if (!dir) {
                ::close(dirFd);
                continue;
            }
            ++state.directories;
            state.directory = at.path;
            ScannedStore here;
            const std::string base = includeTrailingPathDelimiter(at.path);
            while (const dirent* entry = ::readdir(dir)) {
                const char* name = entry->d_name;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
                unsigned char type = entry->d_type;
                if (type == DT_UNKNOWN) {
                    struct stat est {};
                    if (::fstatat(dirFd, name, &est, AT_SYMLINK_NOFOLLOW) != 0) continue;
                    type = S_ISDIR(est.st_mode) ? DT_DIR : S_ISREG(est.st_mode) ? DT_REG : DT_LNK;
                }
                if (type == DT_DIR) {
                    const bool skipped =
                        std::any_of(SkippedDirectories.begin(), SkippedDirectories.end(),
                                    [&](std::string_view s) { return equalsNoCase(s, name); });
                    if (!skipped && at.depth < MaxScanDepth)
                        pending.push_back({base + name, at.depth + 1, st.st_dev});
                    continue;
                }
                if (type != DT_REG) continue;  // links are never followed
                ++state.files;
                if (equalsNoCase(name, "NTUSER.DAT")) result.profiles.push_back(at.path);
                if (hasSkippedExtension(name)) continue;
                std::uint64_t size = 0;
                const StoreFileKind kind = storeFileKind(dirFd, name, size);
                if (kind == StoreFileKind::None) continue;
                here.bytes += size;
                if (kind == StoreFileKind::FolderFile) {
                    ++here.folderFiles;
                    here.folderFileNames.push_back(name);
                }
                if (here.bytes == size) ++state.storesFound;  // the directory's first
            }
            ::closedir(dir);
            if (here.bytes > 0) result.stores.emplace(at.path, std::move(here));
            report();
        }
        report(true);
    }

  private:
    void report(bool always = false) {
        if (!progress) return;
        const auto now = std::chrono::steady_clock::now();
        if (!always && now - lastReport < ProgressInterval) return;
        lastReport = now;
        progress(state);
    }

    const std::function<void(const FindProgress&)>& progress;
    const std::atomic<bool>* cancel;
    std::set<std::pair<dev_t, ino_t>> visited;
    FindProgress state;
    std::chrono::steady_clock::time_point lastReport{};
};

std::string canonical(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

std::string baseName(const std::string& path) {
    return fs::path(path).filename().string();
}

std::string windowsToSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The directory a Windows path leads to below base, each component matched without
// regard to case as Windows does; nothing when some component is not there.
std::optional<std::string> mapBelow(const std::string& base, std::string_view rest) {
    std::string at = base;
    for (const auto& part : fs::path(windowsToSlashes(std::string(rest)))) {
        const std::string name = part.string();
        if (name.empty() || name == "/" || name == ".") continue;
        if (name == "..") return std::nullopt;
        auto entry = findEntry(at, {name});
        if (!entry) return std::nullopt;
        at = includeTrailingPathDelimiter(at) + *entry;
    }
    return at;
}

// One Windows profile of the disk and what its NTUSER.DAT says.
class Profile {
  public:
    Profile(std::string dir, HiveFile hive) : dir(std::move(dir)), hive(std::move(hive)) {
        user = baseName(this->dir);
        const fs::path parent = fs::path(this->dir).parent_path();
        const std::string parentName = parent.filename().string();
        xpLayout = equalsNoCase(parentName, "Documents and Settings");
        if (xpLayout || equalsNoCase(parentName, "Users")) diskRoot = parent.parent_path().string();
        windowsProfile = (xpLayout ? "C:\\Documents and Settings\\" : "C:\\Users\\") + user;
    }

    const std::string& directory() const { return dir; }
    const std::string& userName() const { return user; }

    struct Identity {
        std::string id;
        std::string name;
        std::string storeRoot;  // as the registry holds it, expanded
    };

    std::vector<Identity> identities() const {
        std::vector<Identity> found;
        if (auto root = storeRootAt("Software\\Microsoft\\Outlook Express"))
            found.push_back({"", "", *root});
        for (const std::string& id : hive.subkeys("Identities")) {
            const std::string key = "Identities\\" + id;
            Identity identity{id, hive.readText(key, "Username").value_or(""), {}};
            identity.storeRoot = storeRootAt(key + "\\Software\\Microsoft\\Outlook Express\\5.0")
                                     .value_or(expand("%LOCALAPPDATA%\\Identities\\" + id +
                                                      "\\Microsoft\\Outlook Express"));
            found.push_back(std::move(identity));
        }
        return found;
    }

    // The directory a Windows path of this profile's registry stands for on the
    // disk: below the profile where it is the profile's, else below the disk's
    // root (every drive letter taken as the disk's, the one the profile is on).
    std::optional<std::string> mapToDisk(const std::string& windowsPath) const {
        const std::string prefix = windowsProfile + "\\";
        if (equalsNoCase(windowsPath, windowsProfile)) return dir;
        if (startsWithNoCase(windowsPath, prefix))
            return mapBelow(dir, windowsPath.substr(prefix.size()));
        if (windowsPath.size() >= 2 && windowsPath[1] == ':' && isAsciiLetter(windowsPath[0]) &&
            !diskRoot.empty())
            return mapBelow(diskRoot, windowsPath.substr(2));
        return std::nullopt;
    }

  private:
    std::optional<std::string> storeRootAt(const std::string& key) const {
        auto value = hive.readValue(key, "Store Root");
        if (!value || value->kind == RegistryFile::ValueKind::Other || value->data.empty())
            return std::nullopt;
        return expand(value->data);
    }

    // The variables Windows gives the user's processes, as far as the disk tells them.
    std::optional<std::string> baseVariable(std::string_view name) const {
        const std::string appDataDefault =
            windowsProfile + (xpLayout ? "\\Application Data" : "\\AppData\\Roaming");
        const std::string localDefault =
            windowsProfile + (xpLayout ? "\\Local Settings\\Application Data" : "\\AppData\\Local");
        const std::pair<std::string_view, std::string> fixed[] = {
            {"USERPROFILE", windowsProfile},
            {"USERNAME", user},
            {"HOMEDRIVE", "C:"},
            {"HOMEPATH", windowsProfile.substr(2)},
            {"SystemDrive", "C:"},
            {"SystemRoot", xpLayout ? "C:\\WINDOWS" : "C:\\Windows"},
            {"windir", xpLayout ? "C:\\WINDOWS" : "C:\\Windows"},
            {"ALLUSERSPROFILE",
             xpLayout ? "C:\\Documents and Settings\\All Users" : "C:\\ProgramData"},
            {"ProgramFiles", "C:\\Program Files"},
        };
        for (const auto& [key, value] : fixed)
            if (equalsNoCase(key, name)) return value;
        if (equalsNoCase(name, "APPDATA")) return shellFolder("AppData").value_or(appDataDefault);
        if (equalsNoCase(name, "LOCALAPPDATA"))
            return shellFolder("Local AppData").value_or(localDefault);
        return std::nullopt;
    }

    // The user's folders as the shell keeps them: "User Shell Folders" with
    // references, else the expanded copy "Shell Folders".
    std::optional<std::string> shellFolder(std::string_view name) const {
        constexpr std::string_view Explorer =
            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
        for (std::string_view key : {"User Shell Folders", "Shell Folders"}) {
            auto value = hive.readValue(std::string(Explorer) + std::string(key), name);
            if (!value || value->kind == RegistryFile::ValueKind::Other || value->data.empty())
                continue;
            // Only the fixed variables here, so that no chain of references can loop.
            return expandEnvironmentStrings(
                value->data, [this](std::string_view n) -> std::optional<std::string> {
                    if (equalsNoCase(n, "APPDATA") || equalsNoCase(n, "LOCALAPPDATA"))
                        return std::nullopt;
                    return baseVariable(n);
                });
        }
        return std::nullopt;
    }

    std::string expand(const std::string& text) const {
        return expandEnvironmentStrings(
            text, [this](std::string_view name) -> std::optional<std::string> {
                if (auto v = baseVariable(name)) return v;
                if (auto v = hive.readValue("Environment", name);
                    v && v->kind != RegistryFile::ValueKind::Other)
                    return expandEnvironmentStrings(
                        v->data, [this](std::string_view n) { return baseVariable(n); });
                return std::nullopt;
            });
    }

    std::string dir;
    HiveFile hive;
    std::string user;
    std::string diskRoot;  // empty when the profile lies where no Windows put it
    std::string windowsProfile;
    bool xpLayout = false;
};

// The profile a path lies in, by the layouts Windows uses: the component after
// "Documents and Settings" or "Users".
std::string userOfPath(const std::string& path) {
    std::string user;
    bool next = false;
    for (const auto& part : fs::path(path)) {
        const std::string name = part.string();
        if (next) user = name;
        next = equalsNoCase(name, "Documents and Settings") || equalsNoCase(name, "Users");
    }
    return user;
}

std::string identityIdOfPath(const std::string& path) {
    std::string id;
    bool next = false;
    for (const auto& part : fs::path(path)) {
        const std::string name = part.string();
        if (next && name.size() > 2 && name.front() == '{' && name.back() == '}') id = name;
        next = equalsNoCase(name, "Identities");
    }
    return id;
}

void countStore(FoundStore& store, const ScannedStore& scanned) {
    const DetectedCodePage detected = detectStoreCodePage(store.path);
    store.codePage = detected.page.number() ? detected.page.number() : 1252;
    store.folders = scanned.folderFiles;
    store.bytes = scanned.bytes;
    for (const std::string& name : scanned.folderFileNames) {
        auto file = StoreFile::tryOpen(includeTrailingPathDelimiter(store.path) + name);
        if (!file) continue;
        try {
            for (const MessageInfo& m : readMessageIndex(*file)) {
                ++store.messages;
                if (m.date == 0) continue;
                if (store.firstDate == 0 || m.date < store.firstDate) store.firstDate = m.date;
                store.lastDate = std::max(store.lastDate, m.date);
            }
        } catch (const std::exception&) {
            // A damaged folder counts with what could be read of it.
        }
    }
}

}  // namespace

FindResult findStores(const std::vector<std::string>& roots,
                      const std::function<void(const FindProgress&)>& progress,
                      const std::atomic<bool>* cancel) {
    FindResult result;
    ScanResult scanned;
    TreeScan scan(progress, cancel);
    for (const std::string& root : roots) {
        scan.scan(root, scanned);
        if (scanned.cancelled) break;
    }
    result.cancelled = scanned.cancelled;

    std::map<std::string, FoundStore> stores;  // by canonical path
    // identity names by user and GUID, for stores the scan found where the
    // registry no longer points
    std::map<std::pair<std::string, std::string>, std::string> identityNames;
    std::map<std::string, const ScannedStore*> scannedByCanonical;
    for (const auto& [dir, store] : scanned.stores) scannedByCanonical[canonical(dir)] = &store;

    std::sort(scanned.profiles.begin(), scanned.profiles.end());
    for (const std::string& profileDir : scanned.profiles) {
        const std::string hivePath = findFileNoCase(profileDir, "NTUSER.DAT");
        auto hive = HiveFile::open(hivePath);
        if (!hive) {
            result.notices.push_back(
                {baseName(profileDir), "", hivePath + ": not a registry hive that can be read"});
            continue;
        }
        const Profile profile(profileDir, std::move(*hive));
        for (const Profile::Identity& identity : profile.identities()) {
            if (!identity.id.empty())
                identityNames[{profile.userName(), lowerAscii(identity.id)}] = identity.name;
            const auto dir = profile.mapToDisk(identity.storeRoot);
            const std::string key = dir ? canonical(*dir) : std::string();
            const auto found = scannedByCanonical.find(key);
            if (!dir || found == scannedByCanonical.end()) {
                result.notices.push_back({profile.userName(), identity.name,
                                          "its store root " + identity.storeRoot +
                                              " is no store below the directories searched"});
                continue;
            }
            FoundStore store;
            store.path = *dir;
            store.user = profile.userName();
            store.identity = identity.name;
            store.identityId = identity.id;
            store.source = FoundStore::Source::Registry;
            countStore(store, *found->second);
            stores.emplace(key, std::move(store));
        }
    }
    for (const auto& [dir, scannedStore] : scanned.stores) {
        const std::string key = canonical(dir);
        if (stores.contains(key)) continue;
        FoundStore store;
        store.path = dir;
        store.user = userOfPath(dir);
        store.identityId = identityIdOfPath(dir);
        if (auto name = identityNames.find({store.user, lowerAscii(store.identityId)});
            name != identityNames.end())
            store.identity = name->second;
        countStore(store, scannedStore);
        stores.emplace(key, std::move(store));
    }
    for (auto& [key, store] : stores) result.stores.push_back(std::move(store));
    std::stable_sort(
        result.stores.begin(), result.stores.end(), [](const FoundStore& a, const FoundStore& b) {
            return std::tie(a.user, a.identity, a.path) < std::tie(b.user, b.identity, b.path);
        });
    return result;
}

std::vector<std::string> defaultStoreSearchRoots() {
    std::vector<std::string> roots;
    for (const char* dir : {"/media", "/run/media", "/mnt"}) roots.emplace_back(dir);
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        roots.push_back(includeTrailingPathDelimiter(prefix) + "drive_c");
    if (const char* home = std::getenv("HOME"); home && *home)
        roots.push_back(includeTrailingPathDelimiter(home) + ".wine/drive_c");
    std::vector<std::string> existing;
    for (const std::string& root : roots)
        if (directoryExists(root) &&
            std::find(existing.begin(), existing.end(), root) == existing.end())
            existing.push_back(root);
    return existing;
}

}  // namespace lumbrook
