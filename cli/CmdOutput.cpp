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
std::vector<Toe5_MessageInfo> SelectMessages(const std::string& folderFile,
                                             const std::vector<std::string>& offsets,
                                             bool& missing) {
    TMessageList all;
    ReadIndexFile(folderFile, all);
    std::vector<Toe5_MessageInfo> chosen;
    if (offsets.empty()) {
        const auto order = SortedMessageOrder(all, ColDate, true);
        chosen.reserve(order.size());
        for (std::size_t i : order) chosen.push_back(std::move(all[i]));
        return chosen;
    }
    for (const auto& text : offsets) {
        const std::int32_t offset = ParseOffset(text);
        bool found = false;
        for (const auto& m : all) {
            if (m.DataOffset == offset) {
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
class TProgress {
public:
    explicit TProgress(std::size_t total) : Total(total), Shown(isatty(STDERR_FILENO) == 1) {}
    ~TProgress() { Clear(); }
    // Takes the bar off the line, so that a message can be written there.
    void Clear() {
        if (Shown && Drawn) std::cerr << "\r\033[K" << std::flush;
        Drawn = false;
    }
    void Set(std::size_t done) {
        if (!Shown || Total == 0) return;
        const std::size_t percent = done * 100 / Total;
        const std::size_t width = 40, filled = std::min(width, percent * width / 100);
        std::cerr << "\r[" << std::string(filled, '#') << std::string(width - filled, ' ') << "] "
                  << percent << "% (" << done << '/' << Total << ')' << std::flush;
        Drawn = true;
    }

private:
    std::size_t Total;
    bool Shown;
    bool Drawn = false;
};

struct TBatchArgs {
    std::string FolderFile;
    std::string Dir;
    bool DateInName;
    std::vector<std::string> Offsets;
};

TBatchArgs TakeBatchArgs(TArgs& args) {
    auto to = args.TakeOption("--to");
    const bool date = args.TakeFlag("--date");
    return TBatchArgs{"", to.value_or(""), date, {}};
}

void FinishBatchArgs(TBatchArgs& batch, TArgs& args, const char* command) {
    auto rest = args.Positionals();
    if (rest.empty() || batch.Dir.empty())
        throw EUsageError(std::string(command) + " needs FILE and --to DIR");
    batch.FolderFile = rest[0];
    batch.Offsets.assign(rest.begin() + 1, rest.end());
}

}  // namespace

int CmdSave(TArgs& args) {
    TBatchArgs batch = TakeBatchArgs(args);
    FinishBatchArgs(batch, args, "save");
    bool failed = false;
    const auto messages = SelectMessages(batch.FolderFile, batch.Offsets, failed);
    const std::string dir = PrepareOutputDir(batch.Dir);

    std::size_t done = 0;
    {
        TProgress progress(messages.size());
        for (const auto& record : messages) {
            const std::string raw = ReadMessageText(batch.FolderFile, record.DataOffset);
            try {
                SaveMessageAsEml(dir, record, raw, batch.DateInName);
                ++done;
            } catch (const ESaveFailed& e) {
                // As in the window: the message is reported and the batch goes on.
                progress.Clear();
                std::cerr << e.what() << '\n';
                failed = true;
            }
            progress.Set(done);
        }
    }
    std::cout << "There became " << done << " messages saved!\n";
    return failed ? 1 : 0;
}

int CmdExport(TArgs& args) {
    TBatchArgs batch = TakeBatchArgs(args);
    TExportSettings settings;
    const std::string format = args.TakeOption("--format").value_or("html");
    if (format == "html") settings.Format = TExportFormat::AlwaysHtml;
    else if (format == "txt") settings.Format = TExportFormat::AlwaysText;
    else if (format == "same") settings.Format = TExportFormat::SameAsMail;
    else throw EUsageError("--format is html, txt or same");
    settings.Design = ParseDesign(args);
    FinishBatchArgs(batch, args, "export");
    settings.DateInName = batch.DateInName;

    bool failed = false;
    const auto messages = SelectMessages(batch.FolderFile, batch.Offsets, failed);
    settings.Dir = PrepareOutputDir(batch.Dir);

    std::size_t done = 0;
    {
        TProgress progress(messages.size());
        for (const auto& record : messages) {
            // A file that cannot be created ends the export, as it ends the window's batch.
            ExportMessage(settings, record, ReadMessageText(batch.FolderFile, record.DataOffset));
            progress.Set(++done);
        }
    }
    std::cout << "There became " << done << " messages exported!\n";
    return failed ? 1 : 0;
}

}  // namespace lumbrook::cli
