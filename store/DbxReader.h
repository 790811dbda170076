#pragma once

// Reader of the Outlook Express 5/6 .dbx files: the folder list of "folders.dbx",
// the message index of a folder file and the raw text of a message, read from any
// byte source (a store file, or an image in memory). Only reads. DbxDirectoryReader
// (store/DbxDirectoryReader.h) opens the files of a store directory for it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/DateTime.h"
#include "store/ByteSource.h"
#include "store/StoreRecords.h"

namespace lumbrook {

// Every record of a folder list or a folder file, in walk order. A source too
// short for the header holds no records; a damaged one gives the records that
// could be read.
FolderList readFolderIndex(const ByteSource& source);
MessageList readMessageIndex(const ByteSource& source);

// How many messages the header of a folder file counts (0 for a source too short
// to hold the count): an index that gave fewer records than this could not be read
// whole (a cut file, a destroyed index node), and its other messages are only
// found by the recovery scan.
std::int32_t messageCountOfHeader(const ByteSource& source);

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
