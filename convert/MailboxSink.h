#pragma once

// Where a conversion puts a store's messages: one sink per destination, each
// behind this interface, so that the walk over the store (StoreConversion) is
// written once. The sinks of today write into a directory on disk:
//   mbox     OUT/<Name> is the folder's mboxrd file, OUT/<Name>.sbd/ its subfolders
//            (the layout Thunderbird and ImportExportTools NG read)
//   maildir  OUT/<Name>/{cur,new,tmp} is the folder's Maildir, subfolders beside
//            cur/new/tmp as OUT/<Name>/<Sub>/ (the "fs" layout of mutt, Dovecot,
//            Evolution); a subfolder called cur, new or tmp gets " (2)"
//   eml      OUT/<Name>/<Sub>/... directories, one "YYYY-MM-DD HH-MM Subject.eml" each
// Nothing in OUT is ever replaced, and nothing is written through a link found
// below it (platform/DestinationDirectory.h): the folder meeting one fails, naming
// it, and the others go on. The conversion record (MailboxManifest.h) makes a
// second run add only what is new and lets an interrupted run, even a killed one,
// be run again without a message twice.
//
// Usage: open folders in tree order (parents first), hand each message of a folder
// to addMessage, close the folder; finish() at the end. Not thread-safe, except
// for the write-ahead calls below.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumbrook {

// A folder or message of the output could not be made or written; what() names it.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// No room left where the output goes (a full disk or quota): the run stops there,
// as every later message would fail the same way.
class DestinationFullError : public ConvertError {
public:
    using ConvertError::ConvertError;
};

// A destination's failure (platform/DestinationDirectory.h) as a conversion says it:
// a link is named as one.
std::string destinationErrorText(const std::exception& error);

// "<what> <path>: <system error text>" for errno.
std::string systemErrorText(std::string_view what, std::string_view path);

enum class MailboxFormat { Mbox, Maildir, Eml };

std::string_view mailboxFormatName(MailboxFormat format);  // "mbox", "maildir", "eml"
std::optional<MailboxFormat> parseMailboxFormat(std::string_view name);

struct MailboxOptions {
    MailboxFormat format = MailboxFormat::Mbox;
    bool mozillaStatus = true;  // mbox: X-Mozilla-Status lines after each "From " line
    bool syncFiles = false;     // fsync every message file and record line (slow, crash-proof)
};

struct MessageFlags {
    bool read = false;
    bool replied = false;
    bool forwarded = false;
    bool flagged = false;
};

struct MailboxMessage {
    std::string_view raw;          // the RFC 822 text exactly as stored
    std::uint64_t fileTime = 0;    // 100 ns since 1601 UTC; 0 = none (the Date field is used)
    std::string_view subject;      // UTF-8, for eml file names
    MessageFlags flags;
    std::string_view folderFile;   // with dataOffset and raw.size(): the record's key
    std::uint64_t dataOffset = 0;
};

enum class ConvertOutcome { Written, AlreadyThere };

class MailboxSink {
public:
    using FolderId = std::size_t;
    static constexpr FolderId Root = 0;

    virtual ~MailboxSink() = default;
    MailboxSink(const MailboxSink&) = delete;
    MailboxSink& operator=(const MailboxSink&) = delete;

    // A folder under parent (Root for the top), made now so that empty folders show
    // too. Throws ConvertError (and makes no id) when it cannot be made.
    virtual FolderId openFolder(FolderId parent, std::string_view utf8DisplayName) = 0;
    // Where the folder went, for messages: relative to the output directory.
    virtual const std::string& folderPath(FolderId folder) const = 0;

    // Adds the message with its flags and date unless the record says it is already
    // there. Throws ConvertError when it cannot be added whole; nothing
    // half-written remains. prepared: what prepare gave for this message.
    virtual ConvertOutcome addMessage(FolderId folder, const MailboxMessage& message,
                                      const std::string& prepared = {}) = 0;

    // No more messages come for the folder: what is held open for it is let go.
    virtual void closeFolder(FolderId folder) = 0;

    // Resuming: whether the record has the message (subject and flags do not matter
    // here). May run on another thread beside addMessage.
    virtual bool recorded(const MailboxMessage& message) const = 0;
    // Lines of an earlier record that were cut off or damaged and so not believed.
    virtual std::size_t ignoredRecordLines() const = 0;

    // Write-ahead, for sinks where writing a message's own file is most of the
    // work: another thread may prepare a message (write it under a temporary name)
    // while messages before it are added, beside addMessage but not beside
    // openFolder; addMessage keeps the order, and with it the names and the record.
    virtual bool writesAhead() const { return false; }
    // Throws ConvertError, always for a sink that does not write ahead.
    virtual std::string prepare(FolderId folder, const MailboxMessage& message);
    // A prepared message that is not going to be added.
    virtual void dropPrepared(const std::string& prepared);

    // Whether the store's root levels (StoreFolder::storeLevel) are folders here: so
    // only in a destination an older version began, which goes on as it was begun.
    virtual bool writesStoreLevels() const { return false; }

    // Hands everything to its destination and writes out the rest of the record.
    virtual void finish() = 0;

    // What the user should know that is no failure (a folder that went under
    // another name because its name was taken by a file not ours); taken once.
    std::vector<std::string> takeNotices() { return std::exchange(notices, {}); }

protected:
    std::vector<std::string> notices;

protected:
    MailboxSink() = default;
};

// The sink for options.format, writing into outDir: creates outDir when missing
// and reads its conversion record. Throws ConvertError when outDir cannot be made
// or the record not opened.
std::unique_ptr<MailboxSink> openMailboxSink(std::string outDir, const MailboxOptions& options);

}  // namespace lumbrook
