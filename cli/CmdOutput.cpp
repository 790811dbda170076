// save and export: the window's two batch commands for a whole folder or chosen messages.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <utility>

#include "cli/Commands.h"
#include "render/MessageOrder.h"
#include "render/Output.h"

namespace lumbrook::cli {


namespace {

// The messages a batch walks: the offsets asked for, in that order, or the whole
// folder in the list's opening order (newest first).
std::vector<MessageInfo> selectMessages(const DbxStore& store, const std::string& folderFile,
                                        const std::vector<std::string>& offsets, bool& missing) {
    MessageList all = store.readMessages(folderFile);
    std::vector<MessageInfo> chosen;
    if (offsets.empty()) {
        const auto order = sortedMessageOrder(all, ColDate, true);
        chosen.reserve(order.size());
        for (std::size_t i : order) chosen.push_back(std::move(all[i]));
        return chosen;
    }
    for (const auto& text : offsets) {
        const std::int32_t offset = parseOffset(text);
        bool found = false;
        for (const auto& m : all) {
            if (m.dataOffset == offset) {
                chosen.push_back(m);
                found = true;
                break;
            }
        }
        if (!found) {
            std::cerr << "lumbrook-cli: " << folderFile << " lists no message at offset " << text << '\n';
            missing = true;
        }
    }
    return chosen;
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

struct BatchArgs {
    std::string folderFile;
    std::string dir;
    bool dateInName;
    std::vector<std::string> offsets;
};

BatchArgs takeBatchArgs(Args& args) {
    auto to = args.takeOption("--to");
    const bool date = args.takeFlag("--date");
    return BatchArgs{"", to.value_or(""), date, {}};
}

void finishBatchArgs(BatchArgs& batch, Args& args, const char* command) {
    auto rest = args.positionals();
    if (rest.empty() || batch.dir.empty())
        throw UsageError(std::string(command) + " needs FILE and --to DIR");
    batch.folderFile = rest[0];
    batch.offsets.assign(rest.begin() + 1, rest.end());
}

}  // namespace

int cmdSave(Args& args, const DbxStore& store) {
    BatchArgs batch = takeBatchArgs(args);
    finishBatchArgs(batch, args, "save");
    bool failed = false;
    const StoreFileArg file = folderFileArg(store, batch.folderFile);
    const auto messages = selectMessages(file.store, file.name, batch.offsets, failed);
    const std::string dir = prepareOutputDir(batch.dir);

    std::size_t done = 0;
    {
        Progress progress(messages.size());
        FolderReader reader(file.store, file.name);
        for (const auto& record : messages) {
            const MessageText message = reader.read(record.dataOffset);
            const std::string& raw = message.text;
            if (!message.whole) {
                // What is there is saved; a message with nothing left is not.
                progress.clear();
                std::cerr << "lumbrook-cli: " << file.store.filePath(file.name)
                          << ": the message at offset " << record.dataOffset
                          << " is damaged: " << message.problem << '\n';
                failed = true;
                if (raw.empty()) continue;
            }
            try {
                saveMessageAsEml(dir, record, raw, batch.dateInName);
                ++done;
            } catch (const SaveFailedError& e) {
                // As in the window: the message is reported and the batch goes on.
                progress.clear();
                std::cerr << e.what() << '\n';
                failed = true;
            }
            progress.set(done);
        }
    }
    std::cout << "There became " << done << " messages saved!\n";
    return failed ? 1 : 0;
}

int cmdExport(Args& args, const DbxStore& store) {
    BatchArgs batch = takeBatchArgs(args);
    ExportSettings settings;
    const std::string format = args.takeOption("--format").value_or("html");
    if (format == "html") settings.format = ExportFormat::AlwaysHtml;
    else if (format == "txt") settings.format = ExportFormat::AlwaysText;
    else if (format == "same") settings.format = ExportFormat::SameAsMail;
    else throw UsageError("--format is html, txt or same");
    settings.design = parseDesign(args);
    finishBatchArgs(batch, args, "export");
    settings.dateInName = batch.dateInName;

    bool failed = false;
    const StoreFileArg file = folderFileArg(store, batch.folderFile);
    const auto messages = selectMessages(file.store, file.name, batch.offsets, failed);
    settings.dir = prepareOutputDir(batch.dir);

    std::size_t done = 0;
    {
        Progress progress(messages.size());
        FolderReader reader(file.store, file.name);
        for (const auto& record : messages) {
            const MessageText message = reader.read(record.dataOffset);
            if (!message.whole) {
                progress.clear();
                std::cerr << "lumbrook-cli: " << file.store.filePath(file.name)
                          << ": the message at offset " << record.dataOffset
                          << " is damaged: " << message.problem << '\n';
                failed = true;
                if (message.text.empty()) continue;
            }
            // A file that cannot be created ends the export, as it ends the window's batch.
            exportMessage(settings, record, message.text);
            progress.set(++done);
        }
    }
    std::cout << "There became " << done << " messages exported!\n";
    return failed ? 1 : 0;
}

}  // namespace lumbrook::cli
