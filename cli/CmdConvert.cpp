// convert: a whole store into today's mailbox layouts in one step, folder tree kept.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>

#include "cli/Commands.h"
#include "render/FolderTree.h"
#include "render/MailboxConverter.h"
#include "store/DbxStore.h"

namespace lumbrook::cli {
namespace {

// Messages, megabytes, speed and time left, redrawn at most a few times a second
// and only when a terminal shows standard error.
class ConvertProgress {
public:
    ConvertProgress(std::size_t messages, std::uint64_t bytes)
        : totalMessages(messages), totalBytes(bytes), shown(isatty(STDERR_FILENO) == 1),
          started(Clock::now()) {}
    ~ConvertProgress() { clear(); }
    void clear() {
        if (drawn) std::cerr << "\r\033[K" << std::flush;
        drawn = false;
    }
    void set(std::size_t messages, std::uint64_t bytes) {
        if (!shown) return;
        const auto now = Clock::now();
        if (drawn && now - lastDrawn < std::chrono::milliseconds(200)) return;
        lastDrawn = now;
        const double seconds = std::chrono::duration<double>(now - started).count();
        const double mb = static_cast<double>(bytes) / 1e6;
        const double rate = seconds > 0 ? mb / seconds : 0;
        const double left = rate > 0 ? (static_cast<double>(totalBytes) / 1e6 - mb) / rate : 0;
        char line[160];
        std::snprintf(line, sizeof line, "\r%zu/%zu messages, %.1f/%.1f MB, %.1f MB/s, %.0f s left",
                      messages, totalMessages, mb, static_cast<double>(totalBytes) / 1e6, rate,
                      std::max(0.0, left));
        std::cerr << line << "\033[K" << std::flush;
        drawn = true;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::size_t totalMessages;
    std::uint64_t totalBytes;
    bool shown;
    bool drawn = false;
    Clock::time_point started;
    Clock::time_point lastDrawn;
};

MessageFlags flagsOf(const MessageInfo& m) {
    return {m.isRead(), m.isReplied(), m.isForwarded(), m.isFlagged()};
}

// A folder matches a --folder NAME by its display name or its path from the top
// ("Familie/Urlaub 2003"), without regard to ASCII case.
bool matches(const std::string& name, const std::string& path, const std::string& wanted) {
    auto same = [](const std::string& a, const std::string& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    return same(name, wanted) || same(path, wanted);
}

}  // namespace

int cmdConvert(Args& args, const DbxStore& store) {
    const auto to = args.takeOption("--to");
    const std::string formatName = args.takeOption("--format").value_or("mbox");
    std::vector<std::string> wanted;
    while (auto f = args.takeOption("--folder")) wanted.push_back(*f);
    MailboxOptions options;
    options.mozillaStatus = !args.takeFlag("--no-status");
    if (!args.positionals().empty()) throw UsageError("convert takes no FILE; use --folder NAME");
    if (!to || to->empty()) throw UsageError("convert needs --to OUT");
    const auto format = parseMailboxFormat(formatName);
    if (!format) throw UsageError("unknown format " + formatName + " (mbox, maildir or eml)");
    options.format = *format;

    const FolderList folders = store.readFolders();
    const FolderTree tree(folders);
    const auto& nodes = tree.nodes();

    // Display names and paths in tree order; what the run includes: every folder
    // that matches (with its subfolders), and the folders above it so that it keeps
    // its place in the tree.
    std::vector<std::string> names(nodes.size()), paths(nodes.size());
    std::vector<bool> included(nodes.size(), wanted.empty());
    for (std::int32_t n : tree.positions()) {
        names[n] = store.toUtf8(folders[n].name);
        const std::int32_t parent = nodes[n].parent;
        paths[n] = parent < 0 ? names[n] : paths[parent] + "/" + names[n];
        if (!wanted.empty()) {
            const bool self = std::any_of(wanted.begin(), wanted.end(), [&](const std::string& w) {
                return matches(names[n], paths[n], w);
            });
            if (self || (parent >= 0 && included[parent])) included[n] = true;
        }
    }
    if (!wanted.empty() && std::none_of(included.begin(), included.end(), [](bool b) { return b; }))
        throw UsageError("no folder matches --folder " + wanted.front());

    // Read every included folder's index first: the totals drive the progress bar,
    // and a folder that holds nothing and has nothing below it is left out.
    std::vector<MessageList> lists(nodes.size());
    std::size_t totalMessages = 0;
    std::uint64_t totalBytes = 0;
    int failures = 0;
    for (std::int32_t n : tree.positions()) {
        if (!included[n] || folders[n].fileName.empty()) continue;
        try {
            lists[n] = store.readMessages(folders[n].fileName);
        } catch (const std::exception& e) {
            std::cerr << "lumbrook-cli: folder " << paths[n] << ": " << e.what() << '\n';
            ++failures;
        }
        // Oldest first, as mail programs append.
        std::stable_sort(lists[n].begin(), lists[n].end(),
                         [](const MessageInfo& a, const MessageInfo& b) { return a.date < b.date; });
        totalMessages += lists[n].size();
        for (const auto& m : lists[n]) totalBytes += static_cast<std::uint64_t>(std::max(0, m.entry91));
    }
    std::vector<bool> keep(nodes.size(), false);
    for (auto it = tree.positions().rbegin(); it != tree.positions().rend(); ++it) {
        const std::int32_t n = *it;
        if (!included[n]) continue;
        if (!lists[n].empty()) keep[n] = true;
        if (keep[n] && nodes[n].parent >= 0) keep[nodes[n].parent] = true;
    }

    MailboxConverter converter(*to, options);
    std::vector<MailboxConverter::FolderId> ids(nodes.size(), MailboxConverter::Root);
    ConvertProgress progress(totalMessages, totalBytes);
    std::size_t doneMessages = 0, written = 0, alreadyThere = 0, folderCount = 0;
    std::uint64_t doneBytes = 0, writtenBytes = 0;
    for (std::int32_t n : tree.positions()) {
        if (!keep[n]) continue;
        const std::int32_t parent = nodes[n].parent;
        try {
            ids[n] = converter.addFolder(parent < 0 ? MailboxConverter::Root : ids[parent], names[n]);
            ++folderCount;
        } catch (const std::exception& e) {
            progress.clear();
            std::cerr << "lumbrook-cli: folder " << paths[n] << ": " << e.what() << '\n';
            ++failures;
            continue;
        }
        const std::string& file = folders[n].fileName;
        for (const MessageInfo& m : lists[n]) {
            try {
                const std::string text = store.readMessageText(file, m.dataOffset);
                const std::string subject = store.toUtf8(m.subject);
                MailboxMessage message{text, m.date, subject, flagsOf(m), file,
                                       static_cast<std::uint64_t>(std::max(0, m.dataOffset))};
                if (converter.addMessage(ids[n], message) == ConvertOutcome::Written) {
                    ++written;
                    writtenBytes += text.size();
                } else {
                    ++alreadyThere;
                }
                doneBytes += text.size();
            } catch (const std::exception& e) {
                progress.clear();
                std::cerr << "lumbrook-cli: " << paths[n] << ", message at offset " << m.dataOffset
                          << " (\"" << store.toUtf8(m.subject) << "\"): " << e.what() << '\n';
                ++failures;
            }
            progress.set(++doneMessages, doneBytes);
        }
    }
    converter.finish();
    progress.clear();

    std::cout << "folders      " << folderCount << '\n'
              << "messages     " << written << " written, " << alreadyThere
              << " already there (skipped)\n"
              << "bytes        " << writtenBytes << '\n'
              << "failed       " << failures << '\n'
              << "written to   " << *to << " (" << formatName << ")\n";
    if (converter.ignoredRecordLines() > 0)
        std::cout << "note         " << converter.ignoredRecordLines()
                  << " damaged lines of the conversion record were ignored\n";
    return failures > 0 ? 1 : 0;
}

}  // namespace lumbrook::cli
