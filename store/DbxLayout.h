#pragma once

// Where things lie in an Outlook Express 5/6 .dbx file (all integers little-endian).
// The reader, the recovery scan and the test writers take their offsets from here,
// so that what is written and what is read cannot drift apart.

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumbrook::dbx {

// ---- file header: FileHeaderSize bytes; nothing else is stored below its end

inline constexpr std::size_t FileHeaderSize = 0x24BC;
inline constexpr std::size_t SignatureAt = 0;
inline constexpr std::uint32_t Signature = 0xFE12ADCF;
// The word after the signature tells a folder file from the folder list.
inline constexpr std::size_t FileKindAt = 4;
inline constexpr std::uint32_t MessageFileKind = 0x6F74FDC5;
inline constexpr std::uint32_t FolderFileKind = 0x6F74FDC6;
// The rest of the sixteen bytes that open every file.
inline constexpr std::size_t ClassIdTailAt = 8;
inline constexpr std::array<std::uint8_t, 8> ClassIdTail = {0x66, 0xE3, 0xD1, 0x11,
                                                            0x9A, 0x4E, 0x00, 0xC0};
inline constexpr std::size_t HeaderStartNodeAt = 48;
inline constexpr std::size_t FreeListHeadAt = 0x48;  // first deleted block; a hint only
inline constexpr std::size_t HeaderItemCountAt = 196;

// ---- index node: a header, then Count entries

inline constexpr std::size_t NodeHeaderSize = 24;
inline constexpr std::size_t NodeSelfAt = 0;
inline constexpr std::size_t NodeSecondLinkAt = 8;  // the parent node in files OE writes
inline constexpr std::size_t NodeFirstLinkAt = 12;
inline constexpr std::size_t NodeCountAt = 17;  // 24 bits
inline constexpr std::size_t EntrySize = 12;
inline constexpr std::size_t EntryRecordAt = 0;
inline constexpr std::size_t EntryChildAt = 4;
inline constexpr std::size_t EntryChildCountAt = 8;  // records under the child node

// ---- record: a header, N entry words, then the data area; L counts both

inline constexpr std::size_t RecordHeaderSize = 12;
inline constexpr std::size_t RecordSelfAt = 0;
inline constexpr std::size_t RecordLengthAt = 4;
inline constexpr std::size_t RecordCountAt = 10;  // 8 bits
inline constexpr std::size_t EntryWordSize = 4;    // id in the low byte, V in the upper 24 bits

// ---- data block: a header and BlockTextSize text bytes
//   live:    self, LiveMark, used 1..512, next; text from BlockHeaderSize
//   deleted: self, DeletedMark, DeletedSizeField, next, previous; the previous
//            block's offset overwrote the first four text bytes

inline constexpr std::size_t BlockHeaderSize = 16;
inline constexpr std::size_t BlockTextSize = 512;
inline constexpr std::size_t BlockSize = BlockHeaderSize + BlockTextSize;
static_assert(BlockSize == 528);
inline constexpr std::size_t BlockSelfAt = 0;
inline constexpr std::size_t BlockMarkAt = 4;
inline constexpr std::size_t BlockUsedAt = 8;
inline constexpr std::size_t BlockNextAt = 12;
inline constexpr std::uint32_t LiveMark = 0x200;
inline constexpr std::uint32_t DeletedMark = 0x1FC;
inline constexpr std::uint32_t DeletedSizeField = 0x210;
inline constexpr std::size_t DeletedPreviousAt = 16;
inline constexpr std::size_t DeletedHeaderSize = 20;

}  // namespace lumbrook::dbx
