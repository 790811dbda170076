#include "platform/FileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

namespace lumbrook {
namespace {

std::atomic<int> stopReason{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag is set from signal handlers");

// Big enough to cost nothing, small enough that a stop is noticed within moments
// even on a slow disk.
constexpr std::size_t WriteChunk = 1 << 20;

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A new file of its own in dir, hidden and never a name a message can be given
// (cleanFileName turns dots into "_"); its descriptor, its name in temp. -1 when
// none can be made.
int openTemporary(const std::string& dir, std::string& temp) {
    static std::atomic<unsigned long> counter{0};
    const std::string prefix = dir + ".lumbrook-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        temp = prefix + std::to_string(counter++) + ".part";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The whole file under a temporary name in dir; returns that name. Nothing is left
// behind when it fails. errorPath is the name the file was meant to get.
std::string writeTemporary(const std::string& dir, std::string_view bytes,
                           const std::string& errorPath) {
    std::string temp;
    const int fd = openTemporary(dir, temp);
    if (fd < 0) throw makeCreateError(errorPath);
    bool stopped = false;
    bool ok = writeAll(fd, bytes, true, stopped);
    if (::close(fd) != 0) ok = false;
    if (ok) return temp;
    ::unlink(temp.c_str());
    if (stopped) throw StopRequestedError(stopRequested());
    throw makeCreateError(errorPath);
}

bool lacksSupport(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP ||
           error == EPERM;
}

}  // namespace

void requestStop(int reason) noexcept {
    stopReason.store(reason == 0 ? -1 : reason, std::memory_order_relaxed);
}

int stopRequested() noexcept {
    return stopReason.load(std::memory_order_relaxed);
}

void clearStopRequest() noexcept {
    stopReason.store(0, std::memory_order_relaxed);
}

bool writeAll(int fd, std::string_view bytes, bool watchStop, bool& stopped) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (watchStop && stopRequested() != 0) {
            stopped = true;
            return false;
        }
        const std::size_t piece = std::min(WriteChunk, bytes.size() - done);
        const ssize_t n = ::write(fd, bytes.data() + done, piece);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;  // nothing taken and no reason given: no room
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int placeNewFile(const std::string& temporary, const std::string& path) {
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!lacksSupport(errno)) return errno;
    // File systems without that kind of rename: a hard link never replaces either.
    if (::link(temporary.c_str(), path.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return 0;
    }
    if (!lacksSupport(errno)) return errno;
    return copyIntoNewFile(temporary, path);
}

int copyIntoNewFile(const std::string& temporary, const std::string& path) {
    const int from = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (from < 0) return errno;
    struct stat source;
    if (::fstat(from, &source) != 0) {
        const int error = errno;
        ::close(from);
        return error;
    }
    // The name is claimed with O_EXCL and the bytes copied through that descriptor,
    // never renamed onto the claim: a rename replaces whatever is under the name by
    // then, and should the claim have been removed and the name taken again meanwhile,
    // that file would be lost. The descriptor can only ever reach our own new file.
    // The price, here and only here: a kill during the copy leaves a cut-off file
    // under the final name.
    const int to = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (to < 0) {
        const int error = errno;
        ::close(from);
        return error;
    }
    int error = 0;
    std::string chunk(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(from, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        bool stopped = false;
        errno = 0;
        if (!writeAll(to, std::string_view(chunk.data(), static_cast<std::size_t>(n)), false, stopped)) {
            error = errno != 0 ? errno : EIO;
            break;
        }
    }
    // The times the writer gave the temporary file (a message's date) go with it; one
    // the file system cannot hold leaves "now", as it would have on the temporary.
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (error == 0) ::futimens(to, times);
    if (::close(to) != 0 && error == 0) error = errno;
    ::close(from);
    if (error != 0) {
        ::unlink(path.c_str());  // the claim is ours, cut off: it goes
        return error;
    }
    ::unlink(temporary.c_str());
    return 0;
}

void writeFileNew(const std::string& path, std::string_view bytes) {
    const std::string temp = writeTemporary(directoryOf(path), bytes, path);
    if (placeNewFile(temp, path) != 0) {
        ::unlink(temp.c_str());
        throw makeCreateError(path);
    }
}

namespace {

// Moves temp to the next free name for stem + ext in dir, taking the next one when
// someone else takes a name first; returns the name. Removes temp when it fails.
std::string placeUnique(const std::string& temp, std::string name, const std::string& dir,
                        OutputNames& names, const std::string& stem, std::string_view ext,
                        std::string* triedName) {
    // Each EEXIST is a name someone else took a moment ago; a directory that keeps
    // filling up faster than this is given up on.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        if (triedName) *triedName = name;
        const int error = placeNewFile(temp, dir + name);
        if (error == 0) return name;
        if (error != EEXIST) break;
        name = names.nextFree(dir, stem, ext);
    }
    ::unlink(temp.c_str());
    throw makeCreateError(dir + name);
}

}  // namespace

std::string writeFileUnique(const std::string& dir, OutputNames& names, const std::string& stem,
                            std::string_view ext, std::string_view bytes,
                            std::string* triedName) {
    std::string name = names.nextFree(dir, stem, ext);
    if (triedName) *triedName = name;
    const std::string temp = writeTemporary(dir, bytes, dir + name);
    return placeUnique(temp, std::move(name), dir, names, stem, ext, triedName);
}

// Pieces are gathered up to this size before they are written.
constexpr std::size_t WriterBufferSize = 1 << 20;

FileWriter::FileWriter(const std::string& path, Mode mode) : path(path), mode(mode) {
    if (mode == Mode::Replace) {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    } else {
        fd = openTemporary(directoryOf(path), temporary);
    }
    if (fd < 0) throw makeCreateError(path);
    buffer.reserve(WriterBufferSize);
}

FileWriter::FileWriter(const std::string& dir, OutputNames& names, const std::string& stem,
                       std::string_view ext)
    : mode(Mode::New), names(&names), dir(dir), stem(stem), ext(ext) {
    firstName = names.nextFree(dir, stem, ext);
    path = dir + firstName;
    fd = openTemporary(dir, temporary);
    if (fd < 0) throw makeCreateError(path);
    buffer.reserve(WriterBufferSize);
}

FileWriter::~FileWriter() {
    if (fd < 0) return;
    ::close(fd);
    if (!temporary.empty()) ::unlink(temporary.c_str());
}

void FileWriter::write(std::string_view bytes) {
    if (fd < 0) throw makeCreateError(path);
    if (buffer.size() + bytes.size() <= WriterBufferSize) {
        buffer += bytes;
        return;
    }
    flush();
    if (bytes.size() < WriterBufferSize) {
        buffer += bytes;
        return;
    }
    bool stopped = false;
    if (!writeAll(fd, bytes, mode == Mode::New, stopped)) fail(stopped);
}

void FileWriter::flush() {
    bool stopped = false;
    if (!writeAll(fd, buffer, mode == Mode::New, stopped)) fail(stopped);
    buffer.clear();
}

std::string FileWriter::finish() {
    if (fd < 0) throw makeCreateError(path);
    flush();
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) {
        if (!temporary.empty()) ::unlink(temporary.c_str());
        throw makeCreateError(path);
    }
    if (mode == Mode::Replace) return path;
    const std::string temp = std::exchange(temporary, std::string());
    if (names) return dir + placeUnique(temp, firstName, dir, *names, stem, ext, nullptr);
    if (placeNewFile(temp, path) != 0) {
        ::unlink(temp.c_str());
        throw makeCreateError(path);
    }
    return path;
}

void FileWriter::fail(bool stopped) {
    ::close(fd);
    fd = -1;
    if (!temporary.empty()) ::unlink(temporary.c_str());
    if (stopped) throw StopRequestedError(stopRequested());
    throw makeCreateError(path);
}

}  // namespace lumbrook
