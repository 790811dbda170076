#pragma once

#include <cstdint>
#include <string_view>

namespace lumbrook {

// FNV-1a, 64 bits: a quick fingerprint of a text, where a collision costs a second
// look and never correctness (names are checked against the bytes they stand for).
// Its values end up in file names, so it must never change.
constexpr std::uint64_t fnv1a64(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace lumbrook
