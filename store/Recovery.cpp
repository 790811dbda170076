#include "store/Recovery.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "base/Ascii.h"
#include "store/DbxLayout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumbrook {

namespace {

// ---- one block

using dbx::DeletedHeaderSize;
using dbx::DeletedMark;
using dbx::DeletedSizeField;
using dbx::LiveMark;
constexpr std::uint64_t DataBlockSize = dbx::BlockSize;
constexpr std::uint64_t DataBlockHeaderSize = dbx::BlockHeaderSize;
constexpr std::uint64_t DataBlockCapacity = dbx::BlockTextSize;
constexpr std::uint64_t DeletedDataSize = DataBlockSize - DeletedHeaderSize;  // 508
constexpr std::uint64_t LostPerBlock = LostBytesMark.size();

enum class BlockKind : std::uint8_t { Live, Deleted };

struct BlockHeader {
    BlockKind kind = BlockKind::Live;
    std::uint32_t self = 0;
    std::uint32_t next = 0;
    std::uint32_t used = 0;  // live blocks only
};

inline std::uint32_t load32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// The block header in the avail bytes at p, if they hold one.
std::optional<BlockHeader> parseHeader(const std::uint8_t* p, std::uint64_t avail) {
    if (avail < DataBlockHeaderSize) return std::nullopt;
    const std::uint32_t self = load32(p + dbx::BlockSelfAt);
    const std::uint32_t mark = load32(p + dbx::BlockMarkAt);
    const std::uint32_t sizeField = load32(p + dbx::BlockUsedAt);
    const std::uint32_t next = load32(p + dbx::BlockNextAt);
    if ((self & 3) != 0 || (next & 3) != 0 || self < dbx::FileHeaderSize) return std::nullopt;
    if (mark == LiveMark && sizeField >= 1 && sizeField <= DataBlockCapacity)
        return BlockHeader{BlockKind::Live, self, next, sizeField};
    if (mark == DeletedMark && sizeField == DeletedSizeField && avail >= DeletedHeaderSize)
        return BlockHeader{BlockKind::Deleted, self, next, 0};
    return std::nullopt;
}

// The data bytes of a deleted block up to its last non-zero one: the end of the text
// when it is the last block (the zeros after a message's end are not text).
std::uint32_t deletedTailLength(const std::uint8_t* data, std::uint64_t avail) {
    std::uint64_t n = std::min(avail, DeletedDataSize);
    while (n > 0 && data[n - 1] == 0) --n;
    return static_cast<std::uint32_t>(n);
}

// The text bytes a block gives in a file of fileSize bytes; truncated when the file
// ends inside the block.
struct BlockText {
    std::uint64_t length = 0;
    bool truncated = false;
};

bool blockTruncated(std::uint64_t fileSize, std::uint64_t pos, BlockKind kind, std::uint32_t used) {
    if (kind == BlockKind::Live) return fileSize - (pos + DataBlockHeaderSize) < used;
    return fileSize - (pos + DeletedHeaderSize) < DeletedDataSize;
}

// Only called when the header lies wholly inside the file.
BlockText blockText(std::uint64_t fileSize, std::uint64_t pos, BlockKind kind, std::uint32_t used,
                    std::uint32_t tailLength, bool last) {
    if (kind == BlockKind::Live) {
        const std::uint64_t avail = fileSize - (pos + DataBlockHeaderSize);
        return {std::min<std::uint64_t>(used, avail), avail < used};
    }
    const std::uint64_t avail = fileSize - (pos + DeletedHeaderSize);
    const std::uint64_t data = last ? tailLength : std::min(avail, DeletedDataSize);
    return {LostPerBlock + data, avail < DeletedDataSize};
}

bool isFieldNameByte(std::uint8_t c) { return c > 32 && c < 127 && c != ':'; }

// "Name:" at the start of a line, with at least minName name bytes.
bool headerLineAt(const std::uint8_t* text, std::size_t len, std::size_t minName) {
    std::size_t i = 0;
    while (i < len && isFieldNameByte(text[i])) ++i;
    return i >= minName && i < len && text[i] == ':';
}

// Whether a chain's first block opens as a message does, with a header line. A
// deleted block lost its first four bytes, perhaps the whole field name, so there
// the rest of the first line or the whole second line has to look like one.
bool opensLikeMessage(const std::uint8_t* text, std::size_t len, bool firstBytesLost) {
    if (!firstBytesLost) return headerLineAt(text, len, 1);
    if (headerLineAt(text, len, 0)) return true;
    const void* lineEnd = std::memchr(text, '\n', len);
    if (lineEnd == nullptr) return false;
    const std::size_t second = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineEnd) - text) + 1;
    if (second >= len) return false;
    return text[second] == ' ' || text[second] == '\t' ||
           headerLineAt(text + second, len - second, 1);
}

// Reads a chain's blocks through one buffer that grows while the reads go on, so that
// the blocks of a message lying in a row come from few reads.
class ChunkReader {
public:
    explicit ChunkReader(const ByteSource& source) : source(source) {}

    // The bytes [off, off + want) as far as the source holds them.
    std::span<const std::uint8_t> get(std::uint64_t off, std::size_t want) {
        if (off >= start && off - start <= count && count - (off - start) >= want)
            return {buffer.data() + (off - start), want};
        const std::size_t len = std::max(want, nextRead);
        nextRead = std::min<std::size_t>(nextRead * 2, MaxRead);
        if (buffer.size() < len) buffer.resize(len);
        start = off;
        count = source.readAt(off, buffer.data(), len);
        return {buffer.data(), std::min(count, want)};
    }

private:
    static constexpr std::size_t MaxRead = 1u << 20;
    const ByteSource& source;
    std::vector<std::uint8_t> buffer;
    std::uint64_t start = 0;
    std::size_t count = 0;
    std::size_t nextRead = 4096;
};

// ---- the scan's record of each block found

struct Candidate {
    std::uint64_t pos = 0;
    std::uint32_t self = 0;
    std::uint32_t next = 0;
    std::uint16_t length = 0;  // live: used; deleted: data bytes up to the last non-zero
    BlockKind kind = BlockKind::Live;
    std::uint8_t flags = 0;

    std::int64_t shift() const { return std::int64_t(self) - std::int64_t(pos); }
};

constexpr std::uint8_t OpensLikeMessage = 1;
constexpr std::uint8_t Accepted = 2;
constexpr std::uint8_t HasPredecessor = 4;
constexpr std::uint8_t Listed = 8;

// Successor codes beside candidate indexes.
constexpr std::uint32_t NoSuccessor = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t SuccessorOutside = NoSuccessor - 1;
constexpr std::uint32_t SuccessorMissing = NoSuccessor - 2;
constexpr std::uint32_t MaxCandidates = NoSuccessor - 3;

// A decision at one offset looks at most this far ahead: a block and the header of
// a block that may start just before its end.
constexpr std::size_t ScanLookahead = DataBlockSize + 24;

// The first offset from i on (4 at a time, below end) whose second word is a block
// mark; end when there is none. Four offsets per step where the processor allows:
// almost every word of a file is text, and this loop is most of the scan's time.
std::size_t skipPlainWords(const std::uint8_t* buf, std::size_t i, std::size_t end) {
#if defined(__SSE2__)
    const __m128i live = _mm_set1_epi32(static_cast<int>(LiveMark));
    const __m128i deleted = _mm_set1_epi32(static_cast<int>(DeletedMark));
    while (i + 16 <= end) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i + dbx::BlockMarkAt));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi32(words, live), _mm_cmpeq_epi32(words, deleted));
        if (_mm_movemask_epi8(hits) != 0) break;
        i += 16;
    }
#endif
    while (i < end) {
        const std::uint32_t mark = load32(buf + i + dbx::BlockMarkAt);
        if (mark == LiveMark || mark == DeletedMark) break;
        i += 4;
    }
    return i;
}

std::optional<BlockHeader> strongHeaderAt(const std::uint8_t* buf, std::size_t i, std::size_t n,
                                          std::uint64_t pos) {
    const auto header = parseHeader(buf + i, n - i);
    if (header && header->self == pos) return header;
    return std::nullopt;
}

void recordCandidate(std::vector<Candidate>& found, const BlockHeader& header, std::uint64_t pos,
                     const std::uint8_t* block, std::uint64_t avail) {
    Candidate c;
    c.pos = pos;
    c.self = header.self;
    c.next = header.next;
    c.kind = header.kind;
    if (header.kind == BlockKind::Live) {
        c.length = static_cast<std::uint16_t>(header.used);
        const std::uint64_t text = std::min<std::uint64_t>(header.used, avail - DataBlockHeaderSize);
        if (opensLikeMessage(block + DataBlockHeaderSize, text, false)) c.flags |= OpensLikeMessage;
    } else {
        const std::uint32_t tail = deletedTailLength(block + DeletedHeaderSize, avail - DeletedHeaderSize);
        c.length = static_cast<std::uint16_t>(tail);
        if (opensLikeMessage(block + DeletedHeaderSize, tail, true)) c.flags |= OpensLikeMessage;
    }
    found.push_back(c);
}

// Every block header at a 4-aligned offset. A block covers 528 bytes, so the search
// goes on after its end. A header whose stored offset is not its own position is a
// weaker sign than one that is: when such a header lies within a block's length
// before a header that names its own position, the first is taken for noise.
// fileSize comes back lowered when the source gives fewer bytes than it claimed.
bool findBlocks(const ByteSource& source, std::uint64_t& fileSize, const ScanOptions& options,
                std::vector<Candidate>& found) {
    std::size_t window = std::max<std::size_t>(options.windowSize, 4096) & ~std::size_t{3};
    // A small file gets a buffer of its size (and the decisions stay the same: a
    // window holding the whole file is the last one).
    if (fileSize < window) window = std::max<std::size_t>(4096, (fileSize + 3) & ~std::uint64_t{3});
    auto buf = std::make_unique_for_overwrite<std::uint8_t[]>(window);
    std::uint64_t pos = 0;
    while (pos < fileSize && fileSize - pos >= DataBlockHeaderSize) {
        const std::size_t n = source.readAt(pos, buf.get(), window);
        const bool atEnd = n < window || fileSize - pos <= n;
        if (n < window && pos + n < fileSize) fileSize = pos + n;  // unreadable rest: the end
        const std::size_t limit = atEnd ? n : n - ScanLookahead;
        const std::uint8_t* b = buf.get();
        // Offsets below quickEnd have their whole mark word in the buffer.
        const std::size_t quickEnd = std::min(limit, n >= 8 ? n - 7 : 0);
        std::size_t i = 0;
        while (i < limit) {
            i = skipPlainWords(b, i, quickEnd);
            if (i >= limit) break;
            if (n - i < DataBlockHeaderSize) {
                i = n;
                break;
            }
            const std::uint32_t mark = load32(b + i + dbx::BlockMarkAt);
            if (mark != LiveMark && mark != DeletedMark) {
                i += 4;
                continue;
            }
            const auto header = parseHeader(b + i, n - i);
            if (!header) {
                i += 4;
                continue;
            }
            const std::uint64_t at = pos + i;
            if (header->self != at) {
                std::size_t j = i + 4;
                const std::size_t stop = std::min<std::size_t>(n, i + DataBlockSize);
                while (j < stop && !strongHeaderAt(b, j, n, pos + j)) j += 4;
                if (j < stop) {
                    i = j;
                    continue;
                }
            }
            // One block per 528 bytes: only a file of over 2 TB could get here.
            if (found.size() >= MaxCandidates) return false;
            recordCandidate(found, *header, at, b + i, std::min<std::uint64_t>(n - i, DataBlockSize));
            i += DataBlockSize;
        }
        pos += i;
        if (options.progress && !options.progress(std::min(pos, fileSize), fileSize)) return false;
        if (atEnd) break;
    }
    return true;
}

std::size_t findCandidate(const std::vector<Candidate>& found, std::uint64_t pos) {
    const auto it = std::lower_bound(found.begin(), found.end(), pos,
                                     [](const Candidate& c, std::uint64_t p) { return c.pos < p; });
    if (it == found.end() || it->pos != pos) return found.size();
    return static_cast<std::size_t>(it - found.begin());
}

// Where a block's next offset leads in this file: a candidate index or a code.
std::uint32_t successorOf(const std::vector<Candidate>& found, std::size_t index,
                          std::uint64_t fileSize) {
    const Candidate& c = found[index];
    if (c.next == 0) return NoSuccessor;
    const std::int64_t target = std::int64_t(c.next) - c.shift();
    if (target < 0 || std::uint64_t(target) > fileSize ||
        fileSize - std::uint64_t(target) < DataBlockHeaderSize)
        return SuccessorOutside;
    // Most blocks of a message lie in a row.
    const bool adjacent = index + 1 < found.size() && found[index + 1].pos == std::uint64_t(target);
    const std::size_t k = adjacent ? index + 1 : findCandidate(found, std::uint64_t(target));
    if (k == found.size()) return SuccessorMissing;
    const Candidate& t = found[k];
    if ((t.flags & Accepted) == 0 || t.kind != c.kind || t.self != c.next) return SuccessorMissing;
    return static_cast<std::uint32_t>(k);
}

RecoveredMessage::Kind messageKind(BlockKind kind) {
    return kind == BlockKind::Deleted ? RecoveredMessage::Kind::Deleted
                                      : RecoveredMessage::Kind::Orphaned;
}

void finish(RecoveredMessage& m) {
    m.complete = m.end == ChainEnd::Whole && m.startsLikeMessage;
}

}  // namespace

// ---- the scan

RecoveryScan scanForMessages(const ByteSource& source, std::span<const std::uint64_t> listedOffsets,
                             const ScanOptions& options) {
    RecoveryScan scan;
    std::uint64_t fileSize = source.size();
    // A file that has lost its start has no header to take a free list from.
    std::uint8_t header[dbx::FreeListHeadAt + 4];
    if (source.readAt(0, header, sizeof header) == sizeof header && load32(header + dbx::SignatureAt) == dbx::Signature)
        scan.freeListHead = load32(header + dbx::FreeListHeadAt);

    std::vector<Candidate> found;
    if (!findBlocks(source, fileSize, options, found)) {
        scan.cancelled = true;
        return scan;
    }

    // Blocks that name their own position belong to the file as it is; others count
    // only when another block shares their shift (a lost start, a copied region).
    std::unordered_map<std::int64_t, std::uint32_t> shiftCounts;
    for (const Candidate& c : found)
        if (c.self != c.pos) ++shiftCounts[c.shift()];
    for (Candidate& c : found) {
        if (c.self == c.pos || shiftCounts[c.shift()] >= 2) {
            c.flags |= Accepted;
            (c.kind == BlockKind::Live ? scan.liveBlocks : scan.deletedBlocks) += 1;
        } else {
            ++scan.ignoredBlocks;
        }
    }
    shiftCounts.clear();

    for (const std::uint64_t offset : listedOffsets) {
        const std::size_t k = findCandidate(found, offset);
        if (k == found.size()) continue;
        Candidate& c = found[k];
        if ((c.flags & (Accepted | Listed)) == Accepted && c.kind == BlockKind::Live) {
            c.flags |= Listed;
            ++scan.listedFound;
        }
    }
    if (scan.freeListHead != 0) {
        const std::size_t k = findCandidate(found, scan.freeListHead);
        scan.freeListHeadFound = k < found.size() && found[k].kind == BlockKind::Deleted &&
                                 (found[k].flags & Accepted) != 0;
    }

    std::vector<std::uint32_t> successor(found.size(), NoSuccessor);
    for (std::size_t k = 0; k < found.size(); ++k) {
        if ((found[k].flags & Accepted) == 0) continue;
        successor[k] = successorOf(found, k, fileSize);
        if (successor[k] < found.size()) found[successor[k]].flags |= HasPredecessor;
    }

    // Chains claim their blocks in turn: the index's first, then every block nothing
    // points to, then what is left (rings without a start). A block already claimed
    // ends the chain that reaches it.
    std::vector<std::uint32_t> owner(found.size(), 0);
    std::uint32_t chainCount = 0;
    auto walk = [&](std::size_t start, bool report) {
        const std::uint32_t chain = ++chainCount;
        RecoveredMessage m;
        m.kind = messageKind(found[start].kind);
        m.dataOffset = found[start].pos;
        m.shift = found[start].shift();
        m.startsLikeMessage = (found[start].flags & OpensLikeMessage) != 0;
        std::size_t k = start;
        for (;;) {
            owner[k] = chain;
            ++m.blockCount;
            const Candidate& c = found[k];
            bool last = true;
            std::size_t nextIndex = 0;
            if (blockTruncated(fileSize, c.pos, c.kind, c.length)) {
                m.end = ChainEnd::FileEnds;
            } else {
                const std::uint32_t s = successor[k];
                if (s == NoSuccessor) m.end = ChainEnd::Whole;
                else if (s == SuccessorOutside) m.end = ChainEnd::OutsideFile;
                else if (s == SuccessorMissing) m.end = ChainEnd::MissingBlock;
                else if (owner[s] == chain) m.end = ChainEnd::Cycle;
                else if (owner[s] != 0) m.end = ChainEnd::SharedBlock;
                else {
                    last = false;
                    nextIndex = s;
                }
            }
            m.size += blockText(fileSize, c.pos, c.kind, c.length, c.length, last).length;
            if (c.kind == BlockKind::Deleted) m.lostBytes += LostPerBlock;
            if (last) break;
            k = nextIndex;
        }
        finish(m);
        if (report) scan.messages.push_back(m);
    };
    for (std::size_t k = 0; k < found.size(); ++k)
        if ((found[k].flags & Listed) != 0 && owner[k] == 0) walk(k, false);
    for (std::size_t k = 0; k < found.size(); ++k)
        if ((found[k].flags & (Accepted | HasPredecessor)) == Accepted && owner[k] == 0) walk(k, true);
    for (std::size_t k = 0; k < found.size(); ++k)
        if ((found[k].flags & Accepted) != 0 && owner[k] == 0) walk(k, true);

    std::sort(scan.messages.begin(), scan.messages.end(),
              [](const RecoveredMessage& a, const RecoveredMessage& b) { return a.dataOffset < b.dataOffset; });
    return scan;
}

// ---- reading a chain back

std::string readRecoveredText(const ByteSource& source, const RecoveredMessage& message,
                              std::uint64_t maxBytes) {
    const std::uint64_t fileSize = source.size();
    const std::uint64_t limit = std::min(message.size, maxBytes);
    std::string text;
    text.resize(static_cast<std::size_t>(limit));
    std::size_t written = 0;
    const BlockKind kind =
        message.kind == RecoveredMessage::Kind::Deleted ? BlockKind::Deleted : BlockKind::Live;
    ChunkReader reader(source);
    std::uint64_t pos = message.dataOffset;
    for (std::uint64_t k = 0; k < message.blockCount && written < limit; ++k) {
        if (pos >= fileSize) break;
        const auto bytes = reader.get(pos, static_cast<std::size_t>(std::min(DataBlockSize, fileSize - pos)));
        const auto header = parseHeader(bytes.data(), bytes.size());
        if (!header || header->kind != kind || std::int64_t(header->self) - std::int64_t(pos) != message.shift)
            break;
        const bool last = k + 1 == message.blockCount;
        const std::uint8_t* data;
        std::uint64_t dataLength;
        if (kind == BlockKind::Live) {
            data = bytes.data() + DataBlockHeaderSize;
            dataLength = blockText(fileSize, pos, kind, header->used, 0, last).length;
        } else {
            data = bytes.data() + DeletedHeaderSize;
            const std::uint32_t tail = deletedTailLength(data, bytes.size() - DeletedHeaderSize);
            dataLength = blockText(fileSize, pos, kind, 0, tail, last).length - LostPerBlock;
            const std::size_t mark = static_cast<std::size_t>(std::min<std::uint64_t>(LostPerBlock, limit - written));
            std::memcpy(text.data() + written, LostBytesMark.data(), mark);
            written += mark;
        }
        const std::size_t copy = static_cast<std::size_t>(std::min<std::uint64_t>(dataLength, limit - written));
        if (copy > 0) std::memcpy(text.data() + written, data, copy);
        written += copy;
        if (header->next == 0) break;
        const std::int64_t target = std::int64_t(header->next) - message.shift;
        if (target < 0) break;
        pos = std::uint64_t(target);
    }
    text.resize(written);
    return text;
}

std::optional<RecoveredMessage> describeChainAt(const ByteSource& source, std::uint64_t dataOffset) {
    const std::uint64_t fileSize = source.size();
    if (dataOffset >= fileSize) return std::nullopt;
    ChunkReader reader(source);
    auto headerAt = [&](std::uint64_t pos) {
        const auto bytes = reader.get(pos, static_cast<std::size_t>(std::min(DataBlockSize, fileSize - pos)));
        return parseHeader(bytes.data(), bytes.size());
    };
    const auto first = headerAt(dataOffset);
    if (!first) return std::nullopt;

    RecoveredMessage m;
    m.kind = messageKind(first->kind);
    m.dataOffset = dataOffset;
    m.shift = std::int64_t(first->self) - std::int64_t(dataOffset);
    std::unordered_set<std::uint64_t> visited;
    std::uint64_t pos = dataOffset;
    BlockHeader header = *first;
    // Blocks cannot overlap, so a chain holds at most one block per 528 bytes.
    const std::uint64_t maxBlocks = fileSize / DataBlockSize + 1;
    for (;;) {
        visited.insert(pos);
        ++m.blockCount;
        const auto bytes = reader.get(pos, static_cast<std::size_t>(std::min(DataBlockSize, fileSize - pos)));
        std::uint32_t tail = 0;
        if (header.kind == BlockKind::Deleted)
            tail = deletedTailLength(bytes.data() + DeletedHeaderSize, bytes.size() - DeletedHeaderSize);
        if (m.blockCount == 1) {
            const bool lost = header.kind == BlockKind::Deleted;
            const std::uint64_t offset = lost ? DeletedHeaderSize : DataBlockHeaderSize;
            const std::uint64_t length =
                lost ? tail : std::min<std::uint64_t>(header.used, bytes.size() - offset);
            m.startsLikeMessage = opensLikeMessage(bytes.data() + offset, length, lost);
        }
        bool last = true;
        std::uint64_t nextPos = 0;
        std::optional<BlockHeader> nextHeader;
        if (blockTruncated(fileSize, pos, header.kind, header.used)) {
            m.end = ChainEnd::FileEnds;
        } else if (header.next == 0) {
            m.end = ChainEnd::Whole;
        } else {
            const std::int64_t target = std::int64_t(header.next) - m.shift;
            if (target < 0 || std::uint64_t(target) > fileSize ||
                fileSize - std::uint64_t(target) < DataBlockHeaderSize) {
                m.end = ChainEnd::OutsideFile;
            } else if (visited.count(std::uint64_t(target)) != 0) {
                m.end = ChainEnd::Cycle;
            } else {
                nextPos = std::uint64_t(target);
                const std::uint64_t gap = nextPos > pos ? nextPos - pos : pos - nextPos;
                if (gap >= DataBlockSize && m.blockCount < maxBlocks) nextHeader = headerAt(nextPos);
                if (nextHeader && nextHeader->kind == header.kind && nextHeader->self == header.next)
                    last = false;
                else
                    m.end = ChainEnd::MissingBlock;
            }
        }
        m.size += blockText(fileSize, pos, header.kind, header.used, tail, last).length;
        if (header.kind == BlockKind::Deleted) m.lostBytes += LostPerBlock;
        if (last) break;
        pos = nextPos;
        header = *nextHeader;
    }
    finish(m);
    return m;
}

std::optional<std::string> readTextAt(const ByteSource& source, std::uint64_t dataOffset) {
    const auto message = describeChainAt(source, dataOffset);
    if (!message) return std::nullopt;
    return readRecoveredText(source, *message);
}

// ---- header lines

namespace {

// Blanks before, and blanks and CRs after: the lines hold no LF.
std::string_view trimmed(std::string_view s) { return trimRight(trimLeft(s, isBlank), isBlankOrLineEnd); }

}  // namespace

RecoveredMessageHeaders parseRecoveredHeaders(std::string_view text, const HeaderValueDecoder& decode) {
    RecoveredMessageHeaders headers;
    std::string* fields[] = {&headers.from, &headers.to, &headers.subject, &headers.date};
    constexpr std::string_view names[] = {"from", "to", "subject", "date"};
    bool seen[4] = {};
    std::string* current = nullptr;  // the field whose continuation lines are being joined
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;  // the end of the header lines
        if (isBlank(line.front())) {
            if (current != nullptr) current->append(line);
            continue;
        }
        current = nullptr;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = trimmed(line.substr(0, colon));
        for (std::size_t f = 0; f < 4; ++f) {
            if (seen[f] || !equalsNoCase(name, names[f])) continue;
            seen[f] = true;
            current = fields[f];
            current->assign(line.substr(colon + 1));
            break;
        }
    }
    for (std::string* field : fields) {
        *field = std::string(trimmed(*field));
        if (decode && !field->empty()) *field = decode(*field);
    }
    return headers;
}

RecoveredMessageHeaders readRecoveredHeaders(const ByteSource& source, const RecoveredMessage& message,
                                             const HeaderValueDecoder& decode) {
    return parseRecoveredHeaders(readRecoveredText(source, message, HeaderLookLimit), decode);
}

}  // namespace lumbrook
