#include "convert/StoreConversion.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "base/Ascii.h"
#include "base/Errors.h"
#include "listing/FolderTree.h"

namespace lumbrook {

namespace {
// A failure as the front end words it; else in plain English, an open error with
// its path and the system's reason.
std::string describe(const std::exception& e, const ConversionOptions& options) {
    if (options.wordError) return options.wordError(e);
    if (const auto* open = dynamic_cast<const FileOpenError*>(&e); open && !open->path().empty())
        return "cannot open " + open->path() +
               (open->errorNumber() ? std::string(": ") + std::strerror(open->errorNumber()) : "");
    return e.what();
}

// Text read ahead and not yet written: enough to keep the writer busy while the
// reader waits on the disk, and little enough to stay in the processor's cache
// between the read and the write. A message bigger than this still goes through,
// alone.
constexpr std::size_t ReadAheadBytes = std::size_t{8} << 20;
constexpr std::size_t ReadAheadMessages = 512;
constexpr std::size_t WakeMessages = 32;
constexpr std::size_t WakeBytes = std::size_t{512} << 10;

// One message as read, or why it could not be; for a sink that writes ahead perhaps
// already prepared.
struct ReadItem {
    MessageText read;
    std::string error;
    std::string prepared;
    std::string prepareError;
    bool prepareFull = false;  // the prepare error was a full destination
};

// Preparing a message, for a sink that writes ahead (eml and Maildir write its
// file), on the reading thread for every third message: reading a folder costs
// about half as much as writing its files, so with this share both threads are
// about equally busy (measured per thread on a generated store in tmpfs). The
// writer still adds every message, in order.
constexpr std::size_t PrepareEvery = 3;

// What the conversion keeps of a message's record until it is written: a record
// holds three strings, and keeping all of them for every folder of a big store
// (131,000 messages) cost more memory than the texts in flight.
struct ConvertItem {
    std::uint64_t date = 0;
    std::int64_t dataOffset = 0;
    std::int32_t entry91 = 0;
    std::uint32_t flags = 0;
    MessageOrigin origin = MessageOrigin::Listed;
    std::string subject;

    explicit ConvertItem(MessageInfo&& m)
        : date(m.date), dataOffset(m.dataOffset), entry91(m.entry91), flags(m.flags),
          origin(m.origin), subject(std::move(m.subject)) {
        subject.shrink_to_fit();
    }
    // What the folder's text reader needs to find the text.
    MessageInfo textRecord() const {
        MessageInfo m;
        m.dataOffset = dataOffset;
        m.entry91 = entry91;
        m.origin = origin;
        return m;
    }
    MessageFlags messageFlags() const {
        return MessageFlags{(flags & MessageFlag::Read) != 0, (flags & MessageFlag::Replied) != 0,
                            (flags & MessageFlag::Forwarded) != 0, (flags & MessageFlag::Flagged) != 0};
    }
};
using ConvertList = std::vector<ConvertItem>;

struct FilePreparer {
    MailboxSink& sink;
    MailboxSink::FolderId folder;
    const std::string& folderFile;
};

// Reads a folder's messages on a thread of its own, in the list's order, while the
// caller writes them: reading the store and writing the output then share the two
// cores of a small machine. The order is the list's whatever the timing, so the
// output, the record and the damaged list are the same as one thread's.
class ReadAhead {
public:
    ReadAhead(FolderTextReader& reader, const ConvertList& list, const std::atomic<bool>* cancel,
              std::optional<FilePreparer> preparer, const ConversionOptions& options)
        : reader(reader), list(list), cancel(cancel), preparer(preparer), options(options),
          thread([this] { run(); }) {}
    ~ReadAhead() {
        {
            std::lock_guard lock(mutex);
            stopped = true;
        }
        changed.notify_all();
        thread.join();
        if (preparer)
            for (const ReadItem& item : queue) preparer->sink.dropPrepared(item.prepared);
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next message of the list; none once the reader has stopped early (cancel).
    std::optional<ReadItem> next() {
        std::unique_lock lock(mutex);
        if (queue.empty() && !finished) {
            writerWaits = true;
            changed.wait(lock, [&] { return !queue.empty() || finished; });
            writerWaits = false;
        }
        if (queue.empty()) return std::nullopt;
        ReadItem item = std::move(queue.front());
        queue.pop_front();
        queuedBytes -= item.read.text.size();
        // Wake a waiting reader only once half the room is free again: one wake-up
        // per batch of messages, not one system call per message.
        const bool wake = readerWaits && (queue.empty() || (queuedBytes <= ReadAheadBytes / 2 &&
                                                            queue.size() <= ReadAheadMessages / 2));
        lock.unlock();
        if (wake) changed.notify_all();
        return item;
    }

private:
    void run() {
        std::size_t index = 0;
        for (const ConvertItem& m : list) {
            if (cancel && cancel->load()) break;
            ReadItem item;
            try {
                item.read = reader.read(m.textRecord());
            } catch (const std::exception& e) {
                item.error = describe(e, options);
            }
            if (preparer && index++ % PrepareEvery == 0 && item.error.empty() &&
                !item.read.text.empty()) {
                const MailboxMessage message{item.read.text, m.date, {}, {}, preparer->folderFile,
                                             static_cast<std::uint64_t>(std::max<std::int64_t>(0, m.dataOffset))};
                try {
                    if (!preparer->sink.recorded(message))
                        item.prepared = preparer->sink.prepare(preparer->folder, message);
                } catch (const std::exception& e) {
                    item.prepareError = describe(e, options);
                    item.prepareFull = dynamic_cast<const DestinationFullError*>(&e) != nullptr;
                }
            }
            std::unique_lock lock(mutex);
            const auto room = [&] {
                return stopped || queue.empty() ||
                       (queuedBytes < ReadAheadBytes && queue.size() < ReadAheadMessages);
            };
            if (!room()) {
                readerWaits = true;
                changed.wait(lock, room);
                readerWaits = false;
            }
            if (stopped) {
                if (preparer) preparer->sink.dropPrepared(item.prepared);
                break;
            }
            queuedBytes += item.read.text.size();
            queue.push_back(std::move(item));
            // A waiting writer is woken for a batch, not for each message.
            const bool wake =
                writerWaits && (queue.size() >= WakeMessages || queuedBytes >= WakeBytes);
            lock.unlock();
            if (wake) changed.notify_all();
        }
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        changed.notify_all();
    }

    FolderTextReader& reader;
    const ConvertList& list;
    const std::atomic<bool>* cancel;
    std::optional<FilePreparer> preparer;
    const ConversionOptions& options;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ReadItem> queue;
    std::size_t queuedBytes = 0;
    bool finished = false;
    bool stopped = false;
    bool readerWaits = false, writerWaits = false;
    std::thread thread;  // last: starts once everything above is made
};

}  // namespace

std::vector<StoreFolder> storeFolders(const MailStore& store) {
    const FolderList folders = store.readFolders();
    const FolderTree tree(folders);
    std::vector<StoreFolder> out;
    std::vector<std::int32_t> positionOf(folders.size(), -1);
    for (std::int32_t n : tree.positions()) {
        StoreFolder f;
        f.index = n;
        const std::int32_t parentNode = tree.nodes()[n].parent;
        f.parent = parentNode < 0 ? -1 : positionOf[parentNode];
        f.name = store.toUtf8(folders[n].name);
        f.path = f.parent < 0 ? f.name : out[f.parent].path + "/" + f.name;
        f.fileName = folders[n].fileName;
        // The mail client numbers its root record 0 (a number it often leaves out:
        // then -1 here) and the local folders 1; other accounts' nodes (IMAP, news)
        // get later numbers and stay folders.
        const std::int32_t id = folders[n].folderId;
        if (f.fileName.empty())
            f.storeLevel = f.parent < 0 ? id == 0 || id == -1 || id == 1
                                        : out[f.parent].storeLevel && id == 1;
        positionOf[n] = static_cast<std::int32_t>(out.size());
        out.push_back(std::move(f));
    }
    return out;
}

ConversionReport convertStore(const MailStore& store, const ConversionOptions& options,
                              const std::function<void(const ConversionProgress&)>& progress,
                              const std::atomic<bool>* cancel) {
    ConversionReport report;
    const std::vector<StoreFolder> folders = storeFolders(store);
    const std::size_t count = folders.size();

    // What the run includes: every folder named (with its subfolders), and the
    // folders above it, so that it keeps its place in the tree.
    std::vector<bool> included(count, options.folders.empty());
    for (std::size_t i = 0; i < count && options.include; ++i) included[i] = options.include(folders[i]);
    for (std::size_t i = 0; i < count && !options.folders.empty() && !options.include; ++i) {
        const StoreFolder& f = folders[i];
        const bool named = std::any_of(options.folders.begin(), options.folders.end(),
                                       [&](const std::string& w) {
                                           return equalsNoCase(f.name, w) || equalsNoCase(f.path, w);
                                       });
        if (named || (f.parent >= 0 && included[f.parent])) included[i] = true;
    }
    if (std::none_of(included.begin(), included.end(), [](bool b) { return b; })) {
        report.nothingMatched = !options.folders.empty();
        return report;
    }

    // Every included folder's index first: the totals drive the progress. A folder
    // whose index cannot be read whole is scanned here, and its found messages go
    // with its own; deleted ones (when asked for) into a folder of their own.
    std::vector<FolderMessages> read(count);
    std::vector<ConvertList> lists(count), deletedLists(count);
    ConversionProgress state;
    FolderMessageOptions readOptions;
    readOptions.deleted = options.deleted;
    readOptions.stop = cancel;
    // Oldest first, as mail programs append. The dates are sorted with their
    // places, and each record is then moved once: a record holds a dozen strings.
    const auto oldestFirst = [](ConvertList& list) {
        std::vector<std::pair<std::uint64_t, std::size_t>> order;
        order.reserve(list.size());
        for (std::size_t k = 0; k < list.size(); ++k) order.emplace_back(list[k].date, k);
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        ConvertList sorted;
        sorted.reserve(order.size());
        for (const auto& place : order) sorted.push_back(std::move(list[place.second]));
        list = std::move(sorted);
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (!included[i] || folders[i].fileName.empty()) continue;
        try {
            read[i] = readFolderMessages(store, folders[i].fileName, readOptions);
        } catch (const std::exception& e) {
            report.failures.push_back(folders[i].path + ": " + describe(e, options));
        }
        if (!read[i].report.whole()) report.damagedFolders.push_back(read[i].report);
        // The reader of the texts needs only the found chains: the records move on.
        const std::size_t deletedCount = static_cast<std::size_t>(
            std::count_if(read[i].records.begin(), read[i].records.end(),
                          [](const MessageInfo& m) { return m.origin == MessageOrigin::Deleted; }));
        lists[i].reserve(read[i].records.size() - deletedCount);
        deletedLists[i].reserve(deletedCount);
        for (MessageInfo& m : read[i].records)
            (m.origin == MessageOrigin::Deleted ? deletedLists[i] : lists[i]).emplace_back(std::move(m));
        MessageList().swap(read[i].records);
        // The found records' copies stay for the text reader, which needs their
        // places only.
        for (MessageInfo& m : read[i].found.records) {
            std::string().swap(m.subject);
            std::string().swap(m.from);
            std::string().swap(m.to);
        }
        oldestFirst(lists[i]);
        oldestFirst(deletedLists[i]);
        state.messagesTotal += lists[i].size() + deletedLists[i].size();
        for (const ConvertList* list : {&lists[i], &deletedLists[i]})
            for (const auto& m : *list) state.bytesTotal += static_cast<std::uint64_t>(std::max(0, m.entry91));
    }
    // An empty folder is made too: a mail program shows the tree it had.
    std::vector<bool> keep(count, false);
    for (std::size_t i = count; i-- > 0;) {
        if (included[i]) keep[i] = true;
        if (keep[i] && folders[i].parent >= 0) keep[folders[i].parent] = true;
    }
    if (state.bytesTotal == 0) state.bytesTotal = 1;

    const std::unique_ptr<MailboxSink> sink = openMailboxSink(options.outDir, options.mailbox);
    std::vector<MailboxSink::FolderId> ids(count, MailboxSink::Root);
    std::vector<bool> made(count, false);
    // A full destination fails every later message the same way: one error, the
    // run stops, and the same command goes on from there once there is room.
    const auto stopFull = [&](const std::exception& e) {
        report.destinationFull = true;
        report.failures.push_back(std::string(e.what()) + ": the destination is full; " +
                                  std::to_string(report.written) + " messages were written to " +
                                  options.outDir +
                                  " in this run; make room and run the same command again");
    };
    for (std::size_t i = 0; i < count && !report.destinationFull; ++i) {
        if (!keep[i]) continue;
        if (cancel && cancel->load()) break;
        const StoreFolder& f = folders[i];
        if (f.parent >= 0 && !made[f.parent]) continue;  // its parent could not be made
        const MailboxSink::FolderId parentId = f.parent < 0 ? MailboxSink::Root : ids[f.parent];
        if (f.storeLevel && !sink->writesStoreLevels()) {
            ids[i] = parentId;
            made[i] = true;
            continue;
        }
        try {
            ids[i] = sink->openFolder(parentId, f.name);
            made[i] = true;
            ++report.folders;
        } catch (const DestinationFullError& e) {
            stopFull(e);
            break;
        } catch (const std::exception& e) {
            report.failures.push_back(f.path + ": " + describe(e, options));
            continue;
        }
        if (lists[i].empty() && deletedLists[i].empty()) continue;
        std::optional<FolderTextReader> reader;
        try {
            reader.emplace(store, read[i]);
        } catch (const std::exception& e) {
            report.failures.push_back(f.path + ": " + describe(e, options));
            continue;
        }
        // A deleted chain may start where a listed message does: its record keys
        // apart from the folder's own.
        const std::string deletedKey = f.fileName + "#deleted";
        const auto writeFolder = [&](MailboxSink::FolderId id, const ConvertList& list,
                                     const std::string& key) {
            std::optional<FilePreparer> preparer;
            if (sink->writesAhead()) preparer.emplace(FilePreparer{*sink, id, key});
            ReadAhead ahead(*reader, list, cancel, preparer, options);
            for (const ConvertItem& m : list) {
                if (cancel && cancel->load()) break;
                std::optional<ReadItem> item = ahead.next();
                if (!item) break;  // the reader saw the cancel first
                // Left behind when this message ends otherwise than in addMessage.
                struct Leftover {
                    MailboxSink& sink;
                    std::string& prepared;
                    ~Leftover() { sink.dropPrepared(prepared); }
                } leftover{*sink, item->prepared};
                try {
                    if (!item->error.empty()) throw ConvertError(item->error);
                    const MessageText& text = item->read;
                    if (!text.whole) {
                        report.damaged.push_back(f.path + ", \"" + store.toUtf8(m.subject) +
                                                 "\" at offset " + std::to_string(m.dataOffset) +
                                                 ": " + text.problem);
                        // Nothing readable is nothing to convert.
                        if (text.text.empty()) {
                            ++state.messagesDone;
                            if (progress) progress(state);
                            continue;
                        }
                    }
                    const std::string subject = store.toUtf8(m.subject);
                    const MailboxMessage message{
                        text.text, m.date, subject,
                        m.messageFlags(),
                        key, static_cast<std::uint64_t>(std::max<std::int64_t>(0, m.dataOffset))};
                    if (item->prepareFull) throw DestinationFullError(item->prepareError);
                    if (!item->prepareError.empty()) throw ConvertError(item->prepareError);
                    const std::string prepared = std::exchange(item->prepared, std::string());
                    if (sink->addMessage(id, message, prepared) == ConvertOutcome::Written) {
                        ++report.written;
                        report.bytesWritten += text.text.size();
                    } else {
                        ++report.alreadyThere;
                    }
                    state.bytesDone += text.text.size();
                } catch (const DestinationFullError& e) {
                    stopFull(e);
                    return;
                } catch (const std::exception& e) {
                    report.failures.push_back(f.path + ", message at offset " +
                                              std::to_string(m.dataOffset) + " (\"" +
                                              store.toUtf8(m.subject) +
                                              "\"): " + describe(e, options));
                }
                ++state.messagesDone;
                if (progress) progress(state);
            }
        };
        writeFolder(ids[i], lists[i], f.fileName);
        try {
            sink->closeFolder(ids[i]);
        } catch (const std::exception& e) {
            report.failures.push_back(f.path + ": " + describe(e, options));
        }
        if (deletedLists[i].empty() || report.destinationFull || (cancel && cancel->load()))
            continue;
        // Beside the folder, not in it: every format can hold a sibling, and an
        // import shows the deleted mail apart from the folder's own.
        const std::string deletedName = f.name + " - Deleted messages";
        MailboxSink::FolderId deletedId;
        try {
            deletedId = sink->openFolder(parentId, deletedName);
            ++report.folders;
        } catch (const DestinationFullError& e) {
            stopFull(e);
            break;
        } catch (const std::exception& e) {
            report.failures.push_back(f.path + " - Deleted messages: " + describe(e, options));
            continue;
        }
        writeFolder(deletedId, deletedLists[i], deletedKey);
        try {
            sink->closeFolder(deletedId);
        } catch (const std::exception& e) {
            report.failures.push_back(f.path + " - Deleted messages: " + describe(e, options));
        }
    }
    try {
        sink->finish();
    } catch (const DestinationFullError& e) {
        if (!report.destinationFull) stopFull(e);
    } catch (const std::exception& e) {
        report.failures.push_back(describe(e, options));
    }
    report.notices = sink->takeNotices();
    for (const FolderReport& damaged : report.damagedFolders)
        report.notices.push_back(folderReportText(damaged));
    report.ignoredRecordLines = sink->ignoredRecordLines();
    report.cancelled = cancel && cancel->load();
    return report;
}

}  // namespace lumbrook
