// save and export: the window's two batch commands for a whole folder or chosen messages.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <utility>

#include "cli/Commands.h"
#include "cli/FolderReport.h"
#include "listing/FolderMessages.h"
#include "cli/ErrorText.h"
#include "platform/FileWriter.h"
#include "listing/MessageOrder.h"
#include "output/Output.h"

namespace lumbrook::cli {


namespace {

// The offset of a message asked for: one the index can hold, else (for a found
// message past 2 GiB) one of the whole file; what is no offset stays a usage error.
std::int64_t chosenOffset(const std::string& text) {
    try {
        return parseOffset(text);
    } catch (const UsageError&) {
        const std::int64_t wide = parseFileOffset(text);
        if (wide <= INT32_MAX) throw;
        return wide;
    }
}

// The messages a batch walks: the offsets asked for, in that order, or the whole
// folder in the list's opening order (newest first), found ones included.
std::vector<MessageInfo> selectMessages(const FolderMessages& folder,
                                        const std::vector<std::string>& offsets, bool& missing) {
    MessageList all = folder.records;
    std::vector<MessageInfo> chosen;
    if (offsets.empty()) {
        const auto order = sortedMessageOrder(all, ColDate, true);
        chosen.reserve(order.size());
        for (std::size_t i : order) chosen.push_back(std::move(all[i]));
        return chosen;
    }
    for (const auto& text : offsets) {
        const std::int64_t offset = chosenOffset(text);
        bool found = false;
        for (const auto& m : all) {
            if (m.dataOffset == offset) {
                chosen.push_back(m);
                found = true;
                break;
            }
        }
        if (!found) {
            std::cerr << "lumbrook-cli: " << folder.report.fileName << " lists no message at offset " << text << '\n';
            missing = true;
        }
    }
    return chosen;
}

struct DamagedMessage {
    MessageInfo record;
    std::string problem;
};

// After the count: the messages that could not be read whole, by subject and offset.
void reportDamaged(const MailStore& store, const std::vector<DamagedMessage>& damaged) {
    if (damaged.empty()) return;
    std::cout << damaged.size() << " messages could not be read whole:\n";
    for (const auto& d : damaged)
        std::cout << "  \"" << store.toUtf8(d.record.subject) << "\" at offset "
                  << d.record.dataOffset << ": " << d.problem << '\n';
}

// A bar on standard error, only when someone is watching it.
class Progress {
public:
    explicit Progress(std::size_t total) : total(total), shown(isatty(STDERR_FILENO) == 1) {}
    ~Progress() { clear(); }
    // Takes the bar off the line, so that a message can be written there.
    void clear() {
        if (shown && drawn) std::cerr << "\r\033[K" << std::flush;
        drawn = false;
    }
    void set(std::size_t done) {
        if (!shown || total == 0) return;
        const std::size_t percent = done * 100 / total;
        const std::size_t width = 40, filled = std::min(width, percent * width / 100);
        std::cerr << "\r[" << std::string(filled, '#') << std::string(width - filled, ' ') << "] "
                  << percent << "% (" << done << '/' << total << ')' << std::flush;
        drawn = true;
    }

private:
    std::size_t total;
    bool shown;
    bool drawn = false;
};

// Ctrl+C and SIGTERM end a batch between files, never inside one: the handler only
// asks for the stop; the loop and the writers look at it. A second signal of the
// same kind ends the program at once (the file in hand then stays under its
// temporary name, never under its final one).
void stopHandler(int signal) {
    requestStop(signal);
}


// The exit status of a batch stopped by a signal, as the shell reports one.
int stoppedStatus() {
    const int signal = stopRequested();
    return 128 + (signal > 0 ? signal : SIGINT);
}

// "Saved 10 messages to DIR."
std::string doneText(const char* verb, std::size_t count, const std::string& dir) {
    return std::string(verb) + " " + std::to_string(count) + (count == 1 ? " message" : " messages") +
           " to " + dir + ".\n";
}

struct BatchArgs {
    std::string folderFile;
    std::string dir;
    bool dateInName;
    std::vector<std::string> offsets;
    bool deleted = false;  // deleted messages the folder file still holds, too
};

BatchArgs takeBatchArgs(Args& args) {
    auto to = args.takeOption("--to");
    const bool date = args.takeFlag("--date");
    const bool deleted = args.takeFlag("--deleted");
    return BatchArgs{"", to.value_or(""), date, {}, deleted};
}

void finishBatchArgs(BatchArgs& batch, Args& args, const char* command) {
    auto rest = args.positionals();
    if (rest.empty() || batch.dir.empty())
        throw UsageError(std::string(command) + " needs FILE and --to DIR");
    batch.folderFile = rest[0];
    batch.offsets.assign(rest.begin() + 1, rest.end());
}

}  // namespace

namespace {
// The walk of save and export over the chosen messages, through one reader of
// the folder: a damaged message is listed and what is there of it still written
// (marked incomplete), never counted; one with nothing left is skipped; a stop
// request ends the walk with the file in hand finished or removed. write tells
// whether the message was written; the count of whole ones written is returned.
template <typename Write>
std::size_t walkBatch(const StoreFileArg& file, const FolderMessages& folder,
                      const MessageList& messages, bool& failed,
                      std::vector<DamagedMessage>& damaged, Write write) {
    std::size_t done = 0;
    Progress progress(messages.size());
    FolderTextReader reader(file.store, folder);
    for (const auto& record : messages) {
        if (stopRequested()) break;
        const MessageText message = reader.read(record);
        if (!message.whole) {
            damaged.push_back({record, message.problem});
            failed = true;
            if (message.text.empty()) continue;
        }
        try {
            if (write(record, message, progress) && message.whole) ++done;
        } catch (const StopRequestedError&) {
            break;
        }
        progress.set(done);
    }
    return done;
}
}  // namespace

int cmdSave(Args& args, const MailStore& store) {
    BatchArgs batch = takeBatchArgs(args);
    finishBatchArgs(batch, args, "save");
    bool failed = false;
    const StoreFileArg file = readableFolderFileArg(store, batch.folderFile);
    FolderMessageOptions readOptions;
    readOptions.deleted = batch.deleted;
    const FolderMessages folder = readFolderMessages(file.store, file.name, readOptions);
    FolderReports reports;
    reports.add(folder.report);
    const auto messages = selectMessages(folder, batch.offsets, failed);
    const std::string dir = prepareOutputDir(batch.dir);
    requireWritableDirectory(dir);

    StopSignals signals(stopHandler);
    OutputNames names;
    std::vector<DamagedMessage> damaged;
    FailureList failures;
    const std::size_t done = walkBatch(
        file, folder, messages, failed, damaged,
        [&](const MessageInfo& record, const MessageText& message, Progress&) {
            try {
                saveMessageAsEml(dir, record, message.text, batch.dateInName, names,
                                 !message.whole);
                return true;
            } catch (const SaveFailedError& e) {
                // As in the window the batch goes on; the failures are told at its end.
                failures.add(e);
                failed = true;
                return false;
            }
        });
    std::cout << doneText("Saved", done, batch.dir);
    reportDamaged(file.store, damaged);
    failures.print(std::cerr);
    if (stopRequested()) return reports.finish(stoppedStatus());
    return reports.finish(failed ? 1 : 0);
}

int cmdExport(Args& args, const MailStore& store) {
    BatchArgs batch = takeBatchArgs(args);
    ExportSettings settings;
    const std::string format = args.takeOption("--format").value_or("html");
    if (format == "html") settings.format = ExportFormat::AlwaysHtml;
    else if (format == "txt") settings.format = ExportFormat::AlwaysText;
    else if (format == "same") settings.format = ExportFormat::SameAsMail;
    else throw UsageError("--format is html, txt or same");
    settings.attachments = args.takeFlag("--attachments");
    settings.design = parseDesign(args);
    settings.design.codePage = store.codePage();
    finishBatchArgs(batch, args, "export");
    settings.dateInName = batch.dateInName;

    bool failed = false;
    const StoreFileArg file = readableFolderFileArg(store, batch.folderFile);
    FolderMessageOptions readOptions;
    readOptions.deleted = batch.deleted;
    const FolderMessages folder = readFolderMessages(file.store, file.name, readOptions);
    FolderReports reports;
    reports.add(folder.report);
    const auto messages = selectMessages(folder, batch.offsets, failed);
    settings.dir = prepareOutputDir(batch.dir);
    requireWritableDirectory(settings.dir);

    StopSignals signals(stopHandler);
    std::vector<DamagedMessage> damaged;
    FailureList failures;
    const std::size_t done = walkBatch(
        file, folder, messages, failed, damaged,
        [&](const MessageInfo& record, const MessageText& message, Progress&) {
            // A file that cannot be created ends the export, as it ends the window's batch.
            exportMessage(settings, record, message.text, !message.whole);
            // A part that could not be written is told at the end; the export goes on.
            for (const auto& problem : settings.problems) failures.add(problem);
            if (!settings.problems.empty()) failed = true;
            settings.problems.clear();
            return true;
        });
    std::cout << doneText("Exported", done, batch.dir);
    reportDamaged(file.store, damaged);
    failures.print(std::cerr);
    if (stopRequested()) return reports.finish(stoppedStatus());
    return reports.finish(failed ? 1 : 0);
}

}  // namespace lumbrook::cli
