#pragma once

// The one way the store reader gets at the bytes of a store file: opened read-only
// for the length of one operation, read with pread, every byte handed on only
// through a TByteReader over what was actually read.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/ByteReader.h"

namespace lumbrook {

class TStoreFile {
  public:
    // Opens Path for reading only: no lock, no write access, nothing that changes
    // the file. Anything that is not a regular file (a directory, a pipe) counts
    // as a file that cannot be opened. Throws EFOpenError with the full path.
    explicit TStoreFile(const std::string& Path);
    // The same without the exception: nothing when the file cannot be opened.
    static std::optional<TStoreFile> TryOpen(const std::string& Path);
    ~TStoreFile();
    TStoreFile(TStoreFile&& Other) noexcept;
    TStoreFile(const TStoreFile&) = delete;
    TStoreFile& operator=(const TStoreFile&) = delete;

    // The size when the file was opened. Bytes the mail client may append while we
    // read are not looked at: the operation sees the file as it was at opening.
    std::uint64_t Size() const { return FileSize; }

    // Reads up to Len bytes at Off into Dest; returns how many arrived. Fewer than
    // Len only at the end of the file (or when the system refuses the read, which
    // is taken as the end of the file too).
    std::size_t ReadAt(std::uint64_t Off, std::uint8_t* Dest, std::size_t Len) const;

    struct TUnopened {};
    explicit TStoreFile(TUnopened) {}

  private:
    bool Open(const std::string& Path);

    int Fd = -1;
    std::uint64_t FileSize = 0;
};

// A read-ahead window over a store file. Small structures that lie close together
// (records in a row, the blocks of one message) come out of one pread instead of
// one system call each. The returned reader stays valid until the next Read.
class TReadWindow {
  public:
    explicit TReadWindow(const TStoreFile& File) : File(File) {}

    // The bytes [Off, Off + Len) as far as the file holds them: a shorter reader
    // means the file ends before Off + Len. When the bytes are not in the window
    // yet, it is refilled from Off with max(Len, ReadAhead) bytes.
    TByteReader Read(std::uint64_t Off, std::size_t Len, std::size_t ReadAhead = 0);

    // True when [Off, Off + Len) can be served without reading.
    bool Holds(std::uint64_t Off, std::size_t Len) const;

    // How many bytes from Off on the window holds (0 when Off lies outside it).
    std::size_t HeldFrom(std::uint64_t Off) const;

  private:
    const TStoreFile& File;
    std::unique_ptr<std::uint8_t[]> Buffer;
    std::size_t Capacity = 0;
    std::uint64_t Start = 0;
    std::size_t Count = 0;    // bytes of Buffer that hold file bytes from Start on
    bool ReachesEnd = false;  // the window's bytes run up to the end of the file
};

}  // namespace lumbrook
