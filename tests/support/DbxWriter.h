#pragma once

// Writes .dbx files in the layout Outlook Express uses, from readable descriptions:
// the tests' store fixtures, the demo store and the benchmark folders are made
// with it. Sound files by default; every knob that makes a damaged variant is
// named as such. The writer is the project's own: it only ever produces files.
//
// Layout of a written file, in this order:
//   file header (0x24BC bytes; start node at 48, item count at 196)
//   records (12-byte header, entry table, data area), one after the other
//   the data blocks of each message (528 bytes each), a message's blocks in a row
//   index nodes (24 + capacity * 12 bytes each), a tree of up to `NodeCapacity`
//   entries per node whose walk order is the order of the records given

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumbrook {

// One entry of a record's entry table.
struct TDbxField {
    enum class TKind : std::uint8_t {
        Direct,      // V is the value itself
        Text,        // bytes stored in the data area, V their position
        Int32,       // four bytes in the data area
        FileTime,    // eight bytes in the data area
        Raw8,        // eight bytes in the data area
        Position,    // V given as is, nothing stored: for values that point anywhere
        DataOffset,  // the offset of this record's first data block: 0x84 when it fits
                     // 24 bits, otherwise 0x04 pointing at an int32 (4 bytes reserved)
    };
    std::uint8_t Id = 0;
    TKind Kind = TKind::Direct;
    std::uint32_t Value = 0;       // Direct and Position: V; Int32: the number
    std::uint64_t Wide = 0;        // FileTime
    std::string Bytes;             // Text (without its zero byte) and Raw8
    bool TextWithoutZero = false;  // damaged variant: no zero byte after the text

    static TDbxField Direct(std::uint8_t id, std::uint32_t v);
    static TDbxField Text(std::uint8_t id, std::string bytes);
    static TDbxField Int32(std::uint8_t id, std::int32_t v);
    static TDbxField FileTime(std::uint8_t id, std::uint64_t v);
    static TDbxField Raw8(std::uint8_t id, const std::array<std::uint8_t, 8>& bytes);
    static TDbxField Position(std::uint8_t id, std::uint32_t v);
    static TDbxField DataOffset();
};

// One data block of a message's chain, for tests that need odd blocks.
struct TDbxBlock {
    std::string Text;                      // up to 512 bytes; the rest is zero-filled
    std::optional<std::int32_t> Used;      // default: Text.size()
    std::optional<std::int32_t> Self;      // damaged variant: a wrong self offset
    std::optional<std::size_t> NextIndex;  // next = this record's block NextIndex
    std::optional<std::int32_t> NextRaw;   // next = this offset
    std::size_t GapBefore = 0;             // zero bytes between the previous block and this one
};

struct TDbxRecord {
    std::vector<TDbxField> Fields;
    std::string ExtraData;  // appended to the data area after the fields' data

    // The message's raw text, split into full 512-byte blocks. Blocks is used when
    // Text is absent.
    std::optional<std::string> Text;
    std::vector<TDbxBlock> Blocks;
    // With TDbxFileOptions::TextSource: the size of the text the source will give.
    std::size_t SourcedTextSize = 0;

    // Damaged variants.
    std::optional<std::int32_t> Self;        // wrong self offset
    std::optional<std::int32_t> BodyLength;  // L written instead of the real one
    std::optional<std::uint8_t> EntryCount;  // N written instead of the real one
};

enum class TDbxFileKind { Folders, Messages };

struct TDbxFileOptions {
    TDbxFileKind Kind = TDbxFileKind::Messages;
    std::size_t NodeCapacity = 51;          // entries per index node, as Outlook Express writes
    std::optional<std::int32_t> ItemCount;  // default: the number of records
    // Texts too large to hold in memory all at once: asked for record i's text
    // while the file is written (records whose Text and Blocks are empty and whose
    // SourcedTextSize is set).
    std::function<std::string(std::size_t)> TextSource;
    // Damaged variant: the start node heads a chain of this many extra nodes
    // without entries, each linked to the next through its first link; the real
    // tree hangs off the last one.
    std::size_t ChainNodes = 0;
};

// Where everything went, for tests that damage a written file on purpose.
struct TDbxLayout {
    std::int32_t StartNode = 0;
    std::vector<std::int32_t> Nodes;                // the tree's nodes, root first (pre-order)
    std::vector<std::int32_t> Records;              // in the order given
    std::vector<std::vector<std::int32_t>> Blocks;  // per record
    std::vector<std::int32_t> ChainNodes;
    std::uint64_t Size = 0;
};

struct TDbxImage {
    std::vector<std::uint8_t> Bytes;
    TDbxLayout Layout;

    void PutU8(std::size_t off, std::uint8_t v);
    void PutU24(std::size_t off, std::uint32_t v);
    void PutI32(std::size_t off, std::int32_t v);
    std::int32_t GetI32(std::size_t off) const;
};

// The whole file in memory.
TDbxImage BuildDbx(const std::vector<TDbxRecord>& records, const TDbxFileOptions& options = {});
// Streams the file to Path (for files too big to hold); throws std::runtime_error
// when it cannot be written.
TDbxLayout WriteDbx(const std::string& path, const std::vector<TDbxRecord>& records,
                    const TDbxFileOptions& options = {});
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Readable descriptions of the two record kinds, in the entry order real files use.
struct TDbxFolder {
    std::int32_t FolderId = 0;
    std::optional<std::int32_t> ParentId;  // absent: no 0x81 entry
    std::string Name;
    std::optional<std::string> FileName;  // absent: 0x06 instead of 0x03
    bool IsSpecial = false;
};
TDbxRecord FolderRecord(const TDbxFolder& folder);

struct TDbxMessage {
    std::int32_t MessageId = 0;  // entry 0x80
    std::string From;
    std::string To;
    std::string Subject;
    std::optional<std::uint64_t> Date;  // absent: no 0x12 entry
    std::string RawText;                // empty: no data offset entry
};
TDbxRecord MessageRecord(const TDbxMessage& message);

// Seconds since 1970 as a file time (100 ns intervals since 1601).
std::uint64_t UnixTimeToFileTime(std::int64_t seconds);

}  // namespace lumbrook
