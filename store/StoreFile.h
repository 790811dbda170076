#pragma once

// The one way the store reader gets at the bytes of a store file: opened read-only
// for the length of one operation, read with pread, every byte handed on only
// through a ByteReader over what was actually read. The read-ahead window works
// over any byte source, so that an image in memory reads the same way.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/ByteReader.h"
#include "store/ByteSource.h"

namespace lumbrook {

class StoreFile final : public ByteSource {
  public:
    // Opens Path for reading only: no lock, no write access, nothing that changes
    // the file. Anything that is not a regular file (a directory, a pipe) counts
    // as a file that cannot be opened. Throws FileOpenError with the full path.
    explicit StoreFile(const std::string& path);
    // The same without the exception: nothing when the file cannot be opened.
    static std::optional<StoreFile> tryOpen(const std::string& path);
    ~StoreFile() override;
    StoreFile(StoreFile&& other) noexcept;
    StoreFile(const StoreFile&) = delete;
    StoreFile& operator=(const StoreFile&) = delete;

    // The size when the file was opened. Bytes the mail client may append while we
    // read are not looked at: the operation sees the file as it was at opening.
    std::uint64_t size() const override { return fileSize; }

    // Reads up to Len bytes at Off into Dest; returns how many arrived. Fewer than
    // Len only at the end of the file (or when the system refuses the read, which
    // is taken as the end of the file too).
    std::size_t readAt(std::uint64_t off, std::uint8_t* dest, std::size_t len) const override;

    struct Unopened {};
    explicit StoreFile(Unopened) {}

  private:
    bool open(const std::string& path);

    int fd = -1;
    std::uint64_t fileSize = 0;
    int openError = 0;  // errno of a failed open
};

// A read-ahead window over a store file (or any byte source). Small structures that lie close together
// (records in a row, the blocks of one message) come out of one pread instead of
// one system call each. The returned reader stays valid until the next Read.
class ReadWindow {
  public:
    explicit ReadWindow(const ByteSource& source) : source(source) {}

    // The bytes [Off, Off + Len) as far as the file holds them: a shorter reader
    // means the file ends before Off + Len. When the bytes are not in the window
    // yet, it is refilled from Off with max(Len, readAhead) bytes.
    ByteReader read(std::uint64_t off, std::size_t len, std::size_t readAhead = 0);

    // True when [Off, Off + Len) can be served without reading.
    bool holds(std::uint64_t off, std::size_t len) const;

    // Bytes fetched from the source so far, for walks that bound their work.
    std::uint64_t bytesRead() const { return fetched; }

  private:
    const ByteSource& source;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t capacity = 0;
    std::uint64_t start = 0;
    std::size_t count = 0;    // bytes of Buffer that hold file bytes from Start on
    bool reachesEnd = false;  // the window's bytes run up to the end of the file
    std::uint64_t fetched = 0;
};

}  // namespace lumbrook
