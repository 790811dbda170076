#pragma once

// mbox: one mboxrd file per folder (MailboxMbox.h), its subfolders in <Name>.sbd/.
// A folder's file stays open while its messages come.
//
// The record (MailboxManifest.h) says what each mbox file holds: an mbox file it
// does not know is someone else's and is never appended to (the folder goes to the
// next name, "Inbox (2)"); a file it knows is cut back only to an end it knows and
// only when what follows is the first part of the append the record says began
// there (a run killed half-way through a message). Anything else after our end
// (mail the user added) is kept, and new messages go after it.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "convert/DirectorySink.h"
#include "convert/MailboxMbox.h"

namespace lumbrook {

class MboxSink final : public DirectorySink {
public:
    MboxSink(std::string outDir, const MailboxOptions& options);

    void closeFolder(FolderId folder) override;
    void finish() override;

private:
    std::optional<std::string> makeFolder(const std::string& parentPath,
                                          const std::string& name) override;
    SiblingNames subfolderNames() const override;
    ConvertOutcome addNew(const std::string& folderPath, const MailboxMessage& message,
                          const std::string& prepared) override;

    // Whether the file the record knows at path is still what we left; brings it
    // to a known end (taking off a half-written message of ours).
    bool resumeFile(int fd, const std::string& path, const MboxState& state);
    // The messages an mbox file holds from offset on, by their texts' hashes: a
    // message found there is not written again (a resume after the record was
    // lost, cut or replaced by an older copy).
    void collectPresent(int fd, std::uint64_t offset, const std::string& folderPath);
    void collectPresentAt(const std::string& relativePath, const std::string& folderPath);

    // Takes off the end of the file at folderPath what is the first part of form,
    // the message about to be appended, from a line start at or after floor: that
    // message, cut off by a kill, past the end an older record knows.
    void cutOwnFragment(const std::string& folderPath, std::uint64_t floor, const std::string& form);

    MboxFile& fileFor(const std::string& folderPath);
    void closeFile();

    std::unique_ptr<MboxFile> openFile;
    std::unordered_map<std::string, std::unordered_map<std::uint64_t, std::size_t>> present;
    // Where a folder that went to another name (and its subfolders) would have
    // been: the messages found there count as present.
    std::map<std::string, std::string> shadows;
    std::optional<std::string> divertedFrom;
    // Files with bytes past the end the record knows, kept: from where a message of
    // ours cut off by a kill may lie at their end.
    std::map<std::string, std::uint64_t> cutFloors;
};

}  // namespace lumbrook
