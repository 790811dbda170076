#include "upload/StoreUpload.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <unordered_set>

#include "base/Ascii.h"
#include "listing/FolderMessages.h"
#include "mime/HeaderFields.h"
#include "upload/UploadRecord.h"

namespace lumbrook {

UploadCancel::UploadCancel() {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) pipeFds[0] = pipeFds[1] = -1;
}

UploadCancel::~UploadCancel() {
    for (int fd : pipeFds)
        if (fd >= 0) ::close(fd);
}

void UploadCancel::ask() noexcept {
    flag.store(true);
    if (pipeFds[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    }
}

bool UploadCancel::waitFor(std::chrono::milliseconds time) const {
    if (flag.load()) return true;
    if (pipeFds[0] < 0) {
        ::usleep(static_cast<useconds_t>(time.count() * 1000));
        return flag.load();
    }
    pollfd wake{pipeFds[0], POLLIN, 0};
    const auto until = std::chrono::steady_clock::now() + time;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || flag.load()) break;
        const int n = ::poll(&wake, 1, static_cast<int>(left.count()));
        if (n < 0 && errno != EINTR) break;
        if (n > 0) break;  // the byte stays: every later wait ends at once too
    }
    return flag.load();
}

namespace {

// The mail client's special folders, by the names it gave them in the languages it
// was most used in; a store whose special folders carry none of these names gets
// them by their order (the client made them in this order, with rising numbers).
enum class StoreSpecial { None, Inbox, Outbox, Sent, Deleted, Drafts };

StoreSpecial specialByName(std::string_view name) {
    static const std::pair<const char*, StoreSpecial> names[] = {
        {"Inbox", StoreSpecial::Inbox},
        {"Posteingang", StoreSpecial::Inbox},
        {"Bo\xc3\xaete de r\xc3\xa9" "ception", StoreSpecial::Inbox},
        {"Bandeja de entrada", StoreSpecial::Inbox},
        {"Posta in arrivo", StoreSpecial::Inbox},
        {"Outbox", StoreSpecial::Outbox},
        {"Postausgang", StoreSpecial::Outbox},
        {"Bo\xc3\xaete d'envoi", StoreSpecial::Outbox},
        {"Bandeja de salida", StoreSpecial::Outbox},
        {"Posta in uscita", StoreSpecial::Outbox},
        {"Sent Items", StoreSpecial::Sent},
        {"Gesendete Objekte", StoreSpecial::Sent},
        {"\xc3\x89l\xc3\xa9ments envoy\xc3\xa9s", StoreSpecial::Sent},
        {"Elementos enviados", StoreSpecial::Sent},
        {"Posta inviata", StoreSpecial::Sent},
        {"Deleted Items", StoreSpecial::Deleted},
        {"Gel\xc3\xb6schte Objekte", StoreSpecial::Deleted},
        {"\xc3\x89l\xc3\xa9ments supprim\xc3\xa9s", StoreSpecial::Deleted},
        {"Elementos eliminados", StoreSpecial::Deleted},
        {"Posta eliminata", StoreSpecial::Deleted},
        {"Drafts", StoreSpecial::Drafts},
        {"Entw\xc3\xbc" "rfe", StoreSpecial::Drafts},
        {"Brouillons", StoreSpecial::Drafts},
        {"Borradores", StoreSpecial::Drafts},
        {"Bozze", StoreSpecial::Drafts},
    };
    for (const auto& [text, kind] : names)
        if (equalsNoCase(name, text)) return kind;
    return StoreSpecial::None;
}

std::string joined(const std::vector<std::string>& path) {
    std::string text;
    for (const auto& level : path) text += (text.empty() ? "" : "/") + level;
    return text;
}

// A mailbox's levels as one key: a name may hold "/" on a server whose delimiter is ".".
std::string keyOf(const std::vector<std::string>& path) {
    std::string key;
    for (const auto& level : path) key += level + '\x1f';
    return key;
}

std::vector<std::string> splitPrefix(const std::string& prefix) {
    std::vector<std::string> levels;
    std::size_t start = 0;
    while (start <= prefix.size() && !prefix.empty()) {
        const std::size_t slash = prefix.find('/', start);
        std::string level = prefix.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!level.empty()) levels.push_back(std::move(level));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return levels;
}

struct Queued {
    const MessageInfo* info = nullptr;
    std::string text;
    std::string messageId;
    std::string subject;
};

std::vector<AppendItem> appendItems(const std::vector<Queued>& queued) {
    std::vector<AppendItem> items;
    items.reserve(queued.size());
    for (const Queued& q : queued) {
        AppendItem item;
        item.text = q.text;
        item.seen = q.info->isRead();
        item.answered = q.info->isReplied();
        item.flagged = q.info->isFlagged();
        item.forwarded = q.info->isForwarded();
        // The store's time, else the Date field; none (the server's clock) before 1970.
        item.unixTime = std::max<std::int64_t>(0, messageTime(q.info->date, q.text).value_or(0));
        items.push_back(item);
    }
    return items;
}

class Upload {
public:
    Upload(const MailStore& store, const UploadOptions& options,
           const std::function<void(const UploadProgress&)>& progress, const UploadCancel* cancel)
        : store(store), options(options), progress(progress), cancel(cancel),
          client(options.account, options.credentials, options.caFile) {}

    UploadReport run();

private:
    bool cancelled() const { return cancel && cancel->asked(); }
    void report();
    // Runs step, reconnecting as often as the options allow when the connection
    // breaks; afterReconnect runs on each new connection before step is tried again.
    template <typename Step>
    auto withReconnect(Step step, const std::function<void()>& afterReconnect = {}) -> decltype(step());
    // Where the store's folders go: the server's personal namespace, then the prefix.
    std::vector<std::string> topLevels() const {
        std::vector<std::string> levels = client.personalNamespace();
        for (std::string& level : splitPrefix(options.account.prefix)) levels.push_back(std::move(level));
        return levels;
    }
    // Where a list of messages goes: the store folder's path (for messages), the
    // record's folder key, the mailbox, and whether it is on the server already.
    struct Destination {
        const std::string& storePath;
        const std::string& recordKey;
        const std::vector<std::string>& mailbox;
        bool exists;
    };
    void sendBatch(const Destination& to, std::vector<Queued>& batch);
    void uploadList(FolderTextReader& reader, const std::string& storePath, const std::vector<std::string>& mailbox,
                    bool exists, const MessageList& list, const std::string& recordKey);
    // Makes the mailbox and the levels above it that are missing; whether it was
    // there (or is now), none when it could not be made (lost set when the
    // connection is gone).
    std::optional<bool> makeMailbox(const std::string& storePath, const std::vector<std::string>& mailbox);
    std::vector<std::string> parentOf(std::size_t i, const std::vector<StoreFolder>& folders) const;
    // A name for a new child of parentPath: the server's delimiter replaced, and
    // " (2)", " (3)" for a name its siblings took.
    std::string uniqueChildName(const std::vector<std::string>& parentPath, const std::string& displayName);
    std::vector<std::string> destination(std::size_t i, const std::vector<StoreFolder>& folders,
                                         const std::vector<StoreSpecial>& specials);

    const MailStore& store;
    const UploadOptions& options;
    const std::function<void(const UploadProgress&)>& progress;
    const UploadCancel* cancel;
    ImapClient client;
    std::optional<UploadRecord> record;
    UploadReport result;
    UploadProgress state;
    std::size_t settled = 0;  // messages of the run known to be on the server, or refused
    bool lost = false;  // the connection could not be made again, or the account is full: the run stops
    std::set<std::string> existing;  // mailboxes on the server, by keyOf
    std::map<SpecialUse, std::vector<std::string>> serverSpecial;
    std::vector<std::vector<std::string>> destinations;
    std::map<std::string, std::set<std::string>> childNames;  // per parent: names taken
    // The current folder's Message-IDs on the server, read before its first append.
    std::optional<std::unordered_set<std::string>> serverIds;
};

template <typename Step>
auto Upload::withReconnect(Step step, const std::function<void()>& afterReconnect) -> decltype(step()) {
    std::chrono::milliseconds wait = options.firstRetryWait;
    for (int attempt = 0;; ++attempt) {
        try {
            return step();
        } catch (const UploadError& e) {
            if (e.kind() != UploadErrorKind::Connection || attempt >= options.reconnectAttempts) throw;
        }
        // Reconnect: the server may be restarting, or the line may be down a while.
        client.disconnect();
        for (;;) {
            if (cancel ? cancel->waitFor(wait) : (std::this_thread::sleep_for(wait), false))
                throw UploadError(UploadErrorKind::Connection, "stopped while waiting for the server");
            wait = std::min(wait * 2, options.maxRetryWait);
            try {
                client.connect();
                ++result.reconnects;
                break;
            } catch (const UploadError& e) {
                if (e.kind() != UploadErrorKind::Connect && e.kind() != UploadErrorKind::Connection) throw;
                if (++attempt >= options.reconnectAttempts) throw UploadError(UploadErrorKind::Connection, e.detail());
            }
        }
        if (afterReconnect) afterReconnect();
    }
}

void Upload::report() {
    if (progress) progress(state);
}

std::vector<std::string> Upload::destination(std::size_t i, const std::vector<StoreFolder>& folders,
                                             const std::vector<StoreSpecial>& specials) {
    const StoreFolder& f = folders[i];
    const bool top = f.parent < 0 || folders[f.parent].storeLevel;
    std::vector<std::string> parentPath = parentOf(i, folders);
    if (top) {
        const auto onServer = [&](SpecialUse use) -> std::optional<std::vector<std::string>> {
            const auto it = serverSpecial.find(use);
            if (it == serverSpecial.end()) return std::nullopt;
            return it->second;
        };
        std::optional<std::vector<std::string>> special;
        switch (specials[i]) {
            case StoreSpecial::Inbox: special = std::vector<std::string>{"INBOX"}; break;
            case StoreSpecial::Sent: special = onServer(SpecialUse::Sent); break;
            case StoreSpecial::Deleted: special = onServer(SpecialUse::Trash); break;
            case StoreSpecial::Drafts: special = onServer(SpecialUse::Drafts); break;
            default: break;
        }
        if (special) return *special;
    }
    const std::string unique = uniqueChildName(parentPath, f.name);
    parentPath.push_back(unique);
    return parentPath;
}

void Upload::sendBatch(const Destination& to, std::vector<Queued>& batch) {
    if (batch.empty()) return;
    const std::vector<std::string>& mailbox = to.mailbox;
    const bool exists = to.exists;
    const std::string where = joined(mailbox);
    if (!serverIds) {
        serverIds = (exists || !options.dryRun)
                        ? withReconnect([&] { return client.messageIds(mailbox); })
                        : std::unordered_set<std::string>();
    }
    const auto settle = [&](const Queued& q, bool found) {
        if (!options.dryRun) record->add(to.recordKey, static_cast<std::uint64_t>(std::max<std::int64_t>(0, q.info->dataOffset)),
                                         static_cast<std::uint64_t>(std::max(0, q.info->entry91)), where);
        if (found) ++result.foundOnServer;
        ++settled;
        ++state.messagesDone;
        state.bytesDone += q.text.size();
    };
    std::vector<Queued> toSend;
    for (Queued& q : batch) {
        if (!q.messageId.empty() && serverIds->count(q.messageId))
            settle(q, true);
        else
            toSend.push_back(std::move(q));
    }
    batch.clear();
    if (options.dryRun) {
        for (const Queued& q : toSend) {
            ++result.uploaded;
            result.bytesUploaded += q.text.size();
            ++state.messagesDone;
            state.bytesDone += q.text.size();
        }
        report();
        return;
    }
    for (const Queued& q : toSend)
        record->addInFlight(to.recordKey, static_cast<std::uint64_t>(std::max<std::int64_t>(0, q.info->dataOffset)),
                            static_cast<std::uint64_t>(std::max(0, q.info->entry91)));
    record->flush();
    std::chrono::milliseconds laterWait = options.firstRetryWait;
    for (int round = 0; !toSend.empty(); ++round) {
        std::vector<AppendItem> items = appendItems(toSend);
        std::vector<AppendResult> answers;
        try {
            answers = withReconnect([&] { return client.append(mailbox, items); },
                                    [&] {
                                        // Which of the batch arrived before the line broke is
                                        // read from the server: those are not sent again.
                                        const auto now = client.messageIds(mailbox);
                                        std::vector<Queued> still;
                                        for (Queued& q : toSend) {
                                            if (!q.messageId.empty() && now.count(q.messageId) &&
                                                !serverIds->count(q.messageId)) {
                                                settle(q, false);
                                                ++result.uploaded;
                                                result.bytesUploaded += q.text.size();
                                            } else {
                                                still.push_back(std::move(q));
                                            }
                                        }
                                        toSend = std::move(still);
                                        items = appendItems(toSend);
                                    });
        } catch (const UploadError& e) {
            if (e.kind() != UploadErrorKind::Connection) throw;
            lost = true;
            result.failures.push_back("the connection to " + options.account.host + " broke and could not be made again (" +
                                      e.detail() + ")");
            record->flush();
            return;
        }
        std::vector<Queued> later;
        for (std::size_t k = 0; k < answers.size(); ++k) {
            Queued& q = toSend[k];
            switch (answers[k].outcome) {
                case AppendResult::Stored:
                    settle(q, false);
                    ++result.uploaded;
                    result.bytesUploaded += q.text.size();
                    break;
                case AppendResult::TryLater:
                    if (round < 3) {
                        later.push_back(std::move(q));
                        break;
                    }
                    [[fallthrough]];
                case AppendResult::Refused:
                    // A full account refuses every later message the same way: one
                    // failure, and the run stops there.
                    if (answers[k].serverText.starts_with("[OVERQUOTA]")) {
                        if (!lost)
                            result.failures.push_back("the account on " + options.account.host + " is full (" +
                                                      answers[k].serverText + "); " + std::to_string(result.uploaded) +
                                                      " messages were uploaded in this run; make room and run it again");
                        lost = true;
                        break;
                    }
                    result.refused.push_back(to.storePath + ", \"" + q.subject + "\": " + answers[k].serverText);
                    ++settled;
                    ++state.messagesDone;
                    state.bytesDone += q.text.size();
                    break;
            }
        }
        record->flush();
        if (lost) return;
        report();
        toSend = std::move(later);
        if (!toSend.empty() && cancel && cancel->waitFor(laterWait)) break;
        if (!toSend.empty() && !cancel) std::this_thread::sleep_for(laterWait);
        laterWait = std::min(laterWait * 2, options.maxRetryWait);
    }
}

std::vector<std::string> Upload::parentOf(std::size_t i, const std::vector<StoreFolder>& folders) const {
    const StoreFolder& f = folders[i];
    return f.parent < 0 ? topLevels() : destinations[f.parent];
}

std::string Upload::uniqueChildName(const std::vector<std::string>& parentPath, const std::string& displayName) {
    // The server's delimiter inside a name would make levels of it.
    std::string name = displayName.empty() ? std::string("_") : displayName;
    const char delimiter = client.delimiter();
    if (delimiter != '\0') std::replace(name.begin(), name.end(), delimiter, '_');
    // Two folders of one name beside each other stay two mailboxes.
    std::set<std::string>& taken = childNames[keyOf(parentPath)];
    std::string unique = name;
    for (int n = 2; taken.count(lowerAscii(unique)); ++n) unique = name + " (" + std::to_string(n) + ")";
    taken.insert(lowerAscii(unique));
    return unique;
}

std::optional<bool> Upload::makeMailbox(const std::string& storePath, const std::vector<std::string>& mailbox) {
    const bool existed = existing.count(keyOf(mailbox)) != 0;
    try {
        // The prefix's levels first, then the folder.
        for (std::size_t level = 1; level <= mailbox.size() && !options.dryRun; ++level) {
            const std::vector<std::string> part(mailbox.begin(), mailbox.begin() + static_cast<long>(level));
            if (existing.count(keyOf(part)) || (level == 1 && equalsNoCase(part[0], "INBOX"))) continue;
            withReconnect([&] {
                client.createMailbox(part);
                return 0;
            });
            existing.insert(keyOf(part));
        }
    } catch (const UploadError& e) {
        if (e.kind() == UploadErrorKind::Connection) {
            lost = true;
            result.failures.push_back("the connection to " + options.account.host +
                                      " broke and could not be made again (" + e.detail() + ")");
        } else {
            result.failures.push_back(storePath + ": the folder " + joined(mailbox) + " could not be made: " + e.detail());
        }
        return std::nullopt;
    }
    // In a dry run a missing mailbox stays missing: nothing to look up in it.
    return existed || !options.dryRun;
}

void Upload::uploadList(FolderTextReader& reader, const std::string& storePath, const std::vector<std::string>& mailbox,
                        bool exists, const MessageList& list, const std::string& recordKey) {
    serverIds.reset();
    std::vector<Queued> batch;
    std::size_t batchBytes = 0;
    std::vector<const MessageInfo*> inFlightBefore;
    const Destination to{storePath, recordKey, mailbox, exists};
    const auto queue = [&](const MessageInfo& m) {
        MessageText read;
        try {
            read = reader.read(m);
        } catch (const std::exception& e) {
            result.failures.push_back(storePath + ", \"" + store.toUtf8(m.subject) + "\": " + e.what());
            ++state.messagesDone;
            return;
        }
        if (!read.whole) {
            result.damaged.push_back(storePath + ", \"" + store.toUtf8(m.subject) + "\" at offset " +
                                     std::to_string(m.dataOffset) + ": " + read.problem);
            if (read.text.empty()) {
                ++settled;  // nothing readable is nothing to upload
                ++state.messagesDone;
                return;
            }
        }
        Queued q;
        q.info = &m;
        q.messageId = messageIdOf(read.text);
        q.subject = store.toUtf8(m.subject);
        q.text = std::move(read.text);
        batchBytes += q.text.size();
        batch.push_back(std::move(q));
        if (batch.size() >= options.batchMessages || batchBytes >= options.batchBytes) {
            sendBatch(to, batch);
            batchBytes = 0;
        }
    };
    for (const MessageInfo& m : list) {
        if (cancelled() || lost) break;
        const auto offset = static_cast<std::uint64_t>(std::max<std::int64_t>(0, m.dataOffset));
        const auto size = static_cast<std::uint64_t>(std::max(0, m.entry91));
        if (record->contains(recordKey, offset, size)) {
            ++result.alreadyRecorded;
            ++settled;
            ++state.messagesDone;
            state.bytesDone += size;
        } else if (record->wasInFlight(recordKey, offset, size)) {
            inFlightBefore.push_back(&m);
        } else {
            queue(m);
        }
    }
    if (!cancelled() && !lost) sendBatch(to, batch);
    // What a run that died had sent is looked up last, on the server's latest state.
    serverIds.reset();
    for (const MessageInfo* m : inFlightBefore) {
        if (cancelled() || lost) break;
        queue(*m);
    }
    if (!cancelled() && !lost) sendBatch(to, batch);
}

UploadReport Upload::run() {
    const std::vector<StoreFolder> folders = storeFolders(store);
    const FolderList infos = store.readFolders();
    const std::size_t count = folders.size();

    // The special folders: those at the top of what is uploaded, marked special.
    std::vector<StoreSpecial> specials(count, StoreSpecial::None);
    std::vector<std::size_t> unnamedSpecials;
    std::size_t specialCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const StoreFolder& f = folders[i];
        const bool top = f.parent < 0 || folders[f.parent].storeLevel;
        const FolderInfo& info = infos[static_cast<std::size_t>(f.index)];
        if (!top || f.storeLevel || !info.isSpecial) continue;
        ++specialCount;
        specials[i] = specialByName(f.name);
        if (specials[i] == StoreSpecial::None) {
            const std::string stem = std::filesystem::path(f.fileName).stem().string();
            specials[i] = specialByName(store.toUtf8(stem));
        }
        if (specials[i] == StoreSpecial::None) unnamedSpecials.push_back(i);
    }
    if (specialCount == 5 && !unnamedSpecials.empty()) {
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < count; ++i)
            if (infos[static_cast<std::size_t>(folders[i].index)].isSpecial && !folders[i].storeLevel &&
                (folders[i].parent < 0 || folders[folders[i].parent].storeLevel))
                order.push_back(i);
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return infos[static_cast<std::size_t>(folders[a].index)].folderId <
                   infos[static_cast<std::size_t>(folders[b].index)].folderId;
        });
        const StoreSpecial byOrder[] = {StoreSpecial::Inbox, StoreSpecial::Outbox, StoreSpecial::Sent,
                                        StoreSpecial::Deleted, StoreSpecial::Drafts};
        for (std::size_t k = 0; k < order.size(); ++k)
            if (specials[order[k]] == StoreSpecial::None) specials[order[k]] = byOrder[k];
    }

    // What the run includes: every folder named (with its subfolders).
    std::vector<bool> included(count, options.folders.empty());
    for (std::size_t i = 0; i < count && options.include; ++i) included[i] = options.include(folders[i]);
    for (std::size_t i = 0; i < count && !options.folders.empty() && !options.include; ++i) {
        const StoreFolder& f = folders[i];
        const bool named = std::any_of(options.folders.begin(), options.folders.end(), [&](const std::string& w) {
            return equalsNoCase(f.name, w) || equalsNoCase(f.path, w);
        });
        if (named || (f.parent >= 0 && included[f.parent])) included[i] = true;
    }
    if (std::none_of(included.begin(), included.end(), [](bool b) { return b; })) {
        result.nothingMatched = !options.folders.empty();
        return result;
    }
    // A folder whose index cannot be read whole is scanned, and what the scan finds
    // goes with its own messages; deleted ones (when asked for) into a mailbox of
    // their own beside it.
    std::vector<FolderMessages> read(count);
    std::vector<MessageList> lists(count), deletedLists(count);
    FolderMessageOptions readOptions;
    readOptions.deleted = options.deletedMessages;
    readOptions.stop = cancel ? &cancel->flagForScans() : nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (!included[i] || folders[i].fileName.empty()) continue;
        try {
            read[i] = readFolderMessages(store, folders[i].fileName, readOptions);
        } catch (const std::exception& e) {
            result.failures.push_back(folders[i].path + ": " + e.what());
        }
        if (!read[i].report.whole()) result.damagedFolders.push_back(read[i].report);
        for (MessageInfo& m : read[i].records)
            (m.origin == MessageOrigin::Deleted ? deletedLists[i] : lists[i]).push_back(std::move(m));
        read[i].records.clear();
        for (MessageList* list : {&lists[i], &deletedLists[i]}) {
            // Oldest first, as the messages once arrived.
            std::stable_sort(list->begin(), list->end(),
                             [](const MessageInfo& a, const MessageInfo& b) { return a.date < b.date; });
            state.messagesTotal += list->size();
            for (const auto& m : *list) state.bytesTotal += static_cast<std::uint64_t>(std::max(0, m.entry91));
        }
    }
    std::vector<bool> keep(count, false);
    for (std::size_t i = count; i-- > 0;) {
        if (included[i]) keep[i] = true;
        if (keep[i] && folders[i].parent >= 0) keep[folders[i].parent] = true;
    }

    std::error_code error;
    const std::filesystem::path storeDir = std::filesystem::absolute(store.directory(), error);
    record.emplace(options.recordDirectory.empty() ? UploadRecord::defaultDirectory() : options.recordDirectory,
                   options.account.displayName(), storeDir.lexically_normal().string());
    result.ignoredRecordLines = record->ignoredLines();
    client.connect();
    const auto readServer = [&] {
        existing.clear();
        serverSpecial.clear();
        for (const ServerMailbox& box : client.mailboxes()) {
            existing.insert(keyOf(box.path));
            if (box.use != SpecialUse::None && !serverSpecial.count(box.use)) serverSpecial[box.use] = box.path;
        }
    };
    withReconnect([&] {
        readServer();
        return 0;
    });
    report();

    destinations.assign(count, {});
    std::vector<bool> made(count, false);
    for (std::size_t i = 0; i < count && !lost; ++i) {
        if (!keep[i] || cancelled()) continue;
        const StoreFolder& f = folders[i];
        if (f.parent >= 0 && !made[f.parent]) continue;
        if (f.storeLevel) {
            destinations[i] = f.parent < 0 ? topLevels() : destinations[f.parent];
            made[i] = true;
            continue;
        }
        const std::vector<std::string> mailbox = destination(i, folders, specials);
        destinations[i] = mailbox;
        const auto exists = makeMailbox(f.path, mailbox);
        if (!exists) {
            if (lost) break;
            continue;
        }
        made[i] = true;
        ++result.folders;
        result.destinations.push_back(f.path + " -> " + joined(mailbox));
        if (lists[i].empty() && deletedLists[i].empty()) continue;
        std::optional<FolderTextReader> reader;
        try {
            reader.emplace(store, read[i]);
        } catch (const std::exception& e) {
            result.failures.push_back(f.path + ": " + e.what());
            continue;
        }
        uploadList(*reader, f.path, mailbox, *exists, lists[i], f.fileName);
        if (deletedLists[i].empty() || cancelled() || lost) continue;
        // Beside the folder, as a conversion puts them: a mail program then shows the
        // deleted mail apart from the folder's own.
        const std::string deletedPath = f.path + " - Deleted messages";
        std::vector<std::string> deletedMailbox = parentOf(i, folders);
        deletedMailbox.push_back(uniqueChildName(deletedMailbox, f.name + " - Deleted messages"));
        const auto deletedExists = makeMailbox(deletedPath, deletedMailbox);
        if (!deletedExists) {
            if (lost) break;
            continue;
        }
        ++result.folders;
        result.destinations.push_back(deletedPath + " -> " + joined(deletedMailbox));
        // A deleted chain may start where a listed message does: its record keys
        // apart from the folder's own.
        uploadList(*reader, deletedPath, deletedMailbox, *deletedExists, deletedLists[i], f.fileName + "#deleted");
    }
    record->flush();
    client.disconnect();
    result.cancelled = cancelled();
    result.leftBehind = state.messagesTotal > settled ? state.messagesTotal - settled : 0;
    report();
    return result;
}

}  // namespace

UploadReport uploadStore(const MailStore& store, const UploadOptions& options,
                         const std::function<void(const UploadProgress&)>& progress, const UploadCancel* cancel) {
    Upload upload(store, options, progress, cancel);
    return upload.run();
}

}  // namespace lumbrook
