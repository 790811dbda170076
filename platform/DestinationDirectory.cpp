#include "platform/DestinationDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/FileWriter.h"

namespace lumbrook {
namespace {

constexpr std::string_view TemporaryPrefix = ".lumbrook-";
constexpr std::string_view TemporarySuffix = ".part";

bool isLinkOrStrange(int dirFd, const std::string& name, bool directoryWanted) {
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    return directoryWanted ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode);
}

// The process that wrote a temporary file of ours, from its name; 0 when the name
// is not one of ours.
pid_t writerOf(std::string_view name) {
    if (name.substr(0, TemporaryPrefix.size()) != TemporaryPrefix ||
        name.size() <= TemporaryPrefix.size() + TemporarySuffix.size() ||
        name.substr(name.size() - TemporarySuffix.size()) != TemporarySuffix)
        return 0;
    name.remove_prefix(TemporaryPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos) return 0;
    long pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    if (error != std::errc() || end != name.data() + dash || pid <= 0) return 0;
    return static_cast<pid_t>(pid);
}

bool processLives(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

DestinationDirectory::DestinationDirectory(int descriptor, std::string fullPath)
    : descriptor(descriptor), fullPath(std::move(fullPath)) {}

DestinationDirectory::DestinationDirectory(DestinationDirectory&& other) noexcept
    : descriptor(std::exchange(other.descriptor, -1)), fullPath(std::move(other.fullPath)) {}

DestinationDirectory& DestinationDirectory::operator=(DestinationDirectory&& other) noexcept {
    if (this != &other) {
        if (descriptor >= 0) ::close(descriptor);
        descriptor = std::exchange(other.descriptor, -1);
        fullPath = std::move(other.fullPath);
    }
    return *this;
}

DestinationDirectory::~DestinationDirectory() {
    if (descriptor >= 0) ::close(descriptor);
}

std::string DestinationDirectory::pathOf(std::string_view name) const {
    std::string out = fullPath;
    if (out.empty() || out.back() != '/') out += '/';
    out.append(name);
    return out;
}

DestinationDirectory DestinationDirectory::openRoot(const std::string& path) {
    std::string clean = path;
    while (clean.size() > 1 && clean.back() == '/') clean.pop_back();
    const int fd = ::open(clean.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) return DestinationDirectory(fd, clean);
    if (errno != ENOENT) throw makeCreateError(clean);
    // Missing: from the nearest parent there is, each missing part is made and
    // opened relative to the one before, so a link planted meanwhile is not followed.
    std::vector<std::string> missing;
    std::string existing = clean;
    int parent = -1;
    for (;;) {
        const std::size_t slash = existing.find_last_of('/');
        std::string name = slash == std::string::npos ? existing : existing.substr(slash + 1);
        existing = slash == std::string::npos ? "." : slash == 0 ? "/" : existing.substr(0, slash);
        if (!name.empty() && name != ".") missing.push_back(std::move(name));
        parent = ::open(existing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (parent >= 0) break;
        if (errno != ENOENT || existing == "." || existing == "/") throw makeCreateError(clean);
    }
    DestinationDirectory current(parent, existing);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (*it == "..") throw makeCreateError(clean);
        current = current.subdirectory(*it);
    }
    current.fullPath = clean;
    return current;
}

DestinationDirectory DestinationDirectory::subdirectory(const std::string& name, bool create) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        throw makeCreateError(pathOf(name));
    if (create && ::mkdirat(descriptor, name.c_str(), 0755) != 0 && errno != EEXIST)
        throw makeCreateError(pathOf(name));
    const int fd = ::openat(descriptor, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR || isLinkOrStrange(descriptor, name, true))
            throw LinkInDestinationError(pathOf(name));
        throw makeCreateError(pathOf(name));
    }
    return DestinationDirectory(fd, pathOf(name));
}

int DestinationDirectory::openFile(const std::string& name, int flags, mode_t mode) const {
    const int fd = ::openat(descriptor, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
        ::close(fd);
        throw LinkInDestinationError(pathOf(name));
    }
    const int error = errno;
    if (error == ELOOP || ((flags & O_EXCL) == 0 && isLinkOrStrange(descriptor, name, false)))
        throw LinkInDestinationError(pathOf(name));
    errno = error;
    return -1;
}

bool DestinationDirectory::exists(const std::string& name) const {
    struct stat st;
    return ::fstatat(descriptor, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int DestinationDirectory::createTemporary(std::string& name) const {
    static std::atomic<unsigned long> counter{0};
    const std::string prefix =
        std::string(TemporaryPrefix) + std::to_string(::getpid()) + "-" ;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        name = prefix + std::to_string(counter++) + std::string(TemporarySuffix);
        const int fd = ::openat(descriptor, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

std::size_t DestinationDirectory::removeStaleTemporaries() const {
    const int listing = ::openat(descriptor, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return 0;
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return 0;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t writer = writerOf(entry->d_name);
        if (writer != 0 && writer != ::getpid() && !processLives(writer)) stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::size_t removed = 0;
    for (const auto& name : stale)
        if (!isLinkOrStrange(descriptor, name, false) && ::unlinkat(descriptor, name.c_str(), 0) == 0)
            ++removed;
    return removed;
}

int DestinationDirectory::placeNew(const std::string& temporary, const std::string& name) const {
    return placeNewFrom(*this, temporary, name);
}

int DestinationDirectory::placeNewFrom(const DestinationDirectory& from, const std::string& temporary,
                                       const std::string& name) const {
    if (::renameat2(from.descriptor, temporary.c_str(), descriptor, name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const auto lacksSupport = [](int error) {
        return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP ||
               error == EPERM;
    };
    if (!lacksSupport(errno)) return errno;
    if (::linkat(from.descriptor, temporary.c_str(), descriptor, name.c_str(), 0) == 0) {
        ::unlinkat(from.descriptor, temporary.c_str(), 0);
        return 0;
    }
    if (!lacksSupport(errno)) return errno;
    // Neither: the last resort copies through a claim made with O_EXCL, by path;
    // the paths are those of the two directories held open here.
    return copyIntoNewFile(from.pathOf(temporary), pathOf(name));
}

void DestinationDirectory::remove(const std::string& name) const {
    ::unlinkat(descriptor, name.c_str(), 0);
}

void testKillPoint(const std::function<void()>& lastWords) {
    static const long killAt = [] {
        const char* value = std::getenv("LUMBROOK_TEST_KILL_AT");
        return value ? std::strtol(value, nullptr, 10) : 0L;
    }();
    static std::atomic<long> calls{0};
    if (killAt <= 0 || ++calls != killAt) return;
    if (lastWords) lastWords();
    ::kill(::getpid(), SIGKILL);
}

std::string writeTemporaryFile(const DestinationDirectory& dir, std::string_view bytes) {
    std::string name;
    const int fd = dir.createTemporary(name);
    if (fd < 0) throw makeCreateError(dir.path());
    bool stopped = false;
    bool ok = writeAll(fd, bytes, true, stopped);
    int error = ok ? 0 : errno;
    if (stopped) {
        ::close(fd);
        dir.remove(name);
        throw StopRequestedError(stopRequested());
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        dir.remove(name);
        errno = error;
        throw makeCreateError(dir.pathOf(name));
    }
    return name;
}

bool holdsExactly(const DestinationDirectory& dir, const std::string& name, std::string_view bytes) {
    int fd = -1;
    try {
        fd = dir.openFile(name, O_RDONLY);
    } catch (const LinkInDestinationError&) {
        return false;
    }
    if (fd < 0) return false;
    struct stat st;
    bool same = ::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) == bytes.size();
    std::size_t pos = 0;
    std::vector<char> chunk(1 << 16);
    while (same && pos < bytes.size()) {
        const ssize_t n = ::read(fd, chunk.data(), std::min(chunk.size(), bytes.size() - pos));
        if (n < 0 && errno == EINTR) continue;
        same = n > 0 && std::memcmp(chunk.data(), bytes.data() + pos, static_cast<std::size_t>(n)) == 0;
        pos += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::close(fd);
    return same;
}

}  // namespace lumbrook
