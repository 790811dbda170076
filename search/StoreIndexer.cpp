#include "search/StoreIndexer.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "mime/MailAttachments.h"
#include "mime/MailModel.h"
#include "mime/MessageText.h"
#include "listing/FolderTree.h"

namespace lumbrook {

std::string storeIndexPath(const MailStore& store) {
    std::error_code ec;
    const auto root = std::filesystem::absolute(store.directory(), ec);
    return defaultIndexPath(ec ? store.directory() : root.lexically_normal().string());
}

SearchDocument searchDocumentFor(const MailStore& store, const MessageInfo& record,
                                 std::string_view rawText, const std::string& folderPath,
                                 const std::string& fileName) {
    SearchDocument doc;
    doc.folderPath = folderPath;
    doc.fileName = fileName;
    doc.dataOffset = record.dataOffset;
    doc.fileTime = record.date;
    doc.from = store.toUtf8(record.from);
    doc.to = store.toUtf8(record.to);
    doc.subject = store.toUtf8(record.subject);
    doc.record = record;
    MailMessage message;
    message.loadText(rawText);
    message.locateBodies();
    doc.body = messageBodyText(message, store.codePage().name());
    for (const AttachmentInfo& a : listAttachments(message, store.codePage().name())) {
        if (a.isInline) continue;  // pictures of the page are not what people look for
        if (!doc.attachmentNames.empty()) doc.attachmentNames += ' ';
        doc.attachmentNames += a.name;
        doc.hasAttachment = true;
    }
    return doc;
}

namespace {

struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
};

bool stampOf(const std::string& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return true;
}

// Messages are parsed in batches on every core while the index takes the batch
// before; a batch bounds the memory of texts held at once.
constexpr std::size_t BatchMessages = 256;
constexpr std::uint64_t BatchBytes = 64ull << 20;

}  // namespace

IndexReport updateSearchIndex(const MailStore& store, SearchIndex& index,
                              const std::function<void(const IndexProgress&)>& progress,
                              const std::atomic<bool>* cancel,
                              const IndexErrorHandler& onError) {
    IndexReport report;
    auto fail = [&](const std::string& where, const std::exception& error) {
        ++report.failures;
        if (onError) onError(where, error);
    };
    auto cancelled = [&] { return cancel && cancel->load(); };

    const FolderList folders = store.readFolders();
    const FolderTree tree(folders);
    std::vector<std::string> paths(folders.size());
    for (std::int32_t n : tree.positions()) {
        const std::int32_t parent = tree.nodes()[n].parent;
        const std::string name = store.toUtf8(folders[n].name);
        paths[n] = parent < 0 ? name : paths[parent] + "/" + name;
    }

    // Which folders need reading, and how many messages they hold.
    struct Work {
        std::int32_t node;
        FileStamp stamp;
        FolderMessages folder;
    };
    std::vector<Work> work;
    std::set<std::string> present;
    IndexProgress state;
    for (std::int32_t n : tree.positions()) {
        const std::string& file = folders[n].fileName;
        if (file.empty() || present.contains(file)) continue;
        // A folder that cannot be read keeps what the index holds of it: a store
        // opened in the wrong code page, or a disk gone for a moment, must not empty
        // the index.
        present.insert(file);
        FileStamp stamp;
        try {
            const std::string path = store.filePath(file);
            if (!stampOf(path, stamp)) {
                fail(paths[n], FileOpenError(path));
                continue;
            }
        } catch (const std::exception& e) {
            fail(paths[n], e);
            continue;
        }
        if (index.isFolderCurrent(file, stamp.size, stamp.mtimeNs)) {
            ++report.foldersCurrent;
            continue;
        }
        Work w{n, stamp, {}};
        try {
            FolderMessageOptions options;
            options.stop = cancel;
            w.folder = readFolderMessages(store, file, options);
            // Oldest first: the index numbers messages by date (see SearchIndex).
            std::stable_sort(w.folder.records.begin(), w.folder.records.end(),
                             [](const MessageInfo& a, const MessageInfo& b) { return a.date < b.date; });
        } catch (const std::exception& e) {
            fail(paths[n], e);
            continue;
        }
        if (!w.folder.report.whole()) report.damagedFolders.push_back(w.folder.report);
        state.messagesTotal += w.folder.records.size();
        work.push_back(std::move(w));
    }
    const std::size_t before = index.counts().folders;
    index.removeFoldersExcept(present);
    report.foldersRemoved = before - std::min(before, index.counts().folders);
    if (progress) progress(state);

    const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    for (Work& w : work) {
        if (cancelled()) break;
        const std::string& file = folders[w.node].fileName;
        state.folderPath = paths[w.node];
        index.beginFolder(file, w.stamp.size, w.stamp.mtimeNs);
        bool stopped = false;
        const MessageList& messages = w.folder.records;
        // Found messages are read as the scan found them; the index's own each on
        // its own, as they always were.
        std::optional<FolderTextReader> foundTexts;
        for (std::size_t first = 0; first < messages.size() && !stopped;) {
            // Read a batch in file order, then parse it on every core.
            std::vector<std::string> texts;
            std::size_t last = first;
            std::uint64_t bytes = 0;
            for (; last < messages.size() && last - first < BatchMessages && bytes < BatchBytes;
                 ++last) {
                const MessageInfo& m = messages[last];
                try {
                    if (m.origin == MessageOrigin::Listed) {
                        texts.push_back(store.readMessageText(file, static_cast<std::int32_t>(m.dataOffset)));
                    } else {
                        if (!foundTexts) foundTexts.emplace(store, w.folder);
                        texts.push_back(foundTexts->read(m).text);
                    }
                } catch (const std::exception& e) {
                    fail(paths[w.node] + ", message at offset " + std::to_string(m.dataOffset), e);
                    texts.emplace_back();
                }
                bytes += texts.back().size();
            }
            std::vector<SearchDocument> docs(last - first);
            auto parseRange = [&](std::size_t from, std::size_t to) {
                for (std::size_t i = from; i < to; ++i)
                    docs[i] = searchDocumentFor(store, messages[first + i], texts[i], paths[w.node], file);
            };
            std::vector<std::future<void>> tasks;
            const std::size_t count = docs.size();
            const std::size_t share = (count + workers - 1) / workers;
            for (std::size_t from = share; from < count; from += share)
                tasks.push_back(std::async(std::launch::async, parseRange, from,
                                           std::min(count, from + share)));
            parseRange(0, std::min(count, share));
            for (auto& t : tasks) t.get();
            for (const SearchDocument& doc : docs) index.addDocument(doc);
            report.messagesIndexed += docs.size();
            report.bytesRead += bytes;
            state.messagesDone += docs.size();
            if (progress) progress(state);
            first = last;
            if (cancelled()) stopped = true;
        }
        if (stopped) {
            // A folder half read stays as it was in the index; the next run reads it.
            index.cancelFolder();
            break;
        }
        index.commitFolder();
        ++report.foldersIndexed;
    }
    report.cancelled = cancelled();
    return report;
}

}  // namespace lumbrook
