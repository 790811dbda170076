#include "store/oexpress.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <type_traits>
#include <unordered_set>
#include <utility>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/StoreRoot.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {

// ---- Layout of a .dbx file (all integers little-endian) ----

// File header: only these two values are used.
constexpr std::uint64_t HeaderStartNodeAt = 48;
constexpr std::uint64_t HeaderItemCountAt = 196;

// Index node: 24-byte header, then Count entries of 12 bytes.
constexpr std::size_t NodeHeaderSize = 24;
constexpr std::size_t NodeSelfAt = 0;
constexpr std::size_t NodeSecondLinkAt = 8;
constexpr std::size_t NodeFirstLinkAt = 12;
constexpr std::size_t NodeCountAt = 17;  // 24 bits
constexpr std::size_t EntrySize = 12;
constexpr std::size_t EntryRecordAt = 0;
constexpr std::size_t EntryChildAt = 4;

// Record: 12-byte header, N entry words, then the data area; L counts both.
constexpr std::size_t RecordHeaderSize = 12;
constexpr std::size_t RecordSelfAt = 0;
constexpr std::size_t RecordLengthAt = 4;
constexpr std::size_t RecordCountAt = 10;

// Data block: 16-byte header and 512 text bytes, read in one piece.
constexpr std::size_t BlockHeaderSize = 16;
constexpr std::size_t BlockTextSize = 512;
constexpr std::size_t BlockSize = BlockHeaderSize + BlockTextSize;
static_assert(BlockSize == 528);
constexpr std::size_t BlockSelfAt = 0;
constexpr std::size_t BlockUsedAt = 8;
constexpr std::size_t BlockNextAt = 12;

// Read-ahead sizes. A node header is followed by its entry table (at most 51
// entries in files written by Outlook Express), so one read usually brings both.
// Records lie in runs, so a few KB bring several.
constexpr std::size_t NodeReadAhead = NodeHeaderSize + 64 * EntrySize;
constexpr std::size_t TableReadAhead = 8 * 1024;
constexpr std::size_t RecordReadAhead = 4 * 1024;
constexpr std::size_t BlockReadAheadFirst = 8 * BlockSize;
constexpr std::size_t BlockReadAheadMax = 256 * 1024;

std::string StoreFilePathIn(const std::string& Root, const std::string& FileName) {
    if (Root.empty()) return std::string(1, PathDelim) + FileName;
    return FindFileNoCase(Root, FileName);
}

std::optional<std::string>& StoreRootOverride() {
    static std::optional<std::string> root;
    return root;
}

// What a data-area entry finds at position V. An entry whose datum does not lie
// wholly inside the data area that was read (V at or past its end, or a number
// that runs over it) is skipped as if it were not there: the field keeps the
// value it had. A text without a zero byte runs to the end of the data area.
bool TextAt(const TByteReader& Data, std::uint32_t V, std::string& Field) {
    if (V >= Data.Size()) return false;
    std::string_view text = Data.ZeroTerminatedAt(V);
    Field.assign(text.data(), text.size());
    return true;
}

// Walk limits that a sound file never reaches: its entries occupy distinct bytes
// and its texts lie side by side, so their totals cannot exceed the file's size.
// A damaged file whose nodes share entry tables, or whose entries point at the
// same long text again and again, could otherwise make the list grow without
// bound; when either budget runs out the walk ends with what it has.
struct TWalkBudget {
    std::uint64_t Entries;
    std::uint64_t TextBytes;
    explicit TWalkBudget(std::uint64_t FileSize)
        : Entries(FileSize / EntrySize + 1), TextBytes(4 * FileSize + 64 * 1024) {}
};

std::size_t TextSize(const Toe5_FolderInfo& f) {
    return f.Name.size() + f.FileName.size();
}
std::size_t TextSize(const Toe5_MessageInfo& m) {
    return m.Entry1B.size() + m.Entry1A.size() + m.Entry07.size() + m.Subject.size() +
           m.From.size() + m.Entry09.size() + m.To.size() + m.Entry0E.size() + m.Entry0A.size() +
           m.Entry0B.size();
}

// Folder records of "folders.dbx".
struct TFolderKind {
    using TRecord = Toe5_FolderInfo;

    // Only records that name a file (0x03) or carry 0x06 are folders of their own.
    static bool Accept(const TByteReader& Table, std::size_t Words) {
        for (std::size_t i = 0; i < Words; ++i) {
            std::uint8_t id = *Table.U8At(i * 4);
            if (id == 0x03 || id == 0x06) return true;
        }
        return false;
    }

    static void Apply(TRecord& r, std::uint8_t Id, std::uint32_t V, const TByteReader& Data) {
        switch (Id) {
            case 0x02:
                TextAt(Data, V, r.Name);
                break;
            case 0x03:
                TextAt(Data, V, r.FileName);
                break;
            case 0x80:
                r.FolderId = static_cast<std::int32_t>(V);
                break;
            case 0x81:
                r.ParentId = static_cast<std::int32_t>(V);
                break;
            case 0x89:
                r.IsSpecial = true;
                break;
            default:
                break;
        }
    }
};

// Message records of every other file.
struct TMessageKind {
    using TRecord = Toe5_MessageInfo;

    static bool Accept(const TByteReader&, std::size_t) { return true; }

    static void Apply(TRecord& r, std::uint8_t Id, std::uint32_t V, const TByteReader& Data) {
        switch (Id) {
            case 0x02:
                if (auto raw = Data.SpanAt(V, r.Entry02.size()))
                    std::copy(raw->begin(), raw->end(), r.Entry02.begin());
                break;
            case 0x04:
                if (auto v = Data.I32At(V)) r.DataOffset = *v;
                break;
            case 0x07:
                TextAt(Data, V, r.Entry07);
                break;
            case 0x08:
                TextAt(Data, V, r.Subject);
                break;
            case 0x09:
                TextAt(Data, V, r.Entry09);
                break;
            case 0x0A:
                TextAt(Data, V, r.Entry0A);
                break;
            case 0x0B:
                TextAt(Data, V, r.Entry0B);
                break;
            case 0x0D:
                TextAt(Data, V, r.From);
                break;
            case 0x0E:
                TextAt(Data, V, r.Entry0E);
                break;
            case 0x12:
                if (auto v = Data.U64At(V)) r.Date = *v;
                break;
            case 0x13:
                TextAt(Data, V, r.To);
                break;
            case 0x1A:
                TextAt(Data, V, r.Entry1A);
                break;
            case 0x1B:
                TextAt(Data, V, r.Entry1B);
                break;
            case 0x80:
                r.Entry80 = static_cast<std::int32_t>(V);
                break;
            case 0x81:
                r.Entry81 = static_cast<std::int32_t>(V);
                break;
            case 0x84:
                r.DataOffset = static_cast<std::int32_t>(V);
                break;
            case 0x91:
                r.Entry91 = static_cast<std::int32_t>(V);
                break;
            default:
                break;
        }
    }
};

// Opens a store file for one operation, with the store root looked up afresh.
// The name as asked for is tried first; only when that fails is the directory
// searched for a name that matches without regard to case (the same result as
// opening StoreFilePath, one directory scan fewer in the usual case).
TStoreFile OpenStoreFile(const std::string& FileName) {
    const std::string root = GetStoreRoot();
    if (!root.empty()) {
        if (auto file = TStoreFile::TryOpen(IncludeTrailingPathDelimiter(root) + FileName))
            return std::move(*file);
    }
    return TStoreFile(StoreFilePathIn(root, FileName));
}

// One open store file with the state of one operation on it: the header record,
// the visited nodes of the walk and the read-ahead windows. Lives only as long
// as the operation.
class TOe5Reader {
  public:
    explicit TOe5Reader(const std::string& FileName)
        : File(OpenStoreFile(FileName)), NodeWindow(File), RecordWindow(File) {
        // A file too short to hold the count is empty, like a count of zero.
        TByteReader head = RecordWindow.Read(0, HeaderItemCountAt + 4);
        Header.ItemCount = head.I32At(HeaderItemCountAt).value_or(0);
        StartNode = head.I32At(HeaderStartNodeAt).value_or(0);
    }

    template <typename TKind>
    void ReadIndex(std::vector<typename TKind::TRecord>& List) {
        if (Header.ItemCount <= 0) return;
        TWalkBudget budget(File.Size());
        WalkIndexNode<TKind>(StartNode, List, budget);
    }

    std::string ReadChain(std::int32_t DataOffset);

  private:
    template <typename TKind>
    void WalkIndexNode(std::int32_t Start, std::vector<typename TKind::TRecord>& List,
                       TWalkBudget& Budget);
    template <typename TKind>
    void DecodeRecord(std::int32_t R, std::vector<typename TKind::TRecord>& List,
                      TWalkBudget& Budget);

    TStoreFile File;
    TReadWindow NodeWindow;
    TReadWindow RecordWindow;
    Toe5_FileHeader Header;
    std::int32_t StartNode = 0;
    std::unordered_set<std::int32_t> Visited;
};

// The walk visits a node's first link, then its second link, then its entries in
// order, each entry's record before the entry's child node, as a recursion would.
// It runs on an explicit stack instead of the call stack, so any depth the file
// describes is walked: a chain of a million nodes costs a million small frames,
// not a stack overflow. A node counts as visited once its self check passes; a
// link to a visited node is not followed, which ends every cycle.
template <typename TKind>
void TOe5Reader::WalkIndexNode(std::int32_t Start, std::vector<typename TKind::TRecord>& List,
                               TWalkBudget& Budget) {
    enum class TStep : std::uint8_t { FirstLink, SecondLink, Entries };
    struct TFrame {
        std::int32_t Node;
        std::int32_t FirstLink;
        std::int32_t SecondLink;
        std::uint32_t Count;
        std::uint32_t Next;
        TStep Step;
    };
    std::vector<TFrame> stack;

    auto enter = [&](std::int32_t P) {
        if (P <= 0 || Visited.contains(P)) return;
        // A node cut short by the end of the file fails its self check.
        TByteReader head =
            NodeWindow.Read(static_cast<std::uint64_t>(P), NodeHeaderSize, NodeReadAhead);
        if (!head.Has(0, NodeHeaderSize) || *head.I32At(NodeSelfAt) != P) return;
        Visited.insert(P);
        stack.push_back({P, *head.I32At(NodeFirstLinkAt), *head.I32At(NodeSecondLinkAt),
                         *head.U24At(NodeCountAt), 0, TStep::FirstLink});
    };

    enter(Start);
    while (!stack.empty()) {
        TFrame& f = stack.back();
        if (f.Step == TStep::FirstLink) {
            f.Step = TStep::SecondLink;
            enter(f.FirstLink);  // may push: f is not used past this point
            continue;
        }
        if (f.Step == TStep::SecondLink) {
            f.Step = TStep::Entries;
            enter(f.SecondLink);
            continue;
        }
        if (f.Next >= f.Count || Budget.Entries == 0) {
            stack.pop_back();
            continue;
        }
        // The entry table is read in one piece (up to TableReadAhead bytes); after
        // a child's walk has moved the window, the rest of it is read again. An
        // entry table cut short by the end of the file ends with its last whole
        // entry.
        std::uint64_t at =
            static_cast<std::uint64_t>(f.Node) + NodeHeaderSize + std::uint64_t(f.Next) * EntrySize;
        std::size_t rest = std::size_t(f.Count - f.Next) * EntrySize;
        TByteReader entry = NodeWindow.Read(at, EntrySize, std::min(rest, TableReadAhead));
        if (!entry.Has(0, EntrySize)) {
            stack.pop_back();
            continue;
        }
        ++f.Next;
        --Budget.Entries;
        std::int32_t record = *entry.I32At(EntryRecordAt);
        std::int32_t child = *entry.I32At(EntryChildAt);
        if (record > 0) {
            DecodeRecord<TKind>(record, List, Budget);
            if (Budget.TextBytes == 0) return;
        }
        enter(child);
    }
}

template <typename TKind>
void TOe5Reader::DecodeRecord(std::int32_t R, std::vector<typename TKind::TRecord>& List,
                              TWalkBudget& Budget) {
    const std::uint64_t at = static_cast<std::uint64_t>(R);
    TByteReader head = RecordWindow.Read(at, RecordHeaderSize, RecordReadAhead);
    if (!head.Has(0, RecordHeaderSize) || *head.I32At(RecordSelfAt) != R) return;
    const std::int32_t length = *head.I32At(RecordLengthAt);
    const std::size_t words = *head.U8At(RecordCountAt);

    // The entry table always holds N words; the data area is what L leaves after
    // them. A body length smaller than 4N leaves no data area: direct values still
    // apply, entries that point into the data area find nothing.
    const std::size_t tableSize = words * 4;
    const std::size_t bodySize =
        std::max<std::size_t>(tableSize, length > 0 ? static_cast<std::size_t>(length) : 0);
    TByteReader body = RecordWindow.Read(at + RecordHeaderSize, bodySize);

    // Cut short by the end of the file: the whole entry words that were read apply,
    // and the data area is the part of it that was read.
    const std::size_t wholeWords = std::min(words, body.Size() / 4);
    TByteReader table = *body.SubReader(0, wholeWords * 4);
    if (!TKind::Accept(table, wholeWords)) return;
    TByteReader data;
    if (body.Size() > tableSize) data = *body.SubReader(tableSize, body.Size() - tableSize);

    typename TKind::TRecord record;
    if constexpr (std::is_same_v<TKind, TMessageKind>) record.RecordOffset = R;
    for (std::size_t i = 0; i < wholeWords; ++i) {
        std::uint32_t word = *table.U32At(i * 4);
        TKind::Apply(record, static_cast<std::uint8_t>(word & 0xFF), word >> 8, data);
    }
    std::size_t text = TextSize(record);
    Budget.TextBytes -= std::min<std::uint64_t>(Budget.TextBytes, text);
    List.push_back(std::move(record));
}

// Remembers the bytes of the blocks a chain has read, as runs of adjacent blocks
// (one run for the usual message whose blocks follow each other). A block that
// overlaps bytes already read ends the chain: that ends every cycle, and keeps a
// damaged chain of overlapping blocks from returning more text than the file
// holds.
class TBlockRuns {
  public:
    bool Claim(std::uint64_t D) {
        const std::uint64_t E = D + BlockSize;
        // The usual case, the block right after the last one claimed, without a
        // search: it only has to stay clear of the run after it.
        if (Last != Runs.end() && Last->second == D) {
            auto next = std::next(Last);
            if (next != Runs.end() && next->first < E) return false;
            Last->second = E;
            if (next != Runs.end() && next->first == E) {
                Last->second = next->second;
                Runs.erase(next);
            }
            return true;
        }
        auto next = Runs.upper_bound(D);
        if (next != Runs.end() && next->first < E) return false;
        if (next != Runs.begin()) {
            auto prev = std::prev(next);
            if (prev->second > D) return false;
            if (prev->second == D) {
                prev->second = E;
                if (next != Runs.end() && next->first == E) {
                    prev->second = next->second;
                    Runs.erase(next);
                }
                Last = prev;
                return true;
            }
        }
        if (next != Runs.end() && next->first == E) {
            std::uint64_t end = next->second;
            Runs.erase(next);
            Last = Runs.emplace(D, end).first;
            return true;
        }
        Last = Runs.emplace(D, E).first;
        return true;
    }

  private:
    std::map<std::uint64_t, std::uint64_t> Runs;  // start -> end of each run
    std::map<std::uint64_t, std::uint64_t>::iterator Last = Runs.end();
};

// The text is read in runs of blocks straight into the string that is returned:
// each run lands behind the text gathered so far, and the text bytes of its
// blocks are then moved down over the block headers while they are still in the
// cache. That is one copy out of the page cache and no second buffer, which
// matters for the megabytes of an attachment. Runs start small (a typical
// message has a few blocks) and double while the chain goes on block after
// block, up to BlockReadAheadMax.
std::string TOe5Reader::ReadChain(std::int32_t DataOffset) {
    std::string text;
    if (Header.ItemCount <= 0) return text;

    TBlockRuns seen;
    std::size_t runSize = BlockReadAheadFirst;
    std::size_t kept = 0;  // text bytes taken so far: text[0, kept)
    std::int64_t D = DataOffset;
    while (D > 0) {
        const std::uint64_t at = static_cast<std::uint64_t>(D);
        const std::uint64_t left = at < File.Size() ? File.Size() - at : 0;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(runSize, left));
        // Grown by more than this run when it has to grow, so that a long text
        // is not moved to a new place at every run.
        if (text.capacity() < kept + want) text.reserve(2 * (kept + want));
        text.resize(kept + want);
        auto* run = reinterpret_cast<std::uint8_t*>(text.data() + kept);
        const TByteReader bytes(run, File.ReadAt(at, run, want));

        std::size_t pos = 0;  // the current block's place in the run
        bool runOut = false;  // the chain goes on right after the bytes read
        while (true) {
            if (!seen.Claim(static_cast<std::uint64_t>(D))) {
                D = 0;
                break;
            }
            // A block whose header is cut off by the end of the file fails its
            // self check. One whose text is cut off gives the text bytes that
            // are there.
            const TByteReader block =
                *bytes.SubReader(pos, std::min(BlockSize, bytes.Size() - pos));
            if (!block.Has(0, BlockHeaderSize) || *block.I32At(BlockSelfAt) != D) {
                D = 0;
                break;
            }
            const std::int32_t used = *block.I32At(BlockUsedAt);
            const std::int32_t next = *block.I32At(BlockNextAt);
            if (used > 0) {
                std::size_t take =
                    std::min<std::size_t>({static_cast<std::size_t>(used), BlockTextSize,
                                           block.Size() - BlockHeaderSize});
                const auto piece = *block.SpanAt(BlockHeaderSize, take);
                if (const void* zero = std::memchr(piece.data(), 0, piece.size()))
                    take = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) -
                                                    piece.data());
                // Down over the headers read before it: never past this block's
                // own bytes, so nothing still to be read is overwritten.
                std::memmove(text.data() + kept, piece.data(), take);
                kept += take;
            }
            const bool follows = next == D + std::int64_t(BlockSize);
            D = next;
            if (!follows) break;
            if (pos + 2 * BlockSize > bytes.Size()) {
                runOut = bytes.Size() == want;  // not the end of the file
                break;
            }
            pos += BlockSize;
        }
        runSize = runOut ? std::min(runSize * 2, BlockReadAheadMax) : BlockReadAheadFirst;
    }
    text.resize(kept);
    return text;
}

}  // namespace

void ReadIndexFile(const std::string& FileName, TFolderList& List) {
    if (FileName != "folders.dbx") return;
    TOe5Reader reader(FileName);
    reader.ReadIndex<TFolderKind>(List);
}

void ReadIndexFile(const std::string& FileName, TMessageList& List) {
    if (FileName == "folders.dbx") return;
    TOe5Reader reader(FileName);
    reader.ReadIndex<TMessageKind>(List);
}

std::string ReadMessageText(const std::string& FileName, std::int32_t DataOffset) {
    if (DataOffset <= 0) return {};
    TOe5Reader reader(FileName);
    return reader.ReadChain(DataOffset);
}

TDateTime FileTimeToLocalDateTime(std::uint64_t FileTime) {
    constexpr std::int64_t TicksPerMs = 10'000;
    constexpr std::int64_t MsPerDay = 86'400'000;
    constexpr std::int64_t DaysTo1899 = 109'205;     // 1 Jan 1601 .. 30 Dec 1899
    constexpr std::int64_t DaysTo10000 = 3'067'671;  // 1 Jan 1601 .. 1 Jan 10000

    // A record without entry 0x12 has a Date of 0. It stands for "no date", not for
    // a moment, so it is not shifted: it gives 1 January 1601, 00:00 in every zone
    // (shown as a bare date), where shifting would give a time before the start of
    // the file-time scale west of UTC.
    std::int64_t ms = static_cast<std::int64_t>(FileTime / TicksPerMs);
    if (FileTime != 0) ms += LocalOffsetNowSeconds() * 1000;
    // Damaged dates are kept within the range of calendar dates (years 1601 to
    // 9999) so that every value the store yields can be split and shown.
    ms = std::clamp<std::int64_t>(ms, 0, DaysTo10000 * MsPerDay - 1);

    const std::int64_t day = ms / MsPerDay - DaysTo1899;
    const double fraction = static_cast<double>(ms % MsPerDay) / static_cast<double>(MsPerDay);
    // Before 30 December 1899 the day count is negative and the time of day counts
    // away from zero as well.
    return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

std::string GetStoreRoot() {
    if (const auto& root = StoreRootOverride()) return *root;
    return LookupStoreRoot(TRegistryFile::LoadCurrentUser());
}

void SetStoreRootOverride(std::optional<std::string> dir) {
    StoreRootOverride() = std::move(dir);
}

std::string StoreFilePath(const std::string& FileName) {
    return StoreFilePathIn(GetStoreRoot(), FileName);
}

}  // namespace lumbrook
