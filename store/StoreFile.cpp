#include "store/StoreFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/Errors.h"

namespace lumbrook {

bool StoreFile::open(const std::string& path) {
    // O_NONBLOCK only so that a named pipe put where a store file should be cannot
    // hang the open; it changes nothing for regular files, which are all we read.
    int opened;
    do {
        opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0) {
        openError = errno;
        return false;
    }

    struct stat st {};
    if (::fstat(opened, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        // What the system would say about reading such a thing as a file.
        openError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(opened);
        return false;
    }
    fd = opened;
    fileSize = static_cast<std::uint64_t>(st.st_size);
    return true;
}

StoreFile::StoreFile(const std::string& path) {
    if (!open(path)) throw FileOpenError(path, openError);
}

std::optional<StoreFile> StoreFile::tryOpen(const std::string& path) {
    std::optional<StoreFile> file(std::in_place, Unopened{});
    if (!file->open(path)) return std::nullopt;
    return file;
}

StoreFile::StoreFile(StoreFile&& other) noexcept
    : fd(std::exchange(other.fd, -1)), fileSize(other.fileSize) {}

StoreFile::~StoreFile() {
    if (fd >= 0) ::close(fd);
}

std::size_t StoreFile::readAt(std::uint64_t off, std::uint8_t* dest, std::size_t len) const {
    if (off >= fileSize) return 0;
    len = static_cast<std::size_t>(std::min<std::uint64_t>(len, fileSize - off));
    std::size_t done = 0;
    while (done < len) {
        ssize_t got = ::pread(fd, dest + done, len - done, static_cast<off_t>(off + done));
        if (got < 0 && errno == EINTR) continue;
        // A failing read (EIO on a damaged medium) ends the data like the end of
        // the file would: the structure it belongs to counts as cut short.
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ReadWindow::holds(std::uint64_t off, std::size_t len) const {
    if (off < start || off - start > count) return false;
    std::size_t inWindow = count - static_cast<std::size_t>(off - start);
    return len <= inWindow || reachesEnd;
}

ByteReader ReadWindow::read(std::uint64_t off, std::size_t len, std::size_t readAhead) {
    if (!holds(off, len)) {
        // Never ask for (or allocate) more than the file can hold from Off on: a
        // bogus length in a damaged file costs at most the file's size.
        std::uint64_t left = off < source.size() ? source.size() - off : 0;
        std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::max(len, readAhead), left));
        if (capacity < want) {
            buffer.reset(new std::uint8_t[want]);  // no zero fill: every byte used is read
            capacity = want;
        }
        start = off;
        count = source.readAt(off, buffer.get(), want);
        fetched += count;
        reachesEnd = count < want || count == left;
    }
    std::size_t from = static_cast<std::size_t>(off - start);
    std::size_t avail = count - from;
    return ByteReader(buffer.get() + from, std::min(len, avail));
}

}  // namespace lumbrook
