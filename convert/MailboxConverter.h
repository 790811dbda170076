#pragma once

// Writes a whole store's messages into today's mailbox layouts, folder by folder:
//   mbox     OUT/<Name> is the folder's mboxrd file, OUT/<Name>.sbd/ its subfolders
//            (the layout Thunderbird and ImportExportTools NG read)
//   maildir  OUT/<Name>/{cur,new,tmp} is the folder's Maildir, subfolders beside
//            cur/new/tmp as OUT/<Name>/<Sub>/ (the "fs" layout of mutt, Dovecot,
//            Evolution); a subfolder called cur, new or tmp gets " (2)"
//   eml      OUT/<Name>/<Sub>/... directories, one "YYYY-MM-DD HH-MM Subject.eml" each
// Nothing in OUT is ever replaced. The conversion record (MailboxManifest.h) makes
// a second run add only what is new and lets an interrupted run be run again.
//
// Usage: make folders with addFolder in tree order (parents first), then hand each
// message to addMessage; finish() at the end. Not thread-safe.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/MailboxManifest.h"
#include "convert/MailboxMbox.h"
#include "convert/MailboxNaming.h"

namespace lumbrook {

struct MailboxOptions {
    MailboxFormat format = MailboxFormat::Mbox;
    bool mozillaStatus = true;  // mbox: X-Mozilla-Status lines after each "From " line
    bool syncFiles = false;     // fsync every message file and record line (slow, crash-proof)
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

class MailboxConverter {
public:
    using FolderId = std::size_t;
    static constexpr FolderId Root = 0;

    // Creates outDir when missing and reads its conversion record.
    // Throws ConvertError when outDir cannot be made or the record not opened.
    MailboxConverter(std::string outDir, MailboxOptions options);
    ~MailboxConverter();

    // A folder under parent (Root for the top), created on disk now so that empty
    // folders show too. Throws ConvertError (and makes no id) when it cannot be made.
    FolderId addFolder(FolderId parent, std::string_view utf8DisplayName);

    // The folder's mbox file, Maildir or directory, relative to outDir.
    const std::string& folderPath(FolderId folder) const;

    // Writes the message unless the record says it is already there. Throws
    // ConvertError when it cannot be written whole; nothing half-written remains.
    // prepared: what prepareFile gave for this message, then only moved into place.
    ConvertOutcome addMessage(FolderId folder, const MailboxMessage& message,
                              const std::string& prepared = {});

    // eml and Maildir: writing a message's file is most of the work, and these two
    // let another thread do it while messages before it are placed (addMessage
    // keeps the order, and with it the names and the record). Both may run beside
    // addMessage, not beside addFolder.
    // Whether the record has the message (subject and flags do not matter here).
    bool recorded(const MailboxMessage& message) const;
    // Writes the file under a temporary name and returns that; throws ConvertError.
    std::string prepareFile(FolderId folder, const MailboxMessage& message);
    // A prepared file that is not going to be added.
    static void dropPrepared(const std::string& prepared);

    // Hands everything to the disk (with syncFiles), closes the open mbox file and
    // writes out the rest of the conversion record.
    void finish();

    // Lines of an earlier record that were cut off or damaged and so not believed.
    std::size_t ignoredRecordLines() const { return manifest.ignoredLines(); }

private:
    struct Folder {
        std::string path;
        SiblingNames children;
    };

    std::string absolute(const std::string& relative) const;
    void makeDirectory(const std::string& relative);
    MboxFile& mboxFor(const Folder& folder);
    ConvertOutcome addMbox(const Folder& folder, const MailboxMessage& message);
    ConvertOutcome addMaildir(const Folder& folder, const MailboxMessage& message,
                              std::string temporary);
    ConvertOutcome addEml(const Folder& folder, const MailboxMessage& message,
                          std::string temporary);
    std::string writeTemporary(const std::string& relativeDir, const MailboxMessage& message);
    // Moves the finished temporary file to each candidate name until one is free.
    template <typename NameFor>
    ConvertOutcome placeFile(const std::string& temporary, const std::string& relativeDir,
                             const MailboxMessage& message, std::size_t firstCandidate,
                             std::size_t& usedCandidate, NameFor nameFor);

    std::string outDir;
    MailboxOptions options;
    ConvertManifest manifest;
    std::vector<Folder> folders;
    std::unique_ptr<MboxFile> openMbox;
    std::string processId;  // in temporary names
    std::atomic<std::uint64_t> temporaryCounter{0};
    // eml: the next "_k" to try per directory and name, so that many messages with
    // one subject and minute do not test every taken name again.
    std::map<std::string, std::size_t> nextSuffix;
};

}  // namespace lumbrook
