#pragma once

// What every kind of store yields, whatever its files look like: its folders, the
// messages of a folder and a message's text. Texts are the store's raw 8-bit
// bytes, in the store's code page. The entry numbers say where a .dbx record
// keeps a field.

#include <cstdint>
#include <string>
#include <vector>

namespace lumbrook {

// One folder of "folders.dbx".
struct FolderInfo {
    std::int32_t folderId = -1;  // entry 0x80
    std::int32_t parentId = -1;  // entry 0x81
    std::string name;            // entry 0x02
    std::string fileName;        // entry 0x03, relative to the store root
    bool isSpecial = false;      // entry 0x89 present
    // A folder file of the store's directory that the folder list does not name (or
    // every one, when there is no usable list): named after its file, not listed.
    bool unlisted = false;
};

// Bits of a message record's flags, as the mail client keeps them.
namespace MessageFlag {
inline constexpr std::uint32_t Flagged = 0x20;
inline constexpr std::uint32_t Read = 0x80;
inline constexpr std::uint32_t HasAttachment = 0x4000;
inline constexpr std::uint32_t Replied = 0x80000;
inline constexpr std::uint32_t Forwarded = 0x100000;
}  // namespace MessageFlag

// Where a message of the list comes from: the folder's index, or a scan of the
// file for the messages the index no longer reaches (store/Recovery.h).
enum class MessageOrigin : std::uint8_t { Listed, Orphaned, Deleted };

// One message of a folder.
struct MessageInfo {
    std::uint64_t date = 0;         // entry 0x12: 100 ns intervals since 1 January 1601 UTC
    std::string subject;            // entry 0x08
    std::string from;               // entry 0x0D
    std::string to;                 // entry 0x13
    std::int32_t entry91 = 0;       // the size of the raw text as the record gives it
    // Entry 0x04 or 0x84: first data block of the raw text. The index holds 32-bit
    // offsets; a found message's may lie past 2 GiB.
    std::int64_t dataOffset = 0;
    std::int32_t recordOffset = 0;  // where the record itself lies in the file
    std::uint32_t flags = 0;        // entry 0x01 (or 0x81 stored directly): MessageFlag bits
    std::uint32_t priority = 0;     // entry 0x10 (or 0x90): 1 high, 3 normal, 5 low; 0 none
    // Not Listed: found by a scan, dataOffset its first block, texts from its own header lines.
    MessageOrigin origin = MessageOrigin::Listed;

    bool isRead() const { return flags & MessageFlag::Read; }
    bool isReplied() const { return flags & MessageFlag::Replied; }
    bool isForwarded() const { return flags & MessageFlag::Forwarded; }
    bool isFlagged() const { return flags & MessageFlag::Flagged; }
    bool hasAttachment() const { return flags & MessageFlag::HasAttachment; }
    bool isHighPriority() const { return priority != 0 && priority < 3; }
};

using FolderList = std::vector<FolderInfo>;
using MessageList = std::vector<MessageInfo>;

// A message's raw text and whether it is all there. Whole when its chain of data
// blocks ends as a chain should; otherwise the text holds what could be read and
// problem says, in a plain sentence, why the rest is missing.
struct MessageText {
    std::string text;
    bool whole = true;
    std::string problem;
};

}  // namespace lumbrook
