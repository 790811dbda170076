// A folder file: index walk, message record decoding, and the text of every
// message the index lists.
#include "fuzz/FuzzSupport.h"
#include "store/DbxReader.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MemoryByteSource source({data, size});
    for (const auto& m : readMessageIndex(source)) {
        const std::string text = readMessageChain(source, m.dataOffset);
        if (m.dataOffset <= 0 && !text.empty()) fuzz::broken("text without a data offset");
    }
    return 0;
}
