// lumbrook-cli end to end on stores written with the .dbx writer: it writes only
// where it is told, never changes the store, never replaces a file of the user's,
// and reports a file it cannot write through its count and exit status.
#include <gtest/gtest.h>

#include "store/oexpress.h"
#include "tests/safety/SafetySupport.h"
#include "tests/support/CliRunner.h"

namespace lumbrook::safety {
namespace {

struct TRun {
    int Status = -1;
    std::string Output;  // standard output and error together
};

// Runs lumbrook-cli in Dir with Prelude (shell commands) before it.
TRun RunCli(const fs::path& Dir, const std::vector<std::string>& Args,
            const std::string& Prelude = "") {
    const test::TCliRun run = test::RunProgram(LUMBROOK_CLI, Args, Dir.string(), Prelude);
    return {run.Status, run.Out + run.Err};
}

std::vector<std::int32_t> Offsets(const fs::path& store) {
    SetStoreRootOverride(store.string());
    TMessageList messages;
    ReadIndexFile("Inbox.dbx", messages);
    SetStoreRootOverride(std::nullopt);
    std::vector<std::int32_t> offsets;
    for (const auto& m : messages) offsets.push_back(m.DataOffset);
    return offsets;
}

class TCliSafetyTest : public TSafetyTest {
  protected:
    TRun Cli(const std::vector<std::string>& args, const std::string& prelude = "") {
        std::vector<std::string> all{"--store", Store.string()};
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(Cwd, all, prelude);
    }

    // Every command for every message, every output into Out.
    void RunEverything() {
        EXPECT_EQ(Cli({"folders"}).Status, 0);
        EXPECT_EQ(Cli({"messages", "Inbox.dbx"}).Status, 0);
        int page = 0;
        for (std::int32_t offset : Offsets(Store)) {
            const std::string at = std::to_string(offset);
            EXPECT_EQ(Cli({"text", "Inbox.dbx", at}).Status, 0);
            for (const auto& extra : std::vector<std::vector<std::string>>{
                     {}, {"--head"}, {"--head", "--design", "plain.htm"}}) {
                std::vector<std::string> args{
                    "render", "Inbox.dbx", at, "--out",
                    (Out / ("page" + std::to_string(page++) + ".htm")).string()};
                args.insert(args.end(), extra.begin(), extra.end());
                const TRun r = Cli(args);
                // A page whose Content-ID would leave the directory is refused as a
                // file that cannot be created.
                if (r.Status != 0) {
                    EXPECT_NE(r.Output.find("kann nicht erstellt werden"), std::string::npos)
                        << r.Output;
                }
            }
            Cli({"save", "Inbox.dbx", "--to", Out.string(), "--date", at});
            for (const char* format : {"html", "txt", "same"})
                Cli({"export", "Inbox.dbx", "--to", Out.string(), "--format", format, "--head",
                     at});
        }
        EXPECT_EQ(Cli({"save", "Inbox.dbx", "--to", Out.string()}).Status, 0);
        Cli({"export", "Inbox.dbx", "--to", Out.string(), "--date"});
    }
};

TEST_F(TCliSafetyTest, CraftedStoreWritesOnlyIntoTheChosenDirectory) {
    WriteStore(Store, CraftedMessages());
    const TSnapshot before = Snapshot(Root);
    RunEverything();
    const TSnapshot after = Snapshot(Root);
    EXPECT_EQ(ChangesOutside(before, after, OutName), std::vector<std::string>{});
    EXPECT_TRUE(after.contains(OutName + "/logo.gif"));
    // Every message was saved: the ten of the whole folder plus one per message.
    int saved = 0;
    for (const auto& name : Added(before, after)) saved += name.ends_with(".eml");
    EXPECT_EQ(saved, 20);
    EXPECT_FALSE(fs::exists("/tmp/lumbrook-absolute-cid"));
}

TEST_F(TCliSafetyTest, TheStoreIsNeverChanged) {
    std::vector<TCrafted> messages = CraftedMessages();
    messages.push_back({"long", "Subject: long\r\n\r\n" + std::string(5000, 'x') + "\r\n"});
    WriteStore(Store, messages);
    // Reading must not even refresh the times: a store written a while ago keeps them.
    for (const auto& entry : fs::directory_iterator(Store))
        fs::last_write_time(entry.path(),
                            fs::last_write_time(entry.path()) - std::chrono::hours(24));
    const TSnapshot before = Snapshot(Store);
    RunEverything();
    EXPECT_EQ(Snapshot(Store), before);
}

TEST_F(TCliSafetyTest, SaveAndExportNeverReplaceAFileOfTheUsers) {
    const std::string text = "Subject: Report\r\n\r\nnew text\r\n";
    WriteStore(Store, {{"Report", text}, {"Report", text}});
    for (const char* name : {"Report.eml", "Report.HTM", "Report.txt"})
        WriteText(Out / name, "mine");
    // A link left where the first free name would be must not be followed.
    fs::create_symlink(Root / "victim", Out / "Report_0.eml");

    TRun r = Cli({"save", "Inbox.dbx", "--to", Out.string()});
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("There became 2 messages saved!"), std::string::npos) << r.Output;
    r = Cli({"export", "Inbox.dbx", "--to", Out.string(), "--format", "html"});
    EXPECT_EQ(r.Status, 0) << r.Output;
    r = Cli({"export", "Inbox.dbx", "--to", Out.string(), "--format", "txt"});
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("There became 2 messages exported!"), std::string::npos) << r.Output;

    for (const char* name : {"Report.eml", "Report.HTM", "Report.txt"})
        EXPECT_EQ(ReadBytes(Out / name), "mine");
    EXPECT_FALSE(fs::exists(Root / "victim"));
    EXPECT_TRUE(fs::is_symlink(Out / "Report_0.eml"));
    for (const char* name : {"Report_1.eml", "Report_2.eml", "Report_0.txt", "Report_1.txt"})
        EXPECT_EQ(ReadBytes(Out / name),
                  std::string(name).ends_with(".eml") ? text : "new text\r\n")
            << name;
    EXPECT_TRUE(fs::exists(Out / "Report_0.HTM"));
    EXPECT_TRUE(fs::exists(Out / "Report_1.HTM"));
}

TEST_F(TCliSafetyTest, AFileThatCannotBeWrittenIsReportedNotCounted) {
    // Larger than the file size limit below, so that writing it runs out of room.
    const std::string big = "Subject: big\r\n\r\n" + std::string(64 * 1024, 'y') + "\r\n";
    WriteStore(Store, {{"big", big}, {"small", "Subject: small\r\n\r\nsmall\r\n"}});
    WriteText(Root / "plain-file", "x");
    const std::string offset = std::to_string(Offsets(Store).front());

    struct TCase {
        std::string Name;
        std::string Dir;
        std::string Prelude;
        int Saved;  // how many of the two messages can be saved
    };
    std::vector<TCase> cases = {
        {"a file where the directory should be", (Root / "plain-file" / "sub").string(), "", 0},
        {"a directory no one may create files in", "/proc/self", "", 0},
        // A file size limit works for root too: writes past it fail as on a full disk.
        {"a full disk", Out.string(), "trap '' XFSZ; ulimit -f 16;", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Dir == "/proc/self" && !fs::exists("/proc/self")) continue;
        TRun r = Cli({"save", "Inbox.dbx", "--to", c.Dir}, c.Prelude);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find("There became " + std::to_string(c.Saved) + " messages saved!"),
                  std::string::npos)
            << r.Output;
        EXPECT_NE(r.Output.find("could not be created!"), std::string::npos) << r.Output;

        r = Cli({"export", "Inbox.dbx", "--to", c.Dir, "--format", "txt", offset}, c.Prelude);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_EQ(r.Output.find("messages exported!"), std::string::npos) << r.Output;
        EXPECT_NE(r.Output.find("kann nicht erstellt werden"), std::string::npos) << r.Output;

        r = Cli({"render", "Inbox.dbx", offset, "--out", c.Dir + "/page.htm"}, c.Prelude);
        EXPECT_EQ(r.Status, 1) << r.Output;
    }
    // No cut-off copy of a message stays behind to pass for the whole message.
    for (const auto& entry : fs::directory_iterator(Out)) {
        if (entry.path().extension() == ".eml" || entry.path().extension() == ".txt") {
            EXPECT_NE(fs::file_size(entry.path()), 16u * 512u) << entry.path();
        }
    }
    if (fs::exists("/dev/full")) {
        const TRun r = Cli({"render", "Inbox.dbx", offset, "--out", "/dev/full"});
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find("Datei /dev/full kann nicht erstellt werden"), std::string::npos)
            << r.Output;
    }
}

}  // namespace
}  // namespace lumbrook::safety
