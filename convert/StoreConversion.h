#pragma once

// A whole store, or chosen folders of it, into mbox, Maildir or .eml files with its
// folder tree: the walk that lumbrook-cli convert and the window's "Export store..."
// share, written once against MailboxSink: the destination is the sink's business.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/MailboxSink.h"
#include "listing/FolderMessages.h"
#include "store/MailStore.h"

namespace lumbrook {

// The store's folders in tree order, as the window shows them.
struct StoreFolder {
    std::int32_t index = 0;   // in the store's folder list
    std::int32_t parent = -1; // StoreFolder position of the parent, -1 at the top
    std::string name;         // UTF-8
    std::string path;         // "Outlook Express/Local Folders/Inbox"
    std::string fileName;     // empty for a folder without messages of its own
    // The store's root record or its local-folders node: levels of the store, not
    // folders a conversion writes (their children go where they would be).
    bool storeLevel = false;
};
std::vector<StoreFolder> storeFolders(const MailStore& store);

struct ConversionOptions {
    std::string outDir;
    MailboxOptions mailbox;
    // Folders to convert, each with its subfolders: display names or paths (ASCII
    // case ignored). Empty: the whole store.
    std::vector<std::string> folders;
    // When set, decides for each folder on its own instead (the window's check boxes).
    std::function<bool(const StoreFolder&)> include;
    // Words an error for the person, in the front end's language; without it a file
    // that cannot be opened is said in plain English and anything else in its log form.
    std::function<std::string(const std::exception&)> wordError;
    // The deleted messages the folder files still hold, each folder's into a folder
    // "<name> - Deleted messages" beside it. Every folder file is scanned then.
    bool deleted = false;
};

struct ConversionProgress {
    std::size_t messagesDone = 0, messagesTotal = 0;
    std::uint64_t bytesDone = 0, bytesTotal = 0;
};

struct ConversionReport {
    std::size_t folders = 0;
    std::size_t written = 0;
    std::size_t alreadyThere = 0;
    std::uint64_t bytesWritten = 0;
    std::vector<std::string> failures;  // each names the folder and message
    // Messages that could not be read whole: converted as far as readable, listed
    // with folder, subject, offset and what is wrong.
    std::vector<std::string> damaged;
    // What the user should know that is no failure (a folder under another name).
    std::vector<std::string> notices;
    // Each folder file whose index could not be read whole: its messages were found
    // by the recovery scan (and converted), and what could not be found is counted.
    // Each also gives a line of notices.
    std::vector<FolderReport> damagedFolders;
    std::size_t ignoredRecordLines = 0;
    bool destinationFull = false;  // the run stopped there: failures' last line says so
    bool cancelled = false;
    bool nothingMatched = false;  // folders were named and none of them exists
};

// Runs the conversion. progress is called after each message; cancel, when set,
// stops after the message in hand (what is written stays, and a second run goes
// on from there). Failures of single folders or messages are collected, the run
// goes on; an output directory that cannot be made throws ConvertError.
ConversionReport convertStore(const MailStore& store, const ConversionOptions& options,
                              const std::function<void(const ConversionProgress&)>& progress = {},
                              const std::atomic<bool>* cancel = nullptr);

}  // namespace lumbrook
