// lumbrook-cli end to end on stores written with the .dbx writer: it writes only
// where it is told, never changes the store, never replaces a file of the user's,
// and reports a file it cannot write through its count and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "store/MailStore.h"
#include "tests/safety/SafetySupport.h"
#include "tests/support/CliRunner.h"

namespace lumbrook::safety {
namespace {

struct CliResult {
    int status = -1;
    std::string output;  // standard output and error together
};

// Runs lumbrook-cli in Dir with Prelude (shell commands) before it.
CliResult runCli(const fs::path& dir, const std::vector<std::string>& args,
            const std::string& prelude = "") {
    const test::CliRun run = test::runProgram(LUMBROOK_CLI, args, dir.string(), prelude);
    return {run.status, run.out + run.err};
}

std::vector<std::int32_t> offsets(const fs::path& store) {
    std::vector<std::int32_t> offsets;
    for (const auto& m : MailStore(store.string(), CodePage()).readMessages("Inbox.dbx"))
        offsets.push_back(m.dataOffset);
    return offsets;
}

class CliSafetyTest : public SafetyTest {
  protected:
    CliResult cli(const std::vector<std::string>& args, const std::string& prelude = "") {
        std::vector<std::string> all{"--store", store.string()};
        all.insert(all.end(), args.begin(), args.end());
        return runCli(cwd, all, prelude);
    }

    // Every command for every message, every output into Out.
    void runEverything() {
        EXPECT_EQ(cli({"folders"}).status, 0);
        EXPECT_EQ(cli({"messages", "Inbox.dbx"}).status, 0);
        int page = 0;
        for (std::int32_t offset : offsets(store)) {
            const std::string at = std::to_string(offset);
            EXPECT_EQ(cli({"text", "Inbox.dbx", at}).status, 0);
            for (const auto& extra : std::vector<std::vector<std::string>>{
                     {}, {"--head"}, {"--head", "--design", "plain.htm"}}) {
                std::vector<std::string> args{
                    "render", "Inbox.dbx", at, "--out",
                    (out / ("page" + std::to_string(page++) + ".htm")).string()};
                args.insert(args.end(), extra.begin(), extra.end());
                const CliResult r = cli(args);
                // A page whose Content-ID would leave the directory is refused as a
                // file that cannot be created.
                if (r.status != 0) {
                    EXPECT_NE(r.output.find("cannot create "), std::string::npos) << r.output;
                }
            }
            cli({"save", "Inbox.dbx", "--to", out.string(), "--date", at});
            for (const char* format : {"html", "txt", "same"})
                cli({"export", "Inbox.dbx", "--to", out.string(), "--format", format, "--head",
                     at});
        }
        EXPECT_EQ(cli({"save", "Inbox.dbx", "--to", out.string()}).status, 0);
        cli({"export", "Inbox.dbx", "--to", out.string(), "--date"});
    }
};

TEST_F(CliSafetyTest, CraftedStoreWritesOnlyIntoTheChosenDirectory) {
    writeStore(store, craftedMessages());
    const Snapshot before = snapshot(root);
    runEverything();
    const Snapshot after = snapshot(root);
    EXPECT_EQ(changesOutside(before, after, outName), std::vector<std::string>{});
    EXPECT_TRUE(after.contains(outName + "/logo.gif"));
    // Every message was saved: the ten of the whole folder plus one per message.
    int saved = 0;
    for (const auto& name : added(before, after)) saved += name.ends_with(".eml");
    EXPECT_EQ(saved, 20);
    EXPECT_FALSE(fs::exists("/tmp/lumbrook-absolute-cid"));
}

TEST_F(CliSafetyTest, TheStoreIsNeverChanged) {
    std::vector<Crafted> messages = craftedMessages();
    messages.push_back({"long", "Subject: long\r\n\r\n" + std::string(5000, 'x') + "\r\n"});
    writeStore(store, messages);
    // Reading must not even refresh the times: a store written a while ago keeps them.
    for (const auto& entry : fs::directory_iterator(store))
        fs::last_write_time(entry.path(),
                            fs::last_write_time(entry.path()) - std::chrono::hours(24));
    const Snapshot before = snapshot(store);
    runEverything();
    EXPECT_EQ(snapshot(store), before);
}

TEST_F(CliSafetyTest, SaveAndExportNeverReplaceAFileOfTheUsers) {
    const std::string text = "Subject: Report\r\n\r\nnew text\r\n";
    writeStore(store, {{"Report", text}, {"Report", text}});
    for (const char* name : {"Report.eml", "Report.HTM", "Report.txt"})
        writeText(out / name, "mine");
    // A link left where the first free name would be must not be followed.
    fs::create_symlink(root / "victim", out / "Report_0.eml");

    CliResult r = cli({"save", "Inbox.dbx", "--to", out.string()});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Saved 2 messages to "), std::string::npos) << r.output;
    r = cli({"export", "Inbox.dbx", "--to", out.string(), "--format", "html"});
    EXPECT_EQ(r.status, 0) << r.output;
    r = cli({"export", "Inbox.dbx", "--to", out.string(), "--format", "txt"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Exported 2 messages to "), std::string::npos) << r.output;

    for (const char* name : {"Report.eml", "Report.HTM", "Report.txt"})
        EXPECT_EQ(readBytes(out / name), "mine");
    EXPECT_FALSE(fs::exists(root / "victim"));
    EXPECT_TRUE(fs::is_symlink(out / "Report_0.eml"));
    for (const char* name : {"Report_1.eml", "Report_2.eml", "Report_0.txt", "Report_1.txt"})
        EXPECT_EQ(readBytes(out / name),
                  std::string(name).ends_with(".eml") ? text : "new text\r\n")
            << name;
    EXPECT_TRUE(fs::exists(out / "Report_0.HTM"));
    EXPECT_TRUE(fs::exists(out / "Report_1.HTM"));
}

TEST_F(CliSafetyTest, AFileThatCannotBeWrittenIsReportedNotCounted) {
    // Larger than the file size limit below, so that writing it runs out of room.
    const std::string big = "Subject: big\r\n\r\n" + std::string(64 * 1024, 'y') + "\r\n";
    writeStore(store, {{"big", big}, {"small", "Subject: small\r\n\r\nsmall\r\n"}});
    writeText(root / "plain-file", "x");
    const std::string offset = std::to_string(offsets(store).front());

    struct Case {
        std::string name;
        std::string dir;
        std::string prelude;
        std::string said;  // all the run says: one line, with the reason
    };
    std::vector<Case> cases = {
        {"a file where the directory should be", (root / "plain-file" / "sub").string(), "",
         "lumbrook-cli: cannot write into " + (root / "plain-file/sub").string() + ": Not a directory\n"},
        {"a directory no one may create files in", "/proc/self", "",
         "lumbrook-cli: cannot write into /proc/self: "},
        // A file size limit works for root too: writes past it fail as on a full disk.
        {"a full disk", out.string(), "trap '' XFSZ; ulimit -f 16;",
         "Saved 1 message to " + out.string() + ".\nlumbrook-cli: cannot create " + out.string() +
             "/big.eml: File too large\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.dir == "/proc/self" && !fs::exists("/proc/self")) continue;
        CliResult r = cli({"save", "Inbox.dbx", "--to", c.dir}, c.prelude);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_EQ(r.output.substr(0, c.said.size()), c.said);
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), c.said.ends_with('\n') ? std::count(c.said.begin(), c.said.end(), '\n') : 1) << r.output;

        r = cli({"export", "Inbox.dbx", "--to", c.dir, "--format", "txt", offset}, c.prelude);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_EQ(r.output.find("Exported"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("lumbrook-cli: cannot "), std::string::npos) << r.output;

        r = cli({"render", "Inbox.dbx", offset, "--out", c.dir + "/page.htm"}, c.prelude);
        EXPECT_EQ(r.status, 1) << r.output;
    }
    // No cut-off copy of a message stays behind to pass for the whole message.
    for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() == ".eml" || entry.path().extension() == ".txt") {
            EXPECT_NE(fs::file_size(entry.path()), 16u * 512u) << entry.path();
        }
    }
    if (fs::exists("/dev/full")) {
        const CliResult r = cli({"render", "Inbox.dbx", offset, "--out", "/dev/full"});
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find("cannot create /dev/full"), std::string::npos)
            << r.output;
    }
}


// Ctrl+C and SIGTERM in the middle of a long save: the run ends between files with
// the count so far and the shell's status for the signal; every file there is whole.
TEST_F(CliSafetyTest, ASignalEndsSavingBetweenFilesWithTheCountSoFar) {
    constexpr int Messages = 4000;
    std::vector<Crafted> messages;
    for (int i = 0; i < Messages; ++i)
        messages.push_back({"m" + std::to_string(i),
                            "Subject: m" + std::to_string(i) + "\r\n\r\n" + std::string(2000, 'z') + "\r\n"});
    writeStore(store, messages);
    const fs::path log = root / "log";
    // Runs the program with args, sends signal once dir holds something (the
    // handlers are in place by then) and gives the exit status.
    auto interrupted = [&](std::vector<std::string> args, const fs::path& dir, int signal) {
        const pid_t pid = ::fork();
        if (pid < 0) return -1;
        if (pid == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            std::vector<char*> argv{const_cast<char*>(LUMBROOK_CLI)};
            for (std::string& arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(LUMBROOK_CLI, argv.data());
            ::_exit(127);
        }
        for (int i = 0; i < 30000 && (!fs::exists(dir) || fs::is_empty(dir)); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        ::kill(pid, signal);
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid) return -1;
        EXPECT_TRUE(WIFEXITED(status)) << "killed by the signal itself";
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const fs::path dir = out / std::to_string(signal);
        EXPECT_EQ(interrupted({"--store", store.string(), "save", "Inbox.dbx", "--to", dir.string()}, dir, signal),
                  128 + signal);

        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            ++files;
            const std::string name = entry.path().filename().string();
            ASSERT_TRUE(name.ends_with(".eml")) << name;
            EXPECT_EQ(fs::file_size(entry.path()), 2000u + 4 + name.size() - 4 + 11) << name;
        }
        EXPECT_LT(files, static_cast<std::size_t>(Messages));
        EXPECT_NE(readBytes(log).find("Saved " + std::to_string(files) + (files == 1 ? " message to " : " messages to ")),
                  std::string::npos)
            << readBytes(log);

        // A conversion stops after the message in hand, says how to go on, and
        // reports the signal the same way.
        const fs::path converted = out / ("convert-" + std::to_string(signal));
        EXPECT_EQ(interrupted({"--store", store.string(), "convert", "--format", "eml",
                               "--no-status", "--to", converted.string()},
                              converted, signal),
                  128 + signal);
        EXPECT_NE(readBytes(log).find("run the same command again"), std::string::npos)
            << readBytes(log);
    }
}

}  // namespace
}  // namespace lumbrook::safety
