#pragma once

// The messages of a folder file that its index does not list (deleted ones still
// in the free space, orphaned chains nobody points to), as rows of a list: the
// scan of store/Recovery.h turned into message records and read back the way the
// scan found them. Plain code; the window runs it off its thread.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/ByteSource.h"
#include "store/MailStore.h"
#include "store/Recovery.h"

namespace lumbrook {

// What a scan of one folder file found.
struct RecoveredFolder {
    std::string fileName;
    // One record per message found, in file order; found[i] is records[i]'s chain.
    MessageList records;
    std::vector<RecoveredMessage> found;

    // The chain of a record of this folder whose origin is not Listed; nullptr for none.
    const RecoveredMessage* find(const MessageInfo& record) const;
};

// A found message as a list record: subject, from, to and date from its own
// header lines (texts in the store's code page, as the index holds them), the
// origin from its kind, counted as read. Nothing for a chain without a first block.
std::optional<MessageInfo> recoveredRecord(const ByteSource& source,
                                           const RecoveredMessage& message,
                                           const CodePage& codePage);

// Scans the source for the messages listed does not reach and makes their records;
// stop set ends it early with what was made so far.
RecoveredFolder findRecoveredMessages(const ByteSource& source, const MessageList& listed,
                                      const CodePage& codePage, const ScanOptions& options = {},
                                      const std::atomic<bool>* stop = nullptr);

// A found message's text ("????" for lost bytes); not whole when its chain was cut
// short or starts in the middle of a message, with the reason. A file that cannot
// be opened throws FileOpenError.
MessageText readRecoveredMessage(const ByteSource& source, const RecoveredMessage& message);
MessageText readRecoveredMessage(const MailStore& store, const std::string& fileName,
                                 const RecoveredMessage& message);

// How far a folder's index can be trusted, from its header and the records read.
enum class IndexState {
    Readable,
    Unreadable,     // the header is damaged, or it counts messages none of which could be read
    EmptyWithData,  // no records and no count, though the file holds more than its header
};
IndexState indexStateOf(const ByteSource& source, std::size_t recordCount);

}  // namespace lumbrook
