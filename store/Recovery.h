#pragma once

// Finding the messages of a folder file that its index no longer reaches: whole
// chains of live data blocks the index does not list (an index overwritten, a
// compaction that failed) and chains of deleted blocks still lying in the free
// space. Works on damaged files too: a file cut short, a file whose start was lost,
// blocks copied to another offset. Only reads; a file is never written or locked.
//
// The two kinds of data block are described in store/DbxLayout.h.
// Every text that comes out of here is counted and read by the same rules, so a
// message's size is exactly the length of its text.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/ByteSource.h"

namespace lumbrook {

// Each run of text bytes a deleted block lost to its previous-block field.
inline constexpr std::string_view LostBytesMark = "????";

// Why a chain ends.
enum class ChainEnd {
    Whole,         // its last block says so (next = 0)
    FileEnds,      // the file ends inside a block
    OutsideFile,   // the next block lies before the start or past the end of the file
    MissingBlock,  // no block of the same kind and origin where the next one should be
    Cycle,         // the next block is one this chain already holds
    SharedBlock,   // the next block belongs to a chain found earlier
};

struct RecoveredMessage {
    enum class Kind { Orphaned, Deleted };
    Kind kind = Kind::Orphaned;
    std::uint64_t dataOffset = 0;  // first block's position in the file as it is
    std::uint64_t size = 0;        // text bytes, lost ones (each shown as "????") included
    std::uint64_t lostBytes = 0;   // of those, bytes overwritten by deleted blocks' fields
    // Whole from its first header line to its last block; false for anything cut
    // short, looped or starting in the middle of a message.
    bool complete = false;

    // How the text is read back, so that it comes out exactly as counted.
    std::uint64_t blockCount = 0;
    std::int64_t shift = 0;  // offsets stored in its blocks minus their positions here
    ChainEnd end = ChainEnd::Whole;
    bool startsLikeMessage = false;  // the first block opens with a header line
};

struct ScanOptions {
    // Bytes read at a time (at least 4096).
    std::size_t windowSize = 1u << 20;
    // Called after each window with the bytes done and the file size; returning
    // false stops the scan (RecoveryScan::cancelled, no messages).
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
};

struct RecoveryScan {
    // Orphaned and deleted messages in the order of their first blocks.
    std::vector<RecoveredMessage> messages;
    std::uint64_t liveBlocks = 0;     // block headers found, of live blocks
    std::uint64_t deletedBlocks = 0;  // and of deleted ones
    // Blocks whose stored offset matched no other block's: too weak a sign on their
    // own to count (a file without its start keeps every block's offset shift).
    std::uint64_t ignoredBlocks = 0;
    std::uint64_t listedFound = 0;  // listed offsets where a live chain starts
    // The header's free list (0 without a header): its first block, and whether a
    // deleted block is there.
    std::uint32_t freeListHead = 0;
    bool freeListHeadFound = false;
    bool cancelled = false;
};

// Scans the whole source for data blocks at every 4-byte-aligned offset, chains
// them and reports every chain that does not start at one of listedOffsets (the
// first data blocks the folder's index reaches).
RecoveryScan scanForMessages(const ByteSource& source, std::span<const std::uint64_t> listedOffsets,
                             const ScanOptions& options = {});

// The text of a message the scan found: lost runs as "????", at most maxBytes.
// Memory is taken for the text's size only. Shorter when the source has changed
// since the scan.
std::string readRecoveredText(const ByteSource& source, const RecoveredMessage& message,
                              std::uint64_t maxBytes = UINT64_MAX);

// The chain that starts with the block at dataOffset, followed on its own (without a
// scan): for reading a message by the offset a scan reported. Nothing when no data
// block is there. Unlike the scan it does not know other chains, so where the scan
// ended a chain at a block another chain holds, this one goes on.
std::optional<RecoveredMessage> describeChainAt(const ByteSource& source, std::uint64_t dataOffset);
std::optional<std::string> readTextAt(const ByteSource& source, std::uint64_t dataOffset);

// A quick look at a recovered message's own header lines.
struct RecoveredMessageHeaders {
    std::string from;
    std::string to;
    std::string subject;
    std::string date;
};

// How far into a message its header lines are looked for.
inline constexpr std::uint64_t HeaderLookLimit = 64 * 1024;

// Turns a raw, unfolded field value into the text to show (RFC 2047 words and the
// code page are the caller's business). Without one the raw bytes are given.
using HeaderValueDecoder = std::function<std::string(std::string_view raw)>;

// The first From, To, Subject and Date fields of the header lines at the start of
// text (up to the first empty line), unfolded and trimmed.
RecoveredMessageHeaders parseRecoveredHeaders(std::string_view text,
                                              const HeaderValueDecoder& decode = {});
RecoveredMessageHeaders readRecoveredHeaders(const ByteSource& source,
                                             const RecoveredMessage& message,
                                             const HeaderValueDecoder& decode = {});

}  // namespace lumbrook
