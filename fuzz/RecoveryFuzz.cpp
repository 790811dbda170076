// Scanning a folder file for the messages its index does not reach. The input is
// the whole file. Seeds in corpus/fuzz_recovery: a file with live and deleted
// chains, the same without its start, rings and shared blocks, a file cut inside
// a block.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "store/Recovery.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const MemoryByteSource source(std::span<const std::uint8_t>(Data, Size));
    const RecoveryScan scan = scanForMessages(source, {});
    ScanOptions narrow;
    narrow.windowSize = 4096;
    const RecoveryScan again = scanForMessages(source, {}, narrow);
    if (again.messages.size() != scan.messages.size()) fuzz::broken("the window changed what was found");

    std::uint64_t total = 0;
    for (std::size_t i = 0; i < scan.messages.size(); ++i) {
        const RecoveredMessage& m = scan.messages[i];
        const RecoveredMessage& n = again.messages[i];
        if (m.dataOffset != n.dataOffset || m.size != n.size || m.blockCount != n.blockCount ||
            m.end != n.end)
            fuzz::broken("the window changed a chain");
        const std::string text = readRecoveredText(source, m);
        if (text.size() != m.size) fuzz::broken("a text not as long as counted");
        if (m.lostBytes > m.size) fuzz::broken("more bytes lost than the text holds");
        total += m.size;
        // Followed on its own the chain gives at least the same bytes.
        const auto alone = readTextAt(source, m.dataOffset);
        if (!alone || alone->compare(0, text.size(), text) != 0)
            fuzz::broken("the chain read by its offset does not start with the scan's text");
        (void)readRecoveredHeaders(source, m);
    }
    // Blocks do not overlap: at most 512 text bytes per 528 file bytes.
    if (total > Size) fuzz::broken("more text than the file holds");

    if (!scan.messages.empty() && scan.messages[0].kind == RecoveredMessage::Kind::Orphaned) {
        const std::vector<std::uint64_t> listed{scan.messages[0].dataOffset};
        const RecoveryScan withIndex = scanForMessages(source, listed);
        for (const RecoveredMessage& m : withIndex.messages)
            if (m.dataOffset == listed[0]) fuzz::broken("a listed chain was reported");
    }
    return 0;
}
