#pragma once

// A whole store, or chosen folders of it, into a mail account over IMAP: the folder
// tree made under the account's prefix, the special folders onto the server's own
// (SPECIAL-USE), every message appended byte for byte with its flags and its date.
// The walk that lumbrook-cli upload and the window's "Upload to mail server..."
// share. Resumable and never twice: the upload record (UploadRecord.h) keeps what
// the server took, and before a folder's first upload of a run the Message-IDs the
// server holds there are read, so that what arrived otherwise is not sent again.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/StoreConversion.h"
#include "listing/FolderMessages.h"
#include "store/MailStore.h"
#include "upload/ImapAccount.h"
#include "upload/ImapClient.h"

namespace lumbrook {

// Asks a running upload to stop after the batch in hand; may be called from a
// signal handler or another thread. Waits between attempts to reach a server end
// at once when a stop is asked.
class UploadCancel {
public:
    UploadCancel();
    ~UploadCancel();
    UploadCancel(const UploadCancel&) = delete;
    UploadCancel& operator=(const UploadCancel&) = delete;

    void ask() noexcept;  // async-signal-safe
    bool asked() const noexcept { return flag.load(); }
    // For the recovery scan of a damaged folder, which takes a stop flag of its own.
    const std::atomic<bool>& flagForScans() const noexcept { return flag; }
    // Waits for the time given or a stop, whichever comes first; true on a stop.
    bool waitFor(std::chrono::milliseconds time) const;

private:
    std::atomic<bool> flag{false};
    int pipeFds[2] = {-1, -1};
};

struct UploadOptions {
    ImapAccount account;
    ImapCredentials credentials;
    std::string caFile;  // empty: the system's trust store
    // Folders to upload, each with its subfolders: display names or paths (ASCII case
    // ignored). Empty: the whole store.
    std::vector<std::string> folders;
    // When set, decides for each folder on its own instead (the window's check boxes).
    std::function<bool(const StoreFolder&)> include;
    // The deleted messages the folder files still hold too, each folder's into a
    // mailbox "<name> - Deleted messages" beside it (as a conversion does).
    bool deletedMessages = false;
    bool dryRun = false;        // connect and compare, but make and append nothing
    std::string recordDirectory;  // empty: UploadRecord::defaultDirectory()
    // Attempts to reach the server again after the connection broke, waiting
    // firstRetryWait, then twice as long each time (at most maxRetryWait).
    int reconnectAttempts = 8;
    std::chrono::milliseconds firstRetryWait{500};
    std::chrono::milliseconds maxRetryWait{15000};
    std::size_t batchMessages = 64;
    std::size_t batchBytes = std::size_t{4} << 20;
};

struct UploadProgress {
    std::size_t messagesDone = 0, messagesTotal = 0;
    std::uint64_t bytesDone = 0, bytesTotal = 0;
};

struct UploadReport {
    std::size_t folders = 0;          // folders made or found on the server
    std::size_t uploaded = 0;         // appended in this run (dry run: that would be)
    std::size_t alreadyRecorded = 0;  // the record says they are there
    std::size_t foundOnServer = 0;    // their Message-ID is on the server already
    std::uint64_t bytesUploaded = 0;
    std::size_t reconnects = 0;
    // "Folder, "Subject": the server's answer" for each message the server refused.
    std::vector<std::string> refused;
    // Folders or messages that could not be read, made or sent.
    std::vector<std::string> failures;
    std::vector<std::string> damaged;  // read only in part: uploaded as far as readable
    // Each folder file whose index could not be read whole: its messages were found
    // by the recovery scan (and uploaded), and what could not be found is counted.
    std::vector<FolderReport> damagedFolders;
    // "Store folder -> server mailbox" for each folder, in tree order.
    std::vector<std::string> destinations;
    std::size_t ignoredRecordLines = 0;
    bool cancelled = false;
    bool nothingMatched = false;
    std::size_t leftBehind = 0;  // messages of the run not on the server at its end

    bool complete() const { return !cancelled && leftBehind == 0 && failures.empty() && refused.empty(); }
};

// Runs the upload. Throws UploadError for what stops it as a whole (the server
// cannot be reached or refuses the login, its certificate is not trusted, the
// record cannot be opened); everything else is collected in the report.
UploadReport uploadStore(const MailStore& store, const UploadOptions& options,
                         const std::function<void(const UploadProgress&)>& progress = {},
                         const UploadCancel* cancel = nullptr);

}  // namespace lumbrook
