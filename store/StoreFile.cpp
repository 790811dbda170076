#include "store/StoreFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/Errors.h"

namespace lumbrook {

namespace {

// The message is put together by appending: GCC 12 reports a false -Wrestrict on
// the inlined std::string::replace that FormatMessage uses (GCC bug 105329).
[[noreturn]] void ThrowOpenError(const std::string& Path) {
    const std::string_view pattern = SFOpenError;
    const std::size_t at = pattern.find("%s");
    std::string message(pattern.substr(0, at));
    message.append(Path).append(pattern.substr(at + 2));
    throw EFOpenError(message);
}

}  // namespace

bool TStoreFile::Open(const std::string& Path) {
    // O_NONBLOCK only so that a named pipe put where a store file should be cannot
    // hang the open; it changes nothing for regular files, which are all we read.
    int fd;
    do {
        fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;

    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    Fd = fd;
    FileSize = static_cast<std::uint64_t>(st.st_size);
    return true;
}

TStoreFile::TStoreFile(const std::string& Path) {
    if (!Open(Path)) ThrowOpenError(Path);
}

std::optional<TStoreFile> TStoreFile::TryOpen(const std::string& Path) {
    std::optional<TStoreFile> file(std::in_place, TUnopened{});
    if (!file->Open(Path)) return std::nullopt;
    return file;
}

TStoreFile::TStoreFile(TStoreFile&& Other) noexcept
    : Fd(std::exchange(Other.Fd, -1)), FileSize(Other.FileSize) {}

TStoreFile::~TStoreFile() {
    if (Fd >= 0) ::close(Fd);
}

std::size_t TStoreFile::ReadAt(std::uint64_t Off, std::uint8_t* Dest, std::size_t Len) const {
    if (Off >= FileSize) return 0;
    Len = static_cast<std::size_t>(std::min<std::uint64_t>(Len, FileSize - Off));
    std::size_t done = 0;
    while (done < Len) {
        ssize_t got = ::pread(Fd, Dest + done, Len - done, static_cast<off_t>(Off + done));
        if (got < 0 && errno == EINTR) continue;
        // A failing read (EIO on a damaged medium) ends the data like the end of
        // the file would: the structure it belongs to counts as cut short.
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool TReadWindow::Holds(std::uint64_t Off, std::size_t Len) const {
    if (Off < Start || Off - Start > Count) return false;
    std::size_t inWindow = Count - static_cast<std::size_t>(Off - Start);
    return Len <= inWindow || ReachesEnd;
}

std::size_t TReadWindow::HeldFrom(std::uint64_t Off) const {
    if (Off < Start || Off - Start > Count) return 0;
    return Count - static_cast<std::size_t>(Off - Start);
}

TByteReader TReadWindow::Read(std::uint64_t Off, std::size_t Len, std::size_t ReadAhead) {
    if (!Holds(Off, Len)) {
        // Never ask for (or allocate) more than the file can hold from Off on: a
        // bogus length in a damaged file costs at most the file's size.
        std::uint64_t left = Off < File.Size() ? File.Size() - Off : 0;
        std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::max(Len, ReadAhead), left));
        if (Capacity < want) {
            Buffer.reset(new std::uint8_t[want]);  // no zero fill: every byte used is read
            Capacity = want;
        }
        Start = Off;
        Count = File.ReadAt(Off, Buffer.get(), want);
        ReachesEnd = Count < want || Count == left;
    }
    std::size_t from = static_cast<std::size_t>(Off - Start);
    std::size_t avail = Count - from;
    return TByteReader(Buffer.get() + from, std::min(Len, avail));
}

}  // namespace lumbrook
