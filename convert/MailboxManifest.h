#pragma once

// The record of a conversion, kept in the output directory, so that a second run
// writes only what is new and an interrupted run can simply be started again.
//
// One line per event, appended and handed to the system as soon as the event is
// safely done; fields are separated by TAB (TAB, LF, CR and "\" escaped), and every
// line ends with "#" and a checksum of its text, so that a cut-off or damaged line
// is recognised and ignored:
//   M <format> <folder file> <data offset> <text size> <path> <mbox end or ->
//       a message is in place at path (relative to the output directory)
//   S <path> <size> <tail hash>
//       an mbox file holds this many bytes, the last of them (up to TailBytes)
//       with this hash: what the file is known to be; records of older versions
//       have no hash
//   A <format> <folder file> <data offset> <text size> <path> <start> <end> <tail hash>
//       a message is about to be appended to the mbox file at path, which then
//       ends at end with this tail hash. Written before the message's bytes: a
//       resume never has to guess what they are. The append is done when the
//       next A line for the file starts at its end, or when the file there ends
//       with the hash (checked when the folder is opened again).
//   L <layout>
//       the folders' layout the destination was begun with: "local-folders-at-top"
//       (the store's root levels are not folders of the output, OUT/Inbox is the
//       Inbox). A record without this line was begun by an older version, which
//       wrote the root levels as folders ("Outlook Express/Local Folders/Inbox").
// An mbox file the record does not know was not written by us: it is never
// appended to, cut or replaced.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "convert/MailboxSink.h"

namespace lumbrook {

// A field of a record line: TAB, LF, CR and "\" escaped, so that a line is always one
// line whatever a name or path holds. Nothing for a field that is not escaped so.
std::string escapeRecordField(std::string_view text);
std::optional<std::string> unescapeRecordField(std::string_view text);

class DestinationDirectory;

// A message of the record, kept small: a store converted whole records a line per
// message, and the keys as text cost more than the messages in flight.
struct RecordedMessageKey {
    std::uint64_t dataOffset = 0;
    std::uint64_t textSize = 0;
    std::uint32_t folderFile = 0;  // numbered by the record, one number per file name
    MailboxFormat format = MailboxFormat::Mbox;
    bool operator==(const RecordedMessageKey&) const = default;
};

struct RecordedMessageKeyHash {
    std::size_t operator()(const RecordedMessageKey& key) const noexcept;
};

// What an mbox file is known to hold.
struct MboxState {
    std::uint64_t end = 0;
    std::optional<std::uint64_t> tailHash;  // none: a record of an older version
    // The last append begun: whether it finished is read from the file itself.
    struct Append {
        std::string key;  // as the record's lines spell it
        RecordedMessageKey message;
        std::uint64_t end = 0;
        std::uint64_t tailHash = 0;
    };
    std::optional<Append> pending;
};

// The hash of an mbox file's last bytes before end, as the record keeps it.
inline constexpr std::size_t TailBytes = 4096;
std::uint64_t tailHash(std::string_view lastBytes);

class ConvertManifest {
public:
    static constexpr std::string_view FileName = ".lumbrook-convert";

    // Reads outDir/FileName when it is there and opens it for appending, locked for
    // this process. Throws ConvertError when it can be neither read nor created, or
    // when another conversion holds it.
    ConvertManifest(const DestinationDirectory& outDir, bool syncEachLine);
    ConvertManifest(const std::string& outDir, bool syncEachLine);
    ~ConvertManifest();
    ConvertManifest(const ConvertManifest&) = delete;
    ConvertManifest& operator=(const ConvertManifest&) = delete;

    // The lookups may run on another thread than the recording (a read-ahead
    // thread asks whether to write a message at all).
    bool contains(MailboxFormat format, std::string_view folderFile, std::uint64_t dataOffset,
                  std::uint64_t textSize) const;
    // Whether a message is recorded as being at this path.
    bool isDestination(std::string_view path) const;
    // How far the mbox file at path is known to be whole; none when never written.
    std::optional<std::uint64_t> mboxSize(std::string_view path) const;

    std::optional<MboxState> mboxState(std::string_view path) const;

    // Written out at once, before the file is made or changed.
    void recordMboxState(std::string_view path, std::uint64_t size, std::uint64_t tailHash);
    // Written out at once, before the message's bytes; appendDone once they are.
    void recordMboxAppend(MailboxFormat format, std::string_view folderFile,
                          std::uint64_t dataOffset, std::uint64_t textSize, std::string_view path,
                          std::uint64_t start, std::uint64_t end, std::uint64_t tailHash);
    // The append pending for path finished (it is now a message of the record);
    // found: learnt from the file on resuming, which the record then says.
    void appendDone(std::string_view path, bool found = false);
    void recordMessage(MailboxFormat format, std::string_view folderFile, std::uint64_t dataOffset,
                       std::uint64_t textSize, std::string_view path,
                       std::optional<std::uint64_t> mboxEnd);

    std::size_t ignoredLines() const { return ignored; }

    // The layout the record names, if any; whether it held any line of a run at all.
    const std::optional<std::string>& layout() const { return recordedLayout; }
    bool holdsAnything() const { return holdsLines; }
    // Written out at once, before the first folder is made.
    void recordLayout(std::string_view layout);

    // Hands the lines recorded so far to the system. Without syncEachLine, lines are
    // gathered and written in batches: a line always follows what it records, and a
    // line lost with a crash only makes the next run look at that message again.
    void flush();

private:
    // Under guard.
    RecordedMessageKey keyOf(MailboxFormat format, std::string_view folderFile,
                             std::uint64_t dataOffset, std::uint64_t textSize);
    std::optional<RecordedMessageKey> knownKeyOf(MailboxFormat format, std::string_view folderFile,
                                         std::uint64_t dataOffset, std::uint64_t textSize) const;

    void readExisting(const std::string& text);
    void appendLine(std::string line, bool now = false);
    void writeOut(std::string_view text);

    std::string filePath;
    int fd = -1;
    bool syncEachLine = false;
    std::string pending;  // lines not yet written (without syncEachLine)
    std::size_t ignored = 0;
    std::optional<std::string> recordedLayout;
    bool holdsLines = false;
    mutable std::mutex guard;  // over the sets below
    std::map<std::string, std::uint32_t, std::less<>> folderFileIds;
    std::unordered_set<RecordedMessageKey, RecordedMessageKeyHash> done;
    // The paths by their 64-bit hashes: a path is asked about only when a new
    // message's name is taken, and a false match (one in billions) only leaves a
    // file with the same bytes that is not ours where it is and writes the message
    // under the next name.
    std::unordered_set<std::uint64_t> destinations;
    std::unordered_map<std::string, MboxState> mboxStates;
};

}  // namespace lumbrook
