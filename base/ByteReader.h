#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

namespace lumbrook {

// The one way untrusted bytes are looked at. Every access names an offset and a
// length and is checked against the span before a byte is touched; a read that
// does not fit yields nothing instead of reading past the end.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes(bytes) {}
    ByteReader(const void* data, std::size_t size)
        : bytes(static_cast<const std::uint8_t*>(data), size) {}

    std::size_t size() const { return bytes.size(); }

    // Overflow-safe: never computes off + len.
    bool has(std::size_t off, std::size_t len) const {
        return off <= bytes.size() && len <= bytes.size() - off;
    }

    std::optional<std::uint8_t> u8At(std::size_t off) const {
        if (!has(off, 1)) return std::nullopt;
        return bytes[off];
    }
    std::optional<std::uint32_t> u32At(std::size_t off) const {
        if (!has(off, 4)) return std::nullopt;
        return loadLe<std::uint32_t>(off);
    }
    std::optional<std::int32_t> i32At(std::size_t off) const {
        auto v = u32At(off);
        if (!v) return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    std::optional<std::uint64_t> u64At(std::size_t off) const {
        if (!has(off, 8)) return std::nullopt;
        return loadLe<std::uint64_t>(off);
    }
    // Three bytes, little-endian, as the 24-bit counts and entry values of the store.
    std::optional<std::uint32_t> u24At(std::size_t off) const {
        if (!has(off, 3)) return std::nullopt;
        return std::uint32_t(bytes[off]) | std::uint32_t(bytes[off + 1]) << 8 |
               std::uint32_t(bytes[off + 2]) << 16;
    }
    std::optional<std::span<const std::uint8_t>> spanAt(std::size_t off, std::size_t len) const {
        if (!has(off, len)) return std::nullopt;
        return bytes.subspan(off, len);
    }
    std::optional<ByteReader> subReader(std::size_t off, std::size_t len) const {
        auto s = spanAt(off, len);
        if (!s) return std::nullopt;
        return ByteReader(*s);
    }
    // Bytes from off up to the first zero byte, or to the end of the span when
    // there is none; empty when off lies outside.
    std::string_view zeroTerminatedAt(std::size_t off) const {
        if (off >= bytes.size()) return {};
        const char* begin = reinterpret_cast<const char*>(bytes.data()) + off;
        std::size_t avail = bytes.size() - off;
        const void* zero = std::memchr(begin, 0, avail);
        return {begin, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - begin)
                            : avail};
    }

private:
    template <typename T>
    T loadLe(std::size_t off) const {
        T v = 0;
        for (std::size_t i = sizeof(T); i-- > 0;) v = static_cast<T>(v << 8) | bytes[off + i];
        return v;
    }

    std::span<const std::uint8_t> bytes;
};

}  // namespace lumbrook
