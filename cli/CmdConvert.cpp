// convert: a whole store into today's mailbox layouts in one step, folder tree kept.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "cli/FolderReport.h"
#include "convert/StoreConversion.h"
#include "store/MailStore.h"

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

// Ctrl+C and SIGTERM stop the conversion after the message in hand, with the
// record written out, so that the same command goes on from there; a second
// signal ends the program at once.
std::atomic<bool> stopAsked{false};
std::atomic<int> stopSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
void stopHandler(int signal) {
    stopSignal = signal;
    stopAsked = true;
}


}  // namespace

int cmdConvert(Args& args, const MailStore& store) {
    const auto to = args.takeOption("--to");
    const std::string formatName = args.takeOption("--format").value_or("mbox");
    std::vector<std::string> wanted;
    while (auto f = args.takeOption("--folder")) wanted.push_back(*f);
    MailboxOptions options;
    options.mozillaStatus = !args.takeFlag("--no-status");
    const bool deleted = args.takeFlag("--deleted");
    if (!args.positionals().empty()) throw UsageError("convert takes no FILE; use --folder NAME");
    if (!to || to->empty()) throw UsageError("convert needs --to OUT");
    const auto format = parseMailboxFormat(formatName);
    if (!format) throw UsageError("unknown format " + formatName + " (mbox, maildir or eml)");
    options.format = *format;

    ConversionOptions conversion;
    conversion.outDir = *to;
    conversion.mailbox = options;
    conversion.folders = wanted;
    conversion.deleted = deleted;
    conversion.wordError = [](const std::exception& e) { return errorText(e); };
    std::unique_ptr<ConvertProgress> bar;
    stopAsked = false;
    stopSignal = 0;
    StopSignals signals(stopHandler);
    reportFolderListProblem(store);
    const ConversionReport report = convertStore(store, conversion, [&](const ConversionProgress& p) {
        if (!bar) bar = std::make_unique<ConvertProgress>(p.messagesTotal, p.bytesTotal);
        bar->set(p.messagesDone, p.bytesDone);
    }, &stopAsked);
    bar.reset();
    if (report.nothingMatched) throw UsageError("no folder matches --folder " + wanted.front());
    for (const auto& notice : report.notices) std::cerr << "lumbrook-cli: " << notice << '\n';
    for (const auto& failure : report.failures) std::cerr << "lumbrook-cli: " << failure << '\n';

    std::cout << "folders      " << report.folders << '\n'
              << "messages     " << report.written << " written, " << report.alreadyThere
              << " already there (skipped)\n"
              << "bytes        " << report.bytesWritten << '\n'
              << "damaged      " << report.damaged.size() << " (converted as far as readable)\n"
              << "failed       " << report.failures.size() << '\n'
              << "written to   " << *to << " (" << formatName << ")\n";
    if (report.ignoredRecordLines > 0)
        std::cout << "note         " << report.ignoredRecordLines
                  << " damaged lines of the conversion record were ignored\n";
    if (!report.damaged.empty()) {
        std::cout << report.damaged.size() << " messages could not be read whole:\n";
        for (const auto& d : report.damaged) std::cout << "  " << d << '\n';
    }
    // Each damaged folder was said among the notices; the summary comes last.
    FolderReports reports;
    for (const FolderReport& folder : report.damagedFolders) reports.add(folder, false);
    if (report.cancelled) {
        std::cout << "stopped      run the same command again to go on\n";
        // As the shell reports a program ended by the signal.
        return reports.finish(128 + (stopSignal > 0 ? stopSignal.load() : SIGINT));
    }
    return reports.finish(report.failures.empty() && report.damaged.empty() ? 0 : 1);
}

}  // namespace lumbrook::cli
