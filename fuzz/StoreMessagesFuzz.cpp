// A folder file: index walk, message record decoding, and the text of every
// message the index lists, alone and as one folder read in order, with and
// without the window kept between messages (which must change nothing).
#include "fuzz/FuzzSupport.h"
#include "store/DbxReader.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MemoryByteSource source({data, size});
    BlockClaims claims, windowClaims;
    ChainWindow window;
    std::uint64_t folderText = 0;
    for (const auto& m : readMessageIndex(source)) {
        const MessageText alone = readMessage(source, m.dataOffset);
        if (m.dataOffset <= 0 && !alone.text.empty()) fuzz::broken("text without a data offset");
        if (alone.whole != alone.problem.empty()) fuzz::broken("whole and a problem disagree");
        if (alone.text.size() > size) fuzz::broken("a text larger than the file");
        const MessageText inFolder = readMessage(source, m.dataOffset, &claims);
        folderText += inFolder.text.size();
        const MessageText windowed = readMessage(source, m.dataOffset, &windowClaims, &window,
                                                 static_cast<std::uint32_t>(m.entry91));
        if (windowed.text != inFolder.text || windowed.whole != inFolder.whole ||
            windowed.problem != inFolder.problem)
            fuzz::broken("the window changed what was read");
        if (folderText > size) fuzz::broken("a folder's texts larger than the file");
    }
    return 0;
}
