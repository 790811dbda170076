#pragma once

// mboxrd: the one-file-per-folder layout Thunderbird and ImportExportTools NG read.
//
// Each message is written as
//   "From <envelope address> <asctime UTC>" LF
//   [X-Mozilla-Status: XXXX, X-Mozilla-Status2: 00000000 for Thunderbird,
//    Status: RO (read) or O (unread), X-Status: A (answered) F (flagged), empty for
//    neither, for mutt, neomutt and Dovecot; each with the message's line end]
//   the message, every line matching ^>*From  with one more ">" in front
//   [the message's line end, when its last line had none]
//   LF   (the empty line a reader splits at)
// Nothing else is added: a message reads back exactly, a message whose last line
// was open with that line closed, as any mbox reader gives it.

#include <sys/uio.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/MailboxSink.h"

namespace lumbrook {

// The line end a message gets when its last line is open (a CR alone gets the LF
// that makes it CR LF, others the message's own line end); none for the rest.
// Nothing else is added, so the message reads back as it was with its last line
// closed, as every mbox program gives it.
std::string_view addedLineEnd(std::string_view message);

// The four hex digits of X-Mozilla-Status for these flags.
std::string mozillaStatusValue(const MessageFlags& flags);

// Appends one message in the form above to out. status: the status lines, or none.
void appendMboxrdMessage(std::string& out, std::string_view rawMessage,
                         std::string_view envelopeAddress, std::int64_t unixTime,
                         const std::optional<MessageFlags>& status);

struct MboxrdEntry {
    std::string fromLine;  // without its LF
    std::string message;   // the original bytes, the last line closed
};

// Reads back what appendMboxrdMessage wrote (withStatus: whether the status lines
// were written). Text before the first "From " line is skipped.
std::vector<MboxrdEntry> readMboxrd(std::string_view mbox, bool withStatus);

// An mbox file opened for appending whole messages.
class MboxFile {
public:
    // Takes fd, an mbox file opened for reading and appending; path names it in
    // messages. Throws ConvertError for anything but a regular file.
    MboxFile(int fd, std::string path);
    ~MboxFile();
    MboxFile(const MboxFile&) = delete;
    MboxFile& operator=(const MboxFile&) = delete;

    std::uint64_t size() const { return fileSize; }
    const std::string& path() const { return filePath; }

    // Cuts off whatever follows size: the remains of an append that never finished.
    void truncateTo(std::uint64_t size);

    // The hash of the file's last bytes (tailHash), as it is now.
    std::uint64_t currentTailHash() const;

    // Writes the message and hands it to the system (no fsync). beforeWrite, when
    // set, learns where the message will lie and the file's tail hash after it,
    // before any of its bytes is written (the record's line). On failure the file
    // is cut back to where it was, and ConvertError is thrown (DestinationFullError
    // when there is no room).
    using BeforeWrite =
        std::function<void(std::uint64_t start, std::uint64_t end, std::uint64_t tailHash)>;
    void append(std::string_view rawMessage, std::string_view envelopeAddress,
                std::int64_t unixTime, const std::optional<MessageFlags>& status,
                const BeforeWrite& beforeWrite = {});

    void sync();

private:
    std::string filePath;
    int fd = -1;
    std::uint64_t fileSize = 0;
    bool lastLineOpen = false;  // a file we did not write may end without LF
    std::string tail;           // the file's last bytes, up to TailBytes
    std::string buffer;         // the lines before a message's text
    std::vector<struct iovec> pieces;
};

}  // namespace lumbrook
