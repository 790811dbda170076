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
//   index nodes (24 + capacity * 12 bytes each), a tree of up to `nodeCapacity`
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
struct DbxField {
    enum class Kind : std::uint8_t {
        Direct,      // V is the value itself
        Text,        // bytes stored in the data area, V their position
        Int32,       // four bytes in the data area
        FileTime,    // eight bytes in the data area
        Raw8,        // eight bytes in the data area
        Position,    // V given as is, nothing stored: for values that point anywhere
        DataOffset,  // the offset of this record's first data block: 0x84 when it fits
                     // 24 bits, otherwise 0x04 pointing at an int32 (4 bytes reserved)
    };
    std::uint8_t id = 0;
    Kind kind = Kind::Direct;
    std::uint32_t value = 0;       // Direct and Position: V; int32: the number
    std::uint64_t wide = 0;        // fileTime
    std::string bytes;             // Text (without its zero byte) and raw8
    bool textWithoutZero = false;  // damaged variant: no zero byte after the text

    static DbxField direct(std::uint8_t id, std::uint32_t v);
    static DbxField text(std::uint8_t id, std::string bytes);
    static DbxField int32(std::uint8_t id, std::int32_t v);
    static DbxField fileTime(std::uint8_t id, std::uint64_t v);
    static DbxField raw8(std::uint8_t id, const std::array<std::uint8_t, 8>& bytes);
    static DbxField position(std::uint8_t id, std::uint32_t v);
    static DbxField dataOffset();
};

// One data block of a message's chain, for tests that need odd blocks.
struct DbxBlock {
    std::string text;                      // up to 512 bytes; the rest is zero-filled
    std::optional<std::int32_t> used;      // default: Text.size()
    std::optional<std::int32_t> self;      // damaged variant: a wrong self offset
    std::optional<std::size_t> nextIndex;  // next = this record's block nextIndex
    std::optional<std::int32_t> nextRaw;   // next = this offset
    std::size_t gapBefore = 0;             // zero bytes between the previous block and this one
};

struct DbxRecord {
    std::vector<DbxField> fields;
    std::string extraData;  // appended to the data area after the fields' data

    // The message's raw text, split into full 512-byte blocks. Blocks is used when
    // Text is absent.
    std::optional<std::string> text;
    std::vector<DbxBlock> blocks;
    // With DbxFileOptions::textSource: the size of the text the source will give.
    std::size_t sourcedTextSize = 0;

    // Damaged variants.
    std::optional<std::int32_t> self;        // wrong self offset
    std::optional<std::int32_t> bodyLength;  // L written instead of the real one
    std::optional<std::uint8_t> entryCount;  // N written instead of the real one
};

enum class DbxFileKind { Folders, Messages };

struct DbxFileOptions {
    DbxFileKind kind = DbxFileKind::Messages;
    std::size_t nodeCapacity = 51;          // entries per index node, as Outlook Express writes
    std::optional<std::int32_t> itemCount;  // default: the number of records
    // Texts too large to hold in memory all at once: asked for record i's text
    // while the file is written (records whose Text and Blocks are empty and whose
    // sourcedTextSize is set).
    std::function<std::string(std::size_t)> textSource;
    // Damaged variant: the start node heads a chain of this many extra nodes
    // without entries, each linked to the next through its first link; the real
    // tree hangs off the last one.
    std::size_t chainNodes = 0;
};

// Where everything went, for tests that damage a written file on purpose.
struct DbxLayout {
    std::int32_t startNode = 0;
    std::vector<std::int32_t> nodes;                // the tree's nodes, root first (pre-order)
    std::vector<std::int32_t> records;              // in the order given
    std::vector<std::vector<std::int32_t>> blocks;  // per record
    std::vector<std::int32_t> chainNodes;
    std::uint64_t size = 0;
};

struct DbxImage {
    std::vector<std::uint8_t> bytes;
    DbxLayout layout;

    void putU8(std::size_t off, std::uint8_t v);
    void putU24(std::size_t off, std::uint32_t v);
    void putI32(std::size_t off, std::int32_t v);
    std::int32_t getI32(std::size_t off) const;
};

// The whole file in memory.
DbxImage buildDbx(const std::vector<DbxRecord>& records, const DbxFileOptions& options = {});
// Streams the file to Path (for files too big to hold); throws std::runtime_error
// when it cannot be written.
DbxLayout writeDbx(const std::string& path, const std::vector<DbxRecord>& records,
                    const DbxFileOptions& options = {});
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Readable descriptions of the two record kinds, in the entry order real files use.
struct DbxFolder {
    std::int32_t folderId = 0;
    std::optional<std::int32_t> parentId;  // absent: no 0x81 entry
    std::string name;
    std::optional<std::string> fileName;  // absent: 0x06 instead of 0x03
    bool isSpecial = false;
};
DbxRecord folderRecord(const DbxFolder& folder);

struct DbxMessage {
    std::int32_t messageId = 0;  // entry 0x80
    std::string from;
    std::string to;
    std::string subject;
    std::optional<std::uint64_t> date;  // absent: no 0x12 entry
    std::string rawText;                // empty: no data offset entry
    std::optional<std::uint32_t> flags = std::nullopt;     // entry 0x81, stored directly
    std::optional<std::uint32_t> priority = std::nullopt;  // entry 0x90, stored directly
};
DbxRecord messageRecord(const DbxMessage& message);

// Seconds since 1970 as a file time (100 ns intervals since 1601).
std::uint64_t unixTimeToFileTime(std::int64_t seconds);

}  // namespace lumbrook
