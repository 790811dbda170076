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
//   S <path> <size>
//       an mbox file had this size before this run appended to it
// For an mbox file the last of these lines tells how far the file is known to be
// whole; anything beyond it is an append that never finished.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "convert/MailboxSink.h"

namespace lumbrook {

class ConvertManifest {
public:
    static constexpr std::string_view FileName = ".lumbrook-convert";

    // Reads outDir/FileName when it is there and opens it for appending, locked for
    // this process. Throws ConvertError when it can be neither read nor created, or
    // when another conversion holds it.
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

    void recordMboxSize(std::string_view path, std::uint64_t size);
    void recordMessage(MailboxFormat format, std::string_view folderFile, std::uint64_t dataOffset,
                       std::uint64_t textSize, std::string_view path,
                       std::optional<std::uint64_t> mboxEnd);

    std::size_t ignoredLines() const { return ignored; }

    // Hands the lines recorded so far to the system. Without syncEachLine, lines are
    // gathered and written in batches: a line always follows what it records, and a
    // line lost with a crash only makes the next run look at that message again.
    void flush();

private:
    void readExisting(const std::string& text);
    void appendLine(std::string line);
    void writeOut(std::string_view text);

    std::string filePath;
    int fd = -1;
    bool syncEachLine = false;
    std::string pending;  // lines not yet written (without syncEachLine)
    std::size_t ignored = 0;
    mutable std::mutex guard;  // over the three sets below
    std::unordered_set<std::string> done;
    std::unordered_set<std::string> destinations;
    std::unordered_map<std::string, std::uint64_t> mboxSizes;
};

}  // namespace lumbrook
