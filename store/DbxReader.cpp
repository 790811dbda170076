#include "store/DbxReader.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <map>
#include <type_traits>
#include <unordered_set>
#include <utility>

#include "base/FileTime.h"
#include "store/DbxLayout.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {

using namespace dbx;

// Read-ahead sizes. A node header is followed by its entry table (at most 51
// entries in files written by Outlook Express), so one read usually brings both.
// Records lie in runs, so a few KB bring several.
constexpr std::size_t NodeReadAhead = NodeHeaderSize + 64 * EntrySize;
constexpr std::size_t TableReadAhead = 8 * 1024;
constexpr std::size_t RecordReadAhead = 4 * 1024;
constexpr std::size_t BlockReadAheadFirst = 8 * BlockSize;
constexpr std::size_t BlockReadAheadMax = 256 * 1024;
// The most a message's text is given before it is read: a record's size is not
// believed further.
constexpr std::size_t TextReserveMax = std::size_t{64} << 20;

// What a data-area entry finds at position V. An entry whose datum does not lie
// wholly inside the data area that was read (V at or past its end, or a number
// that runs over it) is skipped as if it were not there: the field keeps the
// value it had. A text without a zero byte runs to the end of the data area.
bool textAt(const ByteReader& data, std::uint32_t v, std::string& field) {
    if (v >= data.size()) return false;
    std::string_view text = data.zeroTerminatedAt(v);
    field.assign(text.data(), text.size());
    return true;
}

// Walk limits that a sound file never reaches: its entries occupy distinct bytes
// and its texts lie side by side, so their totals cannot exceed the file's size.
// A damaged file whose nodes share entry tables, or whose entries point at the
// same long text again and again, could otherwise make the list grow without
// bound; when either budget runs out the walk ends with what it has.
// The bytes read are bounded as well: a sound file reads each node and record
// once, with some read-ahead around it; a damaged one whose records overlap (a
// record inside another's data area) could otherwise read the same megabytes for
// every one of them.
struct WalkBudget {
    std::uint64_t entries;
    std::uint64_t textBytes;
    std::uint64_t readBytes;
    explicit WalkBudget(std::uint64_t fileSize)
        : entries(fileSize / EntrySize + 1),
          textBytes(4 * fileSize + 64 * 1024),
          readBytes(16 * fileSize + 4 * 1024 * 1024) {}
};

// Folder records of "folders.dbx".
struct FolderKind {
    using Record = FolderInfo;
    static constexpr std::array<std::uint8_t, 2> TextIds = {0x02, 0x03};

    // Only records that name a file (0x03) or carry 0x06 are folders of their own.
    static bool accept(const ByteReader& table, std::size_t words) {
        for (std::size_t i = 0; i < words; ++i) {
            std::uint8_t id = *table.u8At(i * 4);
            if (id == 0x03 || id == 0x06) return true;
        }
        return false;
    }

    static void apply(Record& r, std::uint8_t id, std::uint32_t v, const ByteReader& data) {
        switch (id) {
            case 0x02:
                textAt(data, v, r.name);
                break;
            case 0x03:
                textAt(data, v, r.fileName);
                break;
            case 0x80:
                r.folderId = static_cast<std::int32_t>(v);
                break;
            case 0x81:
                r.parentId = static_cast<std::int32_t>(v);
                break;
            case 0x89:
                r.isSpecial = true;
                break;
            default:
                break;
        }
    }
};

// Message records of every other file.
struct MessageKind {
    using Record = MessageInfo;
    // The texts a message record may hold, the ones not kept included: the walk's
    // budget counts them all, so the records a damaged file gives do not depend on
    // which fields the program keeps.
    static constexpr std::array<std::uint8_t, 10> TextIds = {0x07, 0x08, 0x09, 0x0A, 0x0B,
                                                             0x0D, 0x0E, 0x13, 0x1A, 0x1B};

    static bool accept(const ByteReader&, std::size_t) { return true; }

    static void apply(Record& r, std::uint8_t id, std::uint32_t v, const ByteReader& data) {
        switch (id) {
            case 0x01:
                if (auto value = data.u32At(v)) r.flags = *value;
                break;
            case 0x10:
                if (auto value = data.u32At(v)) r.priority = *value;
                break;
            case 0x90:
                r.priority = v;
                break;
            case 0x04:
                if (auto value = data.i32At(v)) r.dataOffset = *value;
                break;
            case 0x08:
                textAt(data, v, r.subject);
                break;
            case 0x0D:
                textAt(data, v, r.from);
                break;
            case 0x12:
                if (auto value = data.u64At(v)) r.date = *value;
                break;
            case 0x13:
                textAt(data, v, r.to);
                break;
            case 0x81:
                r.flags = v;
                break;
            case 0x84:
                r.dataOffset = static_cast<std::int32_t>(v);
                break;
            case 0x91:
                r.entry91 = static_cast<std::int32_t>(v);
                break;
            default:
                break;
        }
    }
};

// The state of one operation on a .dbx source: the header values, the visited
// nodes of the walk and the read-ahead windows. Lives only as long as the
// operation.
class DbxReader {
  public:
    explicit DbxReader(const ByteSource& source)
        : source(source), nodeWindow(source), recordWindow(source) {
        // A file too short to hold the count is empty, like a count of zero.
        ByteReader head = recordWindow.read(0, HeaderItemCountAt + 4);
        itemCount = head.i32At(HeaderItemCountAt).value_or(0);
        startNode = head.i32At(HeaderStartNodeAt).value_or(0);
    }

    template <typename Kind>
    std::vector<typename Kind::Record> readIndex() {
        std::vector<typename Kind::Record> list;
        if (itemCount <= 0) return list;
        WalkBudget budget(source.size());
        walkIndexNode<Kind>(startNode, list, budget);
        return list;
    }

  private:
    template <typename Kind>
    void walkIndexNode(std::int32_t start, std::vector<typename Kind::Record>& list,
                       WalkBudget& budget);
    template <typename Kind>
    void decodeRecord(std::int32_t recordAt, std::vector<typename Kind::Record>& list,
                      WalkBudget& budget);

    const ByteSource& source;
    ReadWindow nodeWindow;
    ReadWindow recordWindow;
    std::int32_t itemCount = 0;
    std::int32_t startNode = 0;
    std::unordered_set<std::int32_t> visited;
    // Record offsets already decoded: an index that lists one record again and
    // again yields it once, and reads it once.
    std::unordered_set<std::int32_t> decoded;
};

// The walk visits a node's first link, then its second link, then its entries in
// order, each entry's record before the entry's child node, as a recursion would.
// It runs on an explicit stack instead of the call stack, so any depth the file
// describes is walked: a chain of a million nodes costs a million small frames,
// not a stack overflow. A node counts as visited once its self check passes; a
// link to a visited node is not followed, which ends every cycle.
template <typename Kind>
void DbxReader::walkIndexNode(std::int32_t start, std::vector<typename Kind::Record>& list,
                               WalkBudget& budget) {
    enum class Step : std::uint8_t { FirstLink, SecondLink, Entries };
    struct Frame {
        std::int32_t node;
        std::int32_t firstLink;
        std::int32_t secondLink;
        std::uint32_t count;
        std::uint32_t next;
        Step step;
    };
    std::vector<Frame> stack;

    auto enter = [&](std::int32_t p) {
        if (p <= 0 || visited.contains(p)) return;
        // A node cut short by the end of the file fails its self check.
        ByteReader head =
            nodeWindow.read(static_cast<std::uint64_t>(p), NodeHeaderSize, NodeReadAhead);
        if (!head.has(0, NodeHeaderSize) || *head.i32At(NodeSelfAt) != p) return;
        visited.insert(p);
        stack.push_back({p, *head.i32At(NodeFirstLinkAt), *head.i32At(NodeSecondLinkAt),
                         *head.u24At(NodeCountAt), 0, Step::FirstLink});
    };

    enter(start);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.step == Step::FirstLink) {
            f.step = Step::SecondLink;
            enter(f.firstLink);  // may push: f is not used past this point
            continue;
        }
        if (f.step == Step::SecondLink) {
            f.step = Step::Entries;
            enter(f.secondLink);
            continue;
        }
        if (f.next >= f.count || budget.entries == 0 ||
            nodeWindow.bytesRead() + recordWindow.bytesRead() > budget.readBytes) {
            stack.pop_back();
            continue;
        }
        // The entry table is read in one piece (up to TableReadAhead bytes); after
        // a child's walk has moved the window, the rest of it is read again. An
        // entry table cut short by the end of the file ends with its last whole
        // entry.
        std::uint64_t at =
            static_cast<std::uint64_t>(f.node) + NodeHeaderSize + std::uint64_t(f.next) * EntrySize;
        std::size_t rest = std::size_t(f.count - f.next) * EntrySize;
        ByteReader entry = nodeWindow.read(at, EntrySize, std::min(rest, TableReadAhead));
        if (!entry.has(0, EntrySize)) {
            stack.pop_back();
            continue;
        }
        ++f.next;
        --budget.entries;
        std::int32_t record = *entry.i32At(EntryRecordAt);
        std::int32_t child = *entry.i32At(EntryChildAt);
        if (record > 0 && decoded.insert(record).second) {
            decodeRecord<Kind>(record, list, budget);
            if (budget.textBytes == 0) return;
        }
        enter(child);
    }
}

template <typename Kind>
void DbxReader::decodeRecord(std::int32_t recordAt, std::vector<typename Kind::Record>& list,
                              WalkBudget& budget) {
    const std::uint64_t at = static_cast<std::uint64_t>(recordAt);
    ByteReader head = recordWindow.read(at, RecordHeaderSize, RecordReadAhead);
    if (!head.has(0, RecordHeaderSize) || *head.i32At(RecordSelfAt) != recordAt) return;
    const std::int32_t length = *head.i32At(RecordLengthAt);
    const std::size_t words = *head.u8At(RecordCountAt);

    // The entry table always holds N words; the data area is what L leaves after
    // them. A body length smaller than 4N leaves no data area: direct values still
    // apply, entries that point into the data area find nothing.
    const std::size_t tableSize = words * 4;
    const std::size_t bodySize =
        std::max<std::size_t>(tableSize, length > 0 ? static_cast<std::size_t>(length) : 0);

    // The table alone decides whether the record is kept: the data area of one
    // that is dropped is never read. Cut short by the end of the file, the whole
    // entry words that were read apply.
    {
        ByteReader table = recordWindow.read(at + RecordHeaderSize, tableSize);
        if (!Kind::accept(table, std::min(words, table.size() / 4))) return;
    }
    ByteReader body = recordWindow.read(at + RecordHeaderSize, bodySize);
    const std::size_t wholeWords = std::min(words, body.size() / 4);
    ByteReader table = *body.subReader(0, wholeWords * 4);
    // The data area is the part of it that was read.
    ByteReader data;
    if (body.size() > tableSize) data = *body.subReader(tableSize, body.size() - tableSize);

    typename Kind::Record record;
    if constexpr (std::is_same_v<Kind, MessageKind>) record.recordOffset = recordAt;
    // Of each text field, the last text found counts, as it is the one a field keeps.
    std::array<std::size_t, Kind::TextIds.size()> textSizes{};
    for (std::size_t i = 0; i < wholeWords; ++i) {
        const std::uint32_t word = *table.u32At(i * 4);
        const auto id = static_cast<std::uint8_t>(word & 0xFF);
        const std::uint32_t v = word >> 8;
        Kind::apply(record, id, v, data);
        for (std::size_t t = 0; t < Kind::TextIds.size(); ++t) {
            if (Kind::TextIds[t] == id && v < data.size())
                textSizes[t] = data.zeroTerminatedAt(v).size();
        }
    }
    std::size_t text = 0;
    for (std::size_t size : textSizes) text += size;
    budget.textBytes -= std::min<std::uint64_t>(budget.textBytes, text);
    list.push_back(std::move(record));
}

}  // namespace

// One message's walk along its chain of data blocks, through the window.
class ChainWalk {
  public:
    ChainWalk(const ByteSource& source, ChainWindow& window, std::uint32_t expectedSize)
        : source(source), window(window), expectedSize(expectedSize) {}
    MessageText read(std::int32_t dataOffset, BlockClaims& claims);

  private:
    // The block at at, as far as the source holds it (shorter only at its end).
    ByteReader blockAt(std::uint64_t at);

    const ByteSource& source;
    ChainWindow& window;
    std::uint32_t expectedSize;
};

FolderList readFolderIndex(const ByteSource& source) {
    return DbxReader(source).readIndex<FolderKind>();
}

MessageList readMessageIndex(const ByteSource& source) {
    return DbxReader(source).readIndex<MessageKind>();
}

std::int32_t messageCountOfHeader(const ByteSource& source) {
    std::uint8_t head[4];
    if (source.readAt(HeaderItemCountAt, head, sizeof head) < sizeof head) return 0;
    return ByteReader(head, sizeof head).i32At(0).value_or(0);
}

std::string readMessageChain(const ByteSource& source, std::int32_t dataOffset) {
    return readMessage(source, dataOffset).text;
}

MessageText readMessage(const ByteSource& source, std::int32_t dataOffset, BlockClaims* claims,
                        ChainWindow* window, std::uint32_t expectedSize) {
    if (dataOffset <= 0) return {};
    BlockClaims ownClaims;
    ChainWindow ownWindow;
    return ChainWalk(source, window ? *window : ownWindow, expectedSize)
        .read(dataOffset, claims ? *claims : ownClaims);
}

// The blocks of a chain come out of the window, which is refilled at the block
// that is missing: with the message's expected size (at least BlockReadAheadFirst
// bytes) when the read jumps elsewhere in the file, with twice the last read (up
// to BlockReadAheadMax) when it goes on near where the last read ended, as it
// does within a message and from one message to the next when they lie in order.
// The window is reused, so its bytes are never zero-filled, and each message's
// text is appended to block by block.
//
// A chain is whole when its last block says so (next = 0). Everything else that
// ends it - a first block or a next block that is not there (outside the file,
// failing its self check), the file ending inside a block, a block this chain
// already holds, or one that another message of the folder holds - leaves the
// text read so far and says why it is not whole.
ByteReader ChainWalk::blockAt(std::uint64_t at) {
    ChainWindow& w = window;
    const std::uint64_t size = source.size();
    if (at >= w.start && at - w.start < w.count) {
        const std::size_t from = static_cast<std::size_t>(at - w.start);
        const std::size_t avail = w.count - from;
        if (avail >= BlockSize || w.start + w.count >= size)
            return ByteReader(w.buffer.get() + from, std::min(avail, BlockSize));
    }
    const bool near = w.count > 0 && at >= w.start && at - w.start < w.count + w.nextRun;
    if (near) {
        w.nextRun = std::min(2 * w.nextRun, BlockReadAheadMax);
    } else {
        // A message's blocks usually follow each other: the size its record gives
        // brings all of them at once.
        const std::size_t blocks = (std::size_t{expectedSize} + BlockTextSize - 1) / BlockTextSize;
        w.nextRun = std::clamp(blocks * BlockSize, BlockReadAheadFirst, BlockReadAheadMax);
    }
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(w.nextRun, size - at));
    if (w.capacity < want) {
        // Sized for the largest run at once when the reads go on in order.
        const std::size_t capacity = std::max(want, std::min(4 * want, BlockReadAheadMax));
        w.buffer.reset(new std::uint8_t[capacity]);  // no zero fill: every byte used is read
        w.capacity = capacity;
    }
    w.start = at;
    w.count = source.readAt(at, w.buffer.get(), want);
    return ByteReader(w.buffer.get(), std::min(w.count, BlockSize));
}

MessageText ChainWalk::read(std::int32_t dataOffset, BlockClaims& claims) {
    MessageText out;
    std::string& text = out.text;
    const auto damaged = [&](std::string problem) {
        out.whole = false;
        out.problem = std::move(problem);
    };
    if (!window.headerRead) {
        // A file too short to hold the count is empty, like a count of zero.
        std::uint8_t head[HeaderItemCountAt + 4];
        const std::size_t got = source.readAt(0, head, sizeof head);
        window.itemCount = ByteReader(head, got).i32At(HeaderItemCountAt).value_or(0);
        window.headerRead = true;
    }
    if (window.itemCount <= 0) {
        damaged("the file's header lists no messages");
        return out;
    }
    const std::uint32_t owner = claims.newOwner();
    // The size the record gives spares the string's regrowths, each a copy and,
    // for a big message, both the old and the new buffer held at once; a size the
    // record overstates is given back below.
    text.reserve(std::clamp<std::size_t>(expectedSize, BlockReadAheadFirst, TextReserveMax));

    std::int64_t d = dataOffset;
    bool first = true;
    while (d != 0) {
        if (d < 0 || static_cast<std::uint64_t>(d) >= source.size()) {
            damaged(std::string(first ? "the message's first block" : "the next block") +
                    " (offset " + std::to_string(d) + ") lies " +
                    (d < 0 ? "outside the file" : "past the end of the file"));
            break;
        }
        const std::uint64_t at = static_cast<std::uint64_t>(d);
        // Taken before anything is read: a block another message holds costs no
        // read, however many records point at it.
        if (auto state = claims.claim(at, owner); state != BlockClaims::Free) {
            damaged(state == BlockClaims::Own
                        ? "the chain loops back to the block at offset " + std::to_string(at)
                        : "the block at offset " + std::to_string(at) +
                              " belongs to another message of the folder");
            break;
        }
        // A block whose header is cut off by the end of the file fails its self
        // check. One whose text is cut off gives the text bytes that are there.
        const ByteReader block = blockAt(at);
        if (!block.has(0, BlockHeaderSize)) {
            damaged("the file ends inside the block at offset " + std::to_string(d));
            break;
        }
        if (*block.i32At(BlockSelfAt) != d) {
            damaged("there is no data block at offset " + std::to_string(d) +
                    (first ? "" : ", where the chain goes on"));
            break;
        }
        first = false;
        const std::int32_t used = *block.i32At(BlockUsedAt);
        const std::int32_t next = *block.i32At(BlockNextAt);
        if (used > 0) {
            const std::size_t wanted =
                std::min<std::size_t>(static_cast<std::size_t>(used), BlockTextSize);
            std::size_t take = std::min<std::size_t>(wanted, block.size() - BlockHeaderSize);
            const bool cut = take < wanted;
            const auto piece = *block.spanAt(BlockHeaderSize, take);
            if (const void* zero = std::memchr(piece.data(), 0, piece.size()))
                take = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) -
                                                piece.data());
            text.append(reinterpret_cast<const char*>(piece.data()), take);
            if (cut) {
                damaged("the file ends inside the block at offset " + std::to_string(d));
                break;
            }
        }
        d = next;
    }
    if (text.capacity() > 2 * text.size() + BlockReadAheadFirst) text.shrink_to_fit();
    return out;
}

// Runs of claimed bytes, one per stretch of adjacent blocks of one message (one
// run for the usual message whose blocks follow each other). Overlap, not just
// equal offsets, counts: blocks of a damaged chain that overlap would otherwise
// give the same bytes twice.
BlockClaims::State BlockClaims::claim(std::uint64_t d, std::uint32_t owner) {
    const std::uint64_t e = d + BlockSize;
    // The run before d: the last one taken when d follows it, else a search.
    auto next = last != runs.end() && last->second.end == d ? std::next(last) : runs.upper_bound(d);
    if (next != runs.end() && next->first < e) return next->second.owner == owner ? Own : Other;
    if (next != runs.begin()) {
        auto prev = std::prev(next);
        if (prev->second.end > d) return prev->second.owner == owner ? Own : Other;
        if (prev->second.end == d && prev->second.owner == owner) {
            prev->second.end = e;
            if (next != runs.end() && next->first == e && next->second.owner == owner) {
                prev->second.end = next->second.end;
                runs.erase(next);
            }
            last = prev;
            return Free;
        }
    }
    if (next != runs.end() && next->first == e && next->second.owner == owner) {
        const Run run = next->second;
        runs.erase(next);
        last = runs.emplace(d, Run{run.end, owner}).first;
        return Free;
    }
    last = runs.emplace(d, Run{e, owner}).first;
    return Free;
}

DateTime fileTimeToLocalDateTime(std::uint64_t fileTime) {
    using namespace std::chrono;
    constexpr sys_days DateTimeEpoch{year{1899} / December / 30};
    constexpr sys_days CalendarEnd{year{10000} / January / 1};

    // A record without entry 0x12 has a Date of 0. It stands for "no date", not for
    // a moment, so it is not shifted: it gives 1 January 1601, 00:00 in every zone
    // (shown as a bare date), where shifting would give a time before the start of
    // the file-time scale west of UTC.
    milliseconds ms{static_cast<std::int64_t>(fileTime / (FileTimeTicksPerSecond / 1000))};
    if (fileTime != 0) {
        const auto unixSeconds = floor<seconds>(FileTimeStart + ms).time_since_epoch().count();
        ms += seconds{localOffsetSecondsAt(unixSeconds)};
    }
    // Damaged dates are kept within the range of calendar dates (years 1601 to
    // 9999) so that every value the store yields can be split and shown.
    ms = std::clamp(ms, milliseconds{0}, milliseconds{CalendarEnd - FileTimeStart} - 1ms);

    const sys_time<milliseconds> moment = FileTimeStart + ms;
    const sys_days day = floor<days>(moment);
    const double count = static_cast<double>((day - DateTimeEpoch).count());
    const double fraction = static_cast<double>((moment - day).count()) / 86'400'000.0;
    // Before 30 December 1899 the day count is negative and the time of day counts
    // away from zero as well.
    return count >= 0 ? count + fraction : count - fraction;
}

}  // namespace lumbrook
