// upload: a store straight into a mail account over IMAP, folders, flags and dates kept.
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "cli/FolderReport.h"
#include "upload/StoreUpload.h"

namespace lumbrook::cli {
namespace {

// Messages, megabytes, speed and time left, redrawn at most a few times a second
// and only when a terminal shows standard error.
class UploadBar {
public:
    UploadBar() : shown(isatty(STDERR_FILENO) == 1), started(Clock::now()) {}
    ~UploadBar() { clear(); }
    void clear() {
        if (drawn) std::cerr << "\r\033[K" << std::flush;
        drawn = false;
    }
    void set(const UploadProgress& p) {
        if (!shown) return;
        const auto now = Clock::now();
        if (drawn && now - lastDrawn < std::chrono::milliseconds(200)) return;
        lastDrawn = now;
        const double seconds = std::chrono::duration<double>(now - started).count();
        const double mb = static_cast<double>(p.bytesDone) / 1e6;
        const double total = static_cast<double>(p.bytesTotal) / 1e6;
        const double rate = seconds > 0 ? mb / seconds : 0;
        const double left = rate > 0 ? (total - mb) / rate : 0;
        char line[160];
        std::snprintf(line, sizeof line, "\r%zu/%zu messages, %.1f/%.1f MB, %.1f MB/s, %.0f s left",
                      p.messagesDone, p.messagesTotal, mb, total, rate, std::max(0.0, left));
        std::cerr << line << "\033[K" << std::flush;
        drawn = true;
    }

private:
    using Clock = std::chrono::steady_clock;
    bool shown;
    bool drawn = false;
    Clock::time_point started, lastDrawn;
};

UploadCancel* runningUpload = nullptr;
std::atomic<int> stopSignal{0};
void stopHandler(int signal) {
    stopSignal = signal;
    if (runningUpload) runningUpload->ask();
}

// The password typed on the terminal, not shown; none without a terminal.
std::optional<std::string> promptPassword(const ImapAccount& account) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) return std::nullopt;
    const std::string prompt = "Password for " + account.user + "@" + account.host + ": ";
    [[maybe_unused]] ssize_t n = ::write(tty, prompt.data(), prompt.size());
    termios old{};
    const bool isTerminal = ::tcgetattr(tty, &old) == 0;
    if (isTerminal) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    std::string password;
    char c;
    while (::read(tty, &c, 1) == 1 && c != '\n') password += c;
    if (isTerminal) ::tcsetattr(tty, TCSAFLUSH, &old);
    ::close(tty);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

std::string uploadErrorText(const UploadError& e, const ImapAccount& account) {
    switch (e.kind()) {
        case UploadErrorKind::Connect:
            return "cannot reach " + account.host + ":" + std::to_string(account.port) + ": " + e.detail();
        case UploadErrorKind::Certificate:
            return "the certificate of " + account.host + " is not trusted (" + e.detail() +
                   "); nothing was uploaded. Use --ca FILE if the server's certificate comes from a private CA";
        case UploadErrorKind::Login:
            return "the server refused the login of " + account.user + " (" + e.detail() +
                   "); check the user name and password (LUMBROOK_IMAP_PASSWORD, ~/.netrc or the prompt)";
        case UploadErrorKind::Connection:
            return "the connection to " + account.host + " broke: " + e.detail() + "; run the same command again to go on";
        case UploadErrorKind::Server:
            return "the server refused: " + e.detail();
        case UploadErrorKind::Record:
            return "the upload record: " + e.detail();
    }
    return e.detail();
}

}  // namespace

int cmdUpload(Args& args, const MailStore& store) {
    const auto to = args.takeOption("--to");
    const auto ca = args.takeOption("--ca");
    std::vector<std::string> wanted;
    while (auto f = args.takeOption("--folder")) wanted.push_back(*f);
    const bool insecure = args.takeFlag("--insecure");
    const bool deleted = args.takeFlag("--deleted");
    const bool dryRun = args.takeFlag("--dry-run");
    if (!args.positionals().empty()) throw UsageError("upload takes no FILE; use --folder NAME");
    if (!to || to->empty()) throw UsageError("upload needs --to imaps://USER@HOST[:PORT][/PREFIX]");
    std::string problem;
    auto account = parseImapAddress(*to, &problem);
    if (!account) throw UsageError("--to " + *to + ": " + problem);
    if (insecure) {
        if (account->security != ImapSecurity::StartTls)
            throw UsageError("--insecure goes with imap:// only (imaps:// is always encrypted)");
        account->security = ImapSecurity::None;
    }
    requireStore(store);

    UploadOptions options;
    options.account = *account;
    options.caFile = ca.value_or("");
    options.folders = wanted;
    options.deletedMessages = deleted;
    options.dryRun = dryRun;
    // Never from the command line, where every user of the machine can read it.
    const char* token = std::getenv("LUMBROOK_IMAP_TOKEN");
    const char* password = std::getenv("LUMBROOK_IMAP_PASSWORD");
    const char* home = std::getenv("HOME");
    std::optional<std::string> fromNetrc;
    if (token && *token) {
        options.credentials.accessToken = token;
    } else if (password && *password) {
        options.credentials.password = password;
    } else if (home && *home &&
               (fromNetrc = netrcPassword(std::string(home) + "/.netrc", account->host, account->user))) {
        options.credentials.password = std::move(*fromNetrc);
    } else if (auto typed = promptPassword(*account)) {
        options.credentials.password = std::move(*typed);
    } else {
        throw CliError("no password for " + account->user + "@" + account->host +
                       ": set LUMBROOK_IMAP_PASSWORD (or LUMBROOK_IMAP_TOKEN for XOAUTH2), add it to ~/.netrc, "
                       "or run on a terminal to be asked");
    }

    reportFolderListProblem(store);
    UploadCancel cancel;
    runningUpload = &cancel;
    stopSignal = 0;
    StopSignals signals(stopHandler);
    UploadBar bar;
    UploadReport report;
    try {
        report = uploadStore(store, options, [&](const UploadProgress& p) { bar.set(p); }, &cancel);
    } catch (const UploadError& e) {
        bar.clear();
        runningUpload = nullptr;
        throw CliError(uploadErrorText(e, *account));
    }
    bar.clear();
    runningUpload = nullptr;
    if (report.nothingMatched) throw UsageError("no folder matches --folder " + wanted.front());
    for (const auto& failure : report.failures) std::cerr << "lumbrook-cli: " << failure << '\n';

    std::cout << "account      " << account->displayName() << (dryRun ? " (dry run: nothing was sent)" : "") << '\n';
    for (const auto& d : report.destinations) std::cout << "folder       " << d << '\n';
    std::cout << "folders      " << report.folders << '\n'
              << "messages     " << report.uploaded << (dryRun ? " to upload, " : " uploaded, ")
              << report.alreadyRecorded << " uploaded before, " << report.foundOnServer
              << " already on the server (skipped)\n"
              << "bytes        " << report.bytesUploaded << '\n'
              << "refused      " << report.refused.size() << '\n'
              << "damaged      " << report.damaged.size() << " (uploaded as far as readable)\n"
              << "failed       " << report.failures.size() << '\n';
    if (report.reconnects > 0) std::cout << "reconnected  " << report.reconnects << " times\n";
    if (report.ignoredRecordLines > 0)
        std::cout << "note         " << report.ignoredRecordLines << " damaged lines of the upload record were ignored\n";
    if (!report.refused.empty()) {
        std::cout << report.refused.size() << " messages were refused by the server:\n";
        for (const auto& r : report.refused) std::cout << "  " << r << '\n';
    }
    if (!report.damaged.empty()) {
        std::cout << report.damaged.size() << " messages could not be read whole:\n";
        for (const auto& d : report.damaged) std::cout << "  " << d << '\n';
    }
    if (report.leftBehind > 0 && !dryRun)
        std::cout << "left behind  " << report.leftBehind << " messages are not on the server; run the same command again\n";
    // The folders whose index could not be read whole: one line each, a summary last.
    FolderReports reports;
    for (const FolderReport& folder : report.damagedFolders) reports.add(folder);
    if (report.cancelled) {
        std::cout << "stopped      run the same command again to go on\n";
        return reports.finish(128 + (stopSignal > 0 ? stopSignal.load() : SIGINT));
    }
    return reports.finish(report.complete() && report.damaged.empty() ? 0 : 1);
}

}  // namespace lumbrook::cli
