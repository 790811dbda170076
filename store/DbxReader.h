#pragma once

// Reader of the Outlook Express 5/6 .dbx files: the folder list of "folders.dbx",
// the message index of a folder file and the raw text of a message, read from any
// byte source (a store file, or an image in memory). Only reads. MailStore
// (store/MailStore.h) opens the files of a store directory for it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/DateTime.h"
#include "store/ByteSource.h"

namespace lumbrook {

// One folder of "folders.dbx". Texts are the file's raw 8-bit bytes.
struct FolderInfo {
    std::int32_t folderId = -1;  // entry 0x80
    std::int32_t parentId = -1;  // entry 0x81
    std::string name;            // entry 0x02
    std::string fileName;        // entry 0x03, relative to the store root
    bool isSpecial = false;      // entry 0x89 present
};

// One message of a folder file. Texts are the file's raw 8-bit bytes.
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

struct MessageInfo {
    std::int32_t entry80 = 0;
    std::int32_t entry81 = 0;
    std::string entry1B;
    std::string entry1A;
    std::string entry07;
    std::array<std::uint8_t, 8> entry02{};
    std::uint64_t date = 0;  // entry 0x12: 100 ns intervals since 1 January 1601 UTC
    std::string subject;     // entry 0x08
    std::string from;        // entry 0x0D
    std::string entry09;
    std::string to;  // entry 0x13
    std::string entry0E;
    std::string entry0A;
    std::string entry0B;
    std::int32_t entry91 = 0;
    std::int32_t dataOffset = 0;    // entry 0x04 or 0x84: first data block of the raw text
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

// Every record of a folder list or a folder file, in walk order. A source too
// short for the header holds no records; a damaged one gives the records that
// could be read.
FolderList readFolderIndex(const ByteSource& source);
MessageList readMessageIndex(const ByteSource& source);

// A message's raw text and whether it is all there. Whole when its chain of data
// blocks ends as a chain should; otherwise the text holds what could be read and
// problem says, in a plain sentence, why the rest is missing.
struct MessageText {
    std::string text;
    bool whole = true;
    std::string problem;
};

// The data blocks the messages of one folder have taken so far. A block is read
// for one message only: a second message whose chain runs into it is damaged
// there, so a folder's texts together never hold more bytes than its file.
class BlockClaims {
  public:
    enum State { Free, Own, Other };
    BlockClaims() = default;
    BlockClaims(const BlockClaims&) = delete;  // last points into runs
    BlockClaims& operator=(const BlockClaims&) = delete;
    BlockClaims(BlockClaims&& other) noexcept
        : runs(std::move(other.runs)), owners(other.owners) {
        other.last = other.runs.end();
    }
    BlockClaims& operator=(BlockClaims&& other) noexcept {
        runs = std::move(other.runs);
        owners = other.owners;
        last = runs.end();
        other.last = other.runs.end();
        return *this;
    }
    std::uint32_t newOwner() { return ++owners; }
    // Whether the block at d overlaps bytes already taken, and by whom; takes it
    // for owner when it is free.
    State claim(std::uint64_t d, std::uint32_t owner);

  private:
    struct Run {
        std::uint64_t end;
        std::uint32_t owner;
    };
    std::map<std::uint64_t, Run> runs;  // start of each run of adjacent blocks
    // The run the last block taken went to: a chain's next block most often
    // follows it, and is then taken without a search.
    std::map<std::uint64_t, Run>::iterator last = runs.end();
    std::uint32_t owners = 0;
};

// What reading one file's messages one after the other keeps between them: the
// header's message count and the bytes last read, in a window that grows while
// the reads go on where the last one ended (the messages of a folder mostly lie
// in the file in the order they are read). One pread then serves many messages,
// and no byte is read twice. Belongs to one source; not thread-safe.
class ChainWindow {
  public:
    ChainWindow() = default;
    ChainWindow(ChainWindow&&) noexcept = default;
    ChainWindow& operator=(ChainWindow&&) noexcept = default;

  private:
    friend class ChainWalk;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t capacity = 0;
    std::uint64_t start = 0;
    std::size_t count = 0;  // bytes of buffer that hold the source's bytes from start on
    std::size_t nextRun = 0;
    bool headerRead = false;
    std::int32_t itemCount = 0;
};

// The raw Internet text of the message whose first data block lies at dataOffset,
// as the 8-bit bytes stored (no conversion). Empty and whole when dataOffset <= 0
// (a record without text). With claims, blocks that an earlier call with the same
// claims read make this message damaged; the first reader of a block keeps it.
// With window, bytes read for earlier messages of the same source are used again.
// expectedSize, the size the message's record gives (0: not known), only sizes the
// first read: a wrong one costs a read more or bytes read in vain, nothing else.
MessageText readMessage(const ByteSource& source, std::int32_t dataOffset,
                        BlockClaims* claims = nullptr, ChainWindow* window = nullptr,
                        std::uint32_t expectedSize = 0);

// Only the text of readMessage.
std::string readMessageChain(const ByteSource& source, std::int32_t dataOffset);

// A message's UTC file time as a local date-time value, shifted by the offset in
// force now (not the one in force at that date). A Date of 0 (record without a
// date) gives 1 January 1601, 00:00.
DateTime fileTimeToLocalDateTime(std::uint64_t fileTime);

}  // namespace lumbrook
