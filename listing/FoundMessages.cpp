#include "listing/FoundMessages.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "base/FileTime.h"
#include "mime/HeaderFields.h"
#include "mime/AttachmentName.h"
#include "store/DbxLayout.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {

// UTF-8 as bytes of the store's code page, as the index keeps its texts; characters
// the code page lacks become "?".
std::string utf8ToCodePage(const std::string& text, const CodePage& codePage) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || codePage.number() == 65001) return text;
    return convertFromUtf8(text, codePage.name());
}

const char* endProblem(ChainEnd end) {
    switch (end) {
        case ChainEnd::Whole:
            return "The message's start was not found; its text begins in the middle.";
        case ChainEnd::FileEnds:
            return "The file ends inside the message.";
        case ChainEnd::OutsideFile:
            return "The message goes on outside the file.";
        case ChainEnd::MissingBlock:
            return "A part of the message is missing.";
        case ChainEnd::Cycle:
            return "The message's parts run in a circle.";
        case ChainEnd::SharedBlock:
            return "The message runs into the text of another message.";
    }
    return "The message could not be read whole.";
}

}  // namespace

const RecoveredMessage* RecoveredFolder::find(const MessageInfo& record) const {
    if (record.origin == MessageOrigin::Listed) return nullptr;
    for (std::size_t i = 0; i < records.size() && i < found.size(); ++i) {
        if (records[i].dataOffset == record.dataOffset && records[i].origin == record.origin)
            return &found[i];
    }
    return nullptr;
}

std::optional<MessageInfo> recoveredRecord(const ByteSource& source,
                                           const RecoveredMessage& message,
                                           const CodePage& codePage) {
    if (message.dataOffset == 0 ||
        message.dataOffset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    const std::string charset = codePage.name();
    const RecoveredMessageHeaders headers =
        readRecoveredHeaders(source, message, [&](std::string_view raw) {
            return utf8ToCodePage(decodeEncodedWords(raw, charset), codePage);
        });
    MessageInfo record;
    record.origin = message.kind == RecoveredMessage::Kind::Deleted ? MessageOrigin::Deleted
                                                                    : MessageOrigin::Orphaned;
    record.dataOffset = static_cast<std::int64_t>(message.dataOffset);
    record.subject = headers.subject;
    record.from = headers.from;
    record.to = headers.to;
    // Dates before 1601 or too far ahead for a file time are no date.
    if (const auto seconds = parseMailDate(headers.date))
        record.date = unixToFileTime(*seconds).value_or(0);
    // Nobody has them to read any more: they do not count as unread.
    record.flags = MessageFlag::Read;
    return record;
}

RecoveredFolder findRecoveredMessages(const ByteSource& source, const MessageList& listed,
                                      const CodePage& codePage, const ScanOptions& options,
                                      const std::atomic<bool>* stop) {
    std::vector<std::uint64_t> offsets;
    offsets.reserve(listed.size());
    for (const MessageInfo& m : listed)
        if (m.dataOffset > 0) offsets.push_back(static_cast<std::uint64_t>(m.dataOffset));
    const RecoveryScan scan = scanForMessages(source, offsets, options);
    RecoveredFolder folder;
    for (const RecoveredMessage& m : scan.messages) {
        // Each message's header lines are read again: a big folder takes a while.
        if (stop && stop->load()) break;
        auto record = recoveredRecord(source, m, codePage);
        if (!record) continue;
        folder.records.push_back(std::move(*record));
        folder.found.push_back(m);
    }
    return folder;
}

MessageText readRecoveredMessage(const ByteSource& source, const RecoveredMessage& message) {
    MessageText text;
    text.text = readRecoveredText(source, message);
    if (!message.complete) {
        text.whole = false;
        text.problem = endProblem(message.end);
    } else if (text.text.size() < message.size) {
        text.whole = false;
        text.problem = "The file has changed since it was scanned.";
    }
    return text;
}

MessageText readRecoveredMessage(const MailStore& store, const std::string& fileName,
                                 const RecoveredMessage& message) {
    const StoreFile file(store.filePath(fileName));
    return readRecoveredMessage(file, message);
}

IndexState indexStateOf(const ByteSource& source, std::size_t recordCount) {
    if (recordCount > 0 || source.size() == 0) return IndexState::Readable;
    std::uint8_t header[dbx::HeaderItemCountAt + 4];
    if (source.readAt(0, header, sizeof header) != sizeof header) return IndexState::Unreadable;
    auto word = [&](std::size_t at) {
        return static_cast<std::uint32_t>(header[at]) |
               static_cast<std::uint32_t>(header[at + 1]) << 8 |
               static_cast<std::uint32_t>(header[at + 2]) << 16 |
               static_cast<std::uint32_t>(header[at + 3]) << 24;
    };
    if (word(dbx::SignatureAt) != dbx::Signature || word(dbx::FileKindAt) != dbx::MessageFileKind)
        return IndexState::Unreadable;
    if (word(dbx::HeaderItemCountAt) != 0) return IndexState::Unreadable;
    // An empty folder holds its header and at most one empty index node.
    constexpr std::uint64_t EmptyNode = dbx::NodeHeaderSize + 51 * dbx::EntrySize;
    if (source.size() > dbx::FileHeaderSize + EmptyNode) return IndexState::EmptyWithData;
    return IndexState::Readable;
}

}  // namespace lumbrook
