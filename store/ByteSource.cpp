#include "store/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace lumbrook {

std::size_t MemoryByteSource::readAt(std::uint64_t off, std::uint8_t* dst, std::size_t len) const {
    if (off >= bytes.size()) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(len, bytes.size() - off));
    if (n > 0) std::memcpy(dst, bytes.data() + off, n);
    return n;
}

}  // namespace lumbrook
