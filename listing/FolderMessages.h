#pragma once

// A folder's messages, whole: the records its index gives and, for a folder file
// whose index cannot be read whole, the messages the recovery scan finds after
// them, with what came of it. The one way every front end (list, save, export,
// convert, index, window) reads a folder, so that none of them leaves mail behind
// that another one finds. A healthy folder is never scanned: the check is its
// header and its index alone, so it costs what reading the index always cost.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "listing/FoundMessages.h"
#include "store/MailStore.h"

namespace lumbrook {

// Why a folder file's index could not be read whole. The core holds no sentences:
// the front end words it.
enum class IndexDamage : std::uint8_t {
    None,
    Unreadable,     // the header is damaged, or it counts messages none of which could be read
    EmptyWithData,  // the index lists nothing, though the file holds more than its header
    CountsMore,     // the header counts more messages than the index gave
    Failed,         // reading the index failed outright (FolderReport::failure says how)
};

// What reading one folder file gave, for the front end's word on it.
struct FolderReport {
    std::string fileName;
    IndexDamage damage = IndexDamage::None;
    std::string failure;             // Failed: what reading the index threw
    std::int64_t counted = 0;        // messages the header counts
    std::size_t listed = 0;          // records the index gave
    std::size_t recovered = 0;       // found by the scan, text whole
    std::size_t damaged = 0;         // found by the scan, text not whole
    std::size_t deleted = 0;         // of recovered and damaged, deleted ones (only when asked)
    std::size_t lost = 0;            // counted by the header, neither listed nor found
    bool whole() const { return damage == IndexDamage::None; }
};

// The report in one plain English sentence for the command line and logs: the
// file, why its index could not be read whole and what the scan found
// ("Inbox.dbx: the index could not be read (the file is damaged); 241 messages were
// found by the recovery scan, 2 of them damaged, 0 lost"). The window words its own.
std::string folderReportText(const FolderReport& report);

// Whether a folder file's index can be trusted: from its header (count, signature)
// and the records the index gave, nothing else is read.
IndexDamage indexDamageOf(const ByteSource& source, std::size_t recordCount);

struct FolderMessageOptions {
    // Deleted chains too (marked MessageOrigin::Deleted). Asking for them scans
    // every folder, healthy ones included: deleted mail is only found by a scan.
    bool deleted = false;
    ScanOptions scan;
    const std::atomic<bool>* stop = nullptr;
};

// One folder's records, the index's first (in its order), then the found ones in
// file order, and what the scan found for them.
struct FolderMessages {
    MessageList records;
    RecoveredFolder found;  // empty for a folder that was not scanned
    FolderReport report;
};

// Reads the folder's index and, when it cannot be read whole (or deleted ones are
// asked for), scans the file. A file that cannot be opened throws FileOpenError
// (nothing can be found in it either); a stop request ends the scan with what was
// found so far.
FolderMessages readFolderMessages(const MailStore& store, const std::string& fileName,
                                  const FolderMessageOptions& options = {});

// Reads any record of a FolderMessages, listed or found, one after the other, the
// listed ones through one FolderReader (a block goes to the first message that
// reaches it). Keeps a reference to folder, which must outlive it. Throws
// FileOpenError when the file cannot be opened.
class FolderTextReader {
  public:
    FolderTextReader(const MailStore& store, const FolderMessages& folder);
    ~FolderTextReader();
    FolderTextReader(const FolderTextReader&) = delete;
    FolderTextReader& operator=(const FolderTextReader&) = delete;

    MessageText read(const MessageInfo& record);

  private:
    const MailStore& store;
    const FolderMessages& folder;
    FolderReader listedTexts;
    std::optional<StoreFile> file;  // for found ones, opened at the first
    // found record's offset and kind -> its chain in folder.found
    std::unordered_map<std::uint64_t, std::size_t> foundAt[2];
};

}  // namespace lumbrook
