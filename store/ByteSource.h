#pragma once

// Where the store reader and the recovery scan get their bytes: a file on disk
// (StoreFile) or bytes already in memory (a .dbx image built by a test or handed
// over by a fuzzer). Both only read.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace lumbrook {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Copies up to len bytes at off into dst; returns how many arrived. Fewer than
    // len only at the end of the source (a read the system refuses counts as the end).
    virtual std::size_t readAt(std::uint64_t off, std::uint8_t* dst, std::size_t len) const = 0;
};

// Bytes owned by someone else, who keeps them alive while they are read.
class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : bytes(bytes) {}
    explicit MemoryByteSource(std::string_view text)
        : bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) {}
    std::uint64_t size() const override { return bytes.size(); }
    std::size_t readAt(std::uint64_t off, std::uint8_t* dst, std::size_t len) const override;

private:
    std::span<const std::uint8_t> bytes;
};

}  // namespace lumbrook
