// The data block chain of one message. The input is the folder file; its last
// four bytes (little-endian) are the offset of the first data block.
#include "fuzz/FuzzSupport.h"
#include "store/DbxReader.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint8_t* tail = data + size - 4;
    const std::int32_t offset = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(tail[0]) | static_cast<std::uint32_t>(tail[1]) << 8 |
        static_cast<std::uint32_t>(tail[2]) << 16 | static_cast<std::uint32_t>(tail[3]) << 24);
    const std::string text = readMessageChain(MemoryByteSource({data, size - 4}), offset);
    // A block gives at most 512 bytes and no block can be read twice, so the text
    // can never be longer than the file.
    if (text.size() > size) fuzz::broken("more text than the file holds");
    if (text.find('\0') != std::string::npos) fuzz::broken("a zero byte in the text");
    return 0;
}
