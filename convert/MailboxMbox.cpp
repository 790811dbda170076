#include "convert/MailboxMbox.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "convert/MailboxManifest.h"
#include "mime/HeaderFields.h"
#include "platform/DestinationDirectory.h"

namespace lumbrook {

namespace {

std::size_t findBytes(std::string_view text, std::size_t from, std::string_view needle) {
    if (from >= text.size()) return std::string_view::npos;  // memmem must not see a null text
    const void* hit = ::memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// Whether the line starting at pos reads ">*From ".
bool isFromLine(std::string_view text, std::size_t pos) {
    while (pos < text.size() && text[pos] == '>') ++pos;
    return text.size() - pos >= 5 && std::memcmp(text.data() + pos, "From ", 5) == 0;
}

// Calls onLine(start) for every line start of text that reads ">*From ", in order.
// Only a line that starts with '>' or 'F' can be one; those are found 16 bytes at
// a time (an LF followed by either), so that the scan, which runs over every byte
// converted to mbox, costs far less than a step from line to line.
template <typename OnLine>
void forEachFromLine(std::string_view text, OnLine onLine) {
    const char* const begin = text.data();
    const std::size_t size = text.size();
    const auto candidate = [&](std::size_t pos) {
        if ((begin[pos] == '>' || begin[pos] == 'F') && isFromLine(text, pos)) onLine(pos);
    };
    if (size == 0) return;
    candidate(0);
    std::size_t pos = 1;  // every later line start follows an LF
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i f = _mm_set1_epi8('F');
    const __m128i quote = _mm_set1_epi8('>');
    for (; size - pos >= 16; pos += 16) {
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + pos - 1));
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + pos));
        const __m128i hit = _mm_and_si128(
            _mm_cmpeq_epi8(before, lf),
            _mm_or_si128(_mm_cmpeq_epi8(here, f), _mm_cmpeq_epi8(here, quote)));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0; mask &= mask - 1)
            candidate(pos + static_cast<std::size_t>(__builtin_ctz(mask)));
    }
#endif
    for (; pos < size; ++pos)
        if (begin[pos - 1] == '\n') candidate(pos);
}

std::string_view lineEndOf(std::string_view message) {
    const std::size_t lf = message.find('\n');
    return lf != std::string_view::npos && lf > 0 && message[lf - 1] == '\r' ? "\r\n" : "\n";
}

// What follows a message's text: its last line's end, when open, and the empty
// line a reader splits at.
std::string_view closingLineEnds(std::string_view message) {
    const std::string_view added = addedLineEnd(message);
    if (added.empty()) return "\n";
    return added == "\r\n" ? "\r\n\n" : "\n\n";
}

// Takes one line (with its LF) off the front of text when it starts with prefix.
bool takeLine(std::string_view& text, std::string_view prefix, std::string_view* line = nullptr) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    const std::size_t lf = text.find('\n');
    if (line != nullptr) *line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    return true;
}

}  // namespace

std::string_view addedLineEnd(std::string_view message) {
    if (message.empty() || message.back() == '\n') return {};
    if (message.back() == '\r') return "\n";  // completes the CR LF
    return lineEndOf(message);
}

std::string mozillaStatusValue(const MessageFlags& flags) {
    unsigned value = 0;
    if (flags.read) value |= 0x0001;
    if (flags.replied) value |= 0x0002;
    if (flags.flagged) value |= 0x0004;
    if (flags.forwarded) value |= 0x1000;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04x", value);
    return hex;
}

namespace {

// X-Status as mutt, neomutt and Dovecot read it: A answered, F flagged. The line is
// written even when empty, so that the status lines are always the same four and a
// message's own X-Status is never taken for ours.
std::string xStatusValue(const MessageFlags& flags) {
    std::string value;
    if (flags.replied || flags.flagged) value = " ";
    if (flags.replied) value += 'A';
    if (flags.flagged) value += 'F';
    return value;
}

// The mboxrd form of one message in pieces: head gets the lines before the text
// (all of them before the first piece), onPiece is called with the text's
// stretches, the quoting ">"s between them and the closing line ends, in order.
// Pieces are views into rawMessage or constants, so a writer can hand them to the
// system without copying the text.
template <typename OnPiece>
void mboxrdPieces(std::string& head, std::string_view rawMessage, std::string_view envelopeAddress,
                  std::int64_t unixTime, const std::optional<MessageFlags>& status,
                  OnPiece onPiece) {
    const std::string_view lineEnd = lineEndOf(rawMessage);
    head.append("From ").append(envelopeAddress).append(" ");
    head.append(asctimeUtc(unixTime)).append("\n");
    if (status) {
        head.append("X-Mozilla-Status: ").append(mozillaStatusValue(*status)).append(lineEnd);
        head.append("X-Mozilla-Status2: 00000000").append(lineEnd);
        head.append("Status: ").append(status->read ? "RO" : "O").append(lineEnd);
        head.append("X-Status:").append(xStatusValue(*status)).append(lineEnd);
    }
    std::size_t copied = 0;
    forEachFromLine(rawMessage, [&](std::size_t lineStart) {
        onPiece(rawMessage.substr(copied, lineStart - copied));
        onPiece(std::string_view(">"));
        copied = lineStart;
    });
    onPiece(rawMessage.substr(copied));
    onPiece(closingLineEnds(rawMessage));
}

}  // namespace

void appendMboxrdMessage(std::string& out, std::string_view rawMessage,
                         std::string_view envelopeAddress, std::int64_t unixTime,
                         const std::optional<MessageFlags>& status) {
    // The head is complete before the first piece comes.
    mboxrdPieces(out, rawMessage, envelopeAddress, unixTime, status,
                 [&](std::string_view piece) { out.append(piece); });
}

std::vector<MboxrdEntry> readMboxrd(std::string_view mbox, bool withStatus) {
    // Separators: every line that starts with "From " (quoting keeps all others away).
    std::vector<std::size_t> starts;
    if (mbox.substr(0, 5) == "From ") starts.push_back(0);
    for (std::size_t hit = findBytes(mbox, 0, "\nFrom "); hit != std::string_view::npos;
         hit = findBytes(mbox, hit + 1, "\nFrom "))
        starts.push_back(hit + 1);

    std::vector<MboxrdEntry> entries;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : mbox.size();
        std::string_view block = mbox.substr(starts[i], end - starts[i]);
        MboxrdEntry entry;
        std::string_view fromLine;
        takeLine(block, "From ", &fromLine);
        entry.fromLine = std::string(fromLine);
        if (!block.empty() && block.back() == '\n') block.remove_suffix(1);  // the empty line
        if (withStatus && takeLine(block, "X-Mozilla-Status: ") &&
            takeLine(block, "X-Mozilla-Status2: ") && takeLine(block, "Status: "))
            takeLine(block, "X-Status:");

        std::size_t copied = 0;
        forEachFromLine(block, [&](std::size_t lineStart) {
            if (block[lineStart] != '>') return;  // only a foreign file has these
            entry.message.append(block.substr(copied, lineStart - copied));
            copied = lineStart + 1;  // drops one ">"
        });
        entry.message.append(block.substr(copied));
        entries.push_back(std::move(entry));
    }
    return entries;
}

MboxFile::MboxFile(int descriptor, std::string path) : filePath(std::move(path)), fd(descriptor) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        fd = -1;
        throw ConvertError("Not a regular file: " + filePath);
    }
    fileSize = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, TailBytes);
    tail.resize(tailSize);
    if (tailSize > 0 && ::pread(fd, tail.data(), tailSize, static_cast<off_t>(fileSize - tailSize)) !=
                            static_cast<ssize_t>(tailSize)) {
        ::close(fd);
        fd = -1;
        throw ConvertError(systemErrorText("Cannot read the mbox file", filePath));
    }
    lastLineOpen = !tail.empty() && tail.back() != '\n';
}

std::uint64_t MboxFile::currentTailHash() const {
    return tailHash(tail);
}

MboxFile::~MboxFile() {
    if (fd >= 0) ::close(fd);
}

void MboxFile::truncateTo(std::uint64_t size) {
    if (size >= fileSize) return;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        throw ConvertError(systemErrorText("Cannot cut back the mbox file", filePath));
    fileSize = size;
    const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, TailBytes);
    tail.resize(tailSize);
    if (tailSize > 0 && ::pread(fd, tail.data(), tailSize, static_cast<off_t>(fileSize - tailSize)) !=
                            static_cast<ssize_t>(tailSize))
        throw ConvertError(systemErrorText("Cannot read the mbox file", filePath));
    lastLineOpen = !tail.empty() && tail.back() != '\n';
}

void MboxFile::append(std::string_view rawMessage, std::string_view envelopeAddress,
                      std::int64_t unixTime, const std::optional<MessageFlags>& status,
                      const BeforeWrite& beforeWrite) {
    // The text goes to the system straight from where it was read (writev): for an
    // mbox the copy into a buffer of its own would be a third of the work.
    buffer.clear();
    if (lastLineOpen) buffer.append("\n");
    pieces.clear();
    pieces.push_back(iovec{nullptr, 0});  // the head, once it is complete
    const auto addPiece = [&](std::string_view piece) {
        if (!piece.empty()) pieces.push_back(iovec{const_cast<char*>(piece.data()), piece.size()});
    };
    mboxrdPieces(buffer, rawMessage, envelopeAddress, unixTime, status, addPiece);
    pieces[0] = iovec{buffer.data(), buffer.size()};
    std::uint64_t total = 0;
    for (const iovec& piece : pieces) total += piece.iov_len;

    // The file's last bytes once the message is in: from the pieces' end backwards.
    std::string newTail;
    {
        std::vector<std::string_view> ends;
        std::size_t need = TailBytes;
        for (std::size_t i = pieces.size(); i-- > 0 && need > 0;) {
            const std::string_view piece(static_cast<const char*>(pieces[i].iov_base), pieces[i].iov_len);
            const std::size_t take = std::min(need, piece.size());
            ends.push_back(piece.substr(piece.size() - take));
            need -= take;
        }
        if (need > 0) ends.push_back(std::string_view(tail).substr(tail.size() - std::min(need, tail.size())));
        newTail.reserve(TailBytes);
        for (auto it = ends.rbegin(); it != ends.rend(); ++it) newTail.append(*it);
    }
    if (beforeWrite) beforeWrite(fileSize, fileSize + total, tailHash(newTail));
    testKillPoint([&] {
        // Dies half-way through the message's first lines, as a kill mid-write would.
        (void)!::write(fd, buffer.data(), buffer.size() / 2);
    });

    std::size_t next = 0;
    while (next < pieces.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(pieces.size() - next, IOV_MAX));
        const ssize_t n = ::writev(fd, pieces.data() + next, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const bool full = n < 0 && (errno == ENOSPC || errno == EDQUOT);
            std::string text = systemErrorText("Cannot write the mbox file", filePath);
            // A cut-off message would glue onto the next one: take it out again.
            if (::ftruncate(fd, static_cast<off_t>(fileSize)) != 0)
                text += " (and the partly written message could not be removed)";
            if (full) throw DestinationFullError(text);
            throw ConvertError(text);
        }
        // Past what was written: whole pieces, then the rest of a partly written one.
        auto done = static_cast<std::size_t>(n);
        while (next < pieces.size() && done >= pieces[next].iov_len) done -= pieces[next++].iov_len;
        if (done > 0) {
            pieces[next].iov_base = static_cast<char*>(pieces[next].iov_base) + done;
            pieces[next].iov_len -= done;
        }
    }
    fileSize += total;
    tail = std::move(newTail);
    lastLineOpen = false;
}

void MboxFile::sync() {
    if (::fdatasync(fd) != 0) throw ConvertError(systemErrorText("Cannot sync the mbox file", filePath));
}

}  // namespace lumbrook
