// convert and recover --to into destinations someone else can write to, and runs
// killed at any moment: nothing is written outside the destination or through a
// link in it, and a run again gives every message exactly once.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "convert/MailboxMbox.h"
#include "dbxwriter/DbxWriter.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/CliRunner.h"
#include "tests/support/DbxImageBuilder.h"
#include "tests/support/RecordTestSupport.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::readFileBytes;
using test::TempDir;
using Texts = std::multiset<std::string>;

class DestinationTest : public ::testing::Test {
protected:
    // Outlook Express > Inbox > Sub; the Inbox's messages of messageBytes each.
    void writeStore(std::size_t inboxMessages, std::size_t messageBytes) {
        DbxFileOptions folders;
        folders.kind = DbxFileKind::Folders;
        writeBytes(store / "Folders.dbx",
                   buildDbx({folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
                             folderRecord({10, 0, "Inbox", "Inbox.dbx", false}),
                             folderRecord({11, 10, "Sub", "Sub.dbx", false})},
                            folders)
                       .bytes);
        std::vector<DbxRecord> inbox, sub;
        for (std::size_t i = 0; i < inboxMessages; ++i) {
            std::string text = "From: a@x.example\r\nSubject: m" + std::to_string(i) + "\r\n\r\n";
            if (i % 3 == 0) text += "From here on\r\n";
            while (text.size() < messageBytes) text += "a line of message " + std::to_string(i) + "\r\n";
            if (i % 4 == 1) text += "no line end";
            inbox.push_back(messageRecord({static_cast<int>(i + 1), "a", "b", "m" + std::to_string(i),
                                           test::fileTimeUtc(2003, 1, 1 + static_cast<int>(i % 28)), text}));
            expected.insert(text);
        }
        for (int i = 0; i < 3; ++i) {
            const std::string text = "Subject: s\r\n\r\nsub " + std::to_string(i) + "\r\n";
            sub.push_back(messageRecord({i + 1, "c", "d", "s", test::fileTimeUtc(2004, 2, 1 + i), text}));
            expected.insert(text);
        }
        writeBytes(store / "Inbox.dbx", buildDbx(inbox).bytes);
        writeBytes(store / "Sub.dbx", buildDbx(sub).bytes);
    }

    CliRun cli(std::vector<std::string> args, const std::string& prelude = "") {
        args.insert(args.begin(), {"--store", store.str()});
        return test::runProgram(LUMBROOK_CLI, args, work.str(), prelude);
    }

    // Every message under dir: an mbox file's messages, or a message file's bytes.
    static Texts messagesIn(const fs::path& dir, bool mbox) {
        Texts texts;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            if (!e.is_regular_file() || e.path().filename().string()[0] == '.') continue;
            const std::string bytes = readFileBytes(e.path().string());
            if (!mbox) {
                texts.insert(bytes);
                continue;
            }
            for (auto& entry : readMboxrd(bytes, true)) texts.insert(std::move(entry.message));
        }
        return texts;
    }
    // The texts as an mbox file gives them back: each last line closed.
    static Texts asInMbox(const Texts& texts) {
        Texts closed;
        for (const std::string& text : texts) closed.insert(text + std::string(addedLineEnd(text)));
        return closed;
    }
    // Hidden files but the record: temporary files left behind.
    static std::vector<std::string> leftovers(const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            const std::string name = e.path().filename().string();
            if (name[0] == '.' && name != ".lumbrook-convert") names.push_back(e.path().string());
        }
        return names;
    }

    TempDir store, work;
    Texts expected;
};

// Links of every kind planted in the destination: a folder's mbox file pointing at
// a user's file, a dangling one (whose target would be created), a .sbd, Maildir
// cur and tmp, an eml folder pointing at a directory elsewhere, and the record
// itself. Each is named, nothing is written through it, the rest is converted, exit 1.
TEST_F(DestinationTest, LinksPlantedInTheDestinationAreNamedAndNeverWrittenThrough) {
    writeStore(4, 100);
    const fs::path elsewhere = fs::path(work.str()) / "elsewhere";
    const fs::path victim = fs::path(work.str()) / "victim";
    fs::create_directories(elsewhere);
    writeBytes(victim.string(), std::vector<std::uint8_t>{'m', 'i', 'n', 'e'});
    struct Plant {
        std::string format;
        std::vector<std::pair<std::string, fs::path>> links;  // name below OUT, target
    };
    const std::vector<Plant> plants = {
        {"mbox", {{"Inbox", victim}}},
        {"mbox", {{"Inbox", elsewhere / "created"}}},
        {"mbox", {{"Inbox.sbd", elsewhere}}},
        {"mbox", {{".lumbrook-convert", victim}}},
        {"maildir", {{"Inbox/cur", elsewhere}}},
        {"maildir", {{"Inbox/tmp", elsewhere / "gone"}}},
        {"maildir", {{"Inbox/Sub", elsewhere}}},
        {"eml", {{"Inbox", elsewhere}}},
        {"eml", {{"Inbox", elsewhere / "made"}}},
    };
    int n = 0;
    for (const Plant& plant : plants) {
        const fs::path out = fs::path(work.str()) / ("out" + std::to_string(n++));
        for (const auto& [name, target] : plant.links) {
            fs::create_directories((out / name).parent_path());
            fs::create_symlink(target, out / name);
        }
        SCOPED_TRACE(plant.format + " " + plant.links[0].first);
        const CliRun run = cli({"convert", "--format", plant.format, "--to", out.string()});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find((out / plant.links[0].first).string()), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(elsewhere));
        EXPECT_EQ(readFileBytes(victim.string()), "mine");
        EXPECT_TRUE(fs::is_symlink(out / plant.links[0].first));
    }
    // Missing parents of OUT are made, as mkdir -p does.
    const fs::path deep = fs::path(work.str()) / "missing" / "parents" / "out";
    EXPECT_EQ(cli({"convert", "--to", deep.string()}).status, 0);
    EXPECT_EQ(messagesIn(deep, true), asInMbox(expected));
    // What the links did not touch was converted: the Inbox beside a link at its .sbd.
    EXPECT_EQ(readMboxrd(readFileBytes((fs::path(work.str()) / "out2/Inbox").string()), true)
                  .size(),
              4u);
}

// Killed with SIGKILL at ten points (a deterministic hook: LUMBROOK_TEST_KILL_AT
// kills the program at its N-th write step: after an mbox record line with half
// the message written, after a whole message, after a message file's temporary
// copy, after it is put in place), then run again, once with the record lost and
// once with it cut: every message once, no temporary file left, and mail the user
// added to an mbox meanwhile kept.
TEST_F(DestinationTest, AKilledRunGoesOnToEveryMessageOnceAndKeepsTheUsersMail) {
    writeStore(8, 300);
    const std::string userMail = "Subject: mine\n\nwritten by the user\n";
    for (const std::string format : {"mbox", "maildir", "eml"}) {
        for (const int killAt : {1, 2, 3, 4, 5, 8, 11, 14, 17, 20}) {
            SCOPED_TRACE(format + " killed at " + std::to_string(killAt));
            const fs::path out = fs::path(work.str()) / (format + std::to_string(killAt));
            const std::vector<std::string> args = {"convert", "--format", format, "--to", out.string()};
            const CliRun killed = cli(args, "export LUMBROOK_TEST_KILL_AT=" + std::to_string(killAt) + ";");
            ASSERT_EQ(killed.status, 128 + SIGKILL) << killed.err;
            Texts want = expected;
            const fs::path inbox = out / "Inbox";
            if (format == "mbox" && killAt % 2 == 0 && fs::exists(inbox)) {
                std::ofstream(inbox, std::ios::app) << "From user@x.example Mon Jan  5 10:00:00 2004\n"
                                                    << userMail << "\n";
                want.insert(userMail);
            }
            // The record lost, or cut to an older state, changes nothing.
            const fs::path record = out / ".lumbrook-convert";
            if (killAt == 4) fs::remove(record);
            if (killAt == 11) fs::resize_file(record, fs::file_size(record) / 2);
            const CliRun resumed = cli(args);
            ASSERT_EQ(resumed.status, 0) << resumed.err;
            EXPECT_EQ(messagesIn(out, format == "mbox"), format == "mbox" ? asInMbox(want) : want);
            EXPECT_EQ(leftovers(out), std::vector<std::string>{});
            const CliRun again = cli(args);
            EXPECT_NE(again.out.find("0 written"), std::string::npos) << again.out;
        }
    }

    // recover --to likewise, and a second run adds nothing.
    DbxImageBuilder image(buildDbx({messageRecord({1, "a", "b", "listed", test::fileTimeUtc(2003, 1, 1),
                                                   "Subject: listed\r\n\r\nx\r\n"})})
                              .bytes);
    Texts lost;
    for (int i = 0; i < 5; ++i) {
        const std::string text = "Subject: lost " + std::to_string(i) +
                                 "\r\nDate: Sun, 14 Sep 2003 16:02:05 +0000\r\n\r\n" +
                                 std::string(1000 + i, 'x') + "\r\n";
        image.addLive(text);
        lost.insert(text);
    }
    writeBytes(store / "Lost.dbx", image.bytes());
    for (const int killAt : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) {
        SCOPED_TRACE("recover killed at " + std::to_string(killAt));
        const fs::path out = fs::path(work.str()) / ("rescued" + std::to_string(killAt));
        const std::vector<std::string> args = {"recover", "Lost.dbx", "--to", out.string()};
        const CliRun killed = cli(args, "export LUMBROOK_TEST_KILL_AT=" + std::to_string(killAt) + ";");
        ASSERT_EQ(killed.status, 128 + SIGKILL) << killed.err;
        const CliRun resumed = cli(args);
        ASSERT_EQ(resumed.status, 0) << resumed.err;
        EXPECT_EQ(messagesIn(out, false), lost);
        EXPECT_EQ(leftovers(out), std::vector<std::string>{});
        const CliRun again = cli(args);
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(again.out, "");
    }
    // A link at OUT/orphaned is named and not followed.
    const fs::path out = fs::path(work.str()) / "linked";
    const fs::path elsewhere = fs::path(work.str()) / "elsewhere";
    fs::create_directories(out);
    fs::create_directories(elsewhere);
    fs::create_symlink(elsewhere, out / "orphaned");
    const CliRun linked = cli({"recover", "Lost.dbx", "--to", out.string()});
    EXPECT_EQ(linked.status, 1);
    EXPECT_NE(linked.err.find((out / "orphaned").string()), std::string::npos) << linked.err;
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

// A destination that fills up: one error that says so, exit 1, and the same
// command run again once there is room completes with every message once. Needs
// root to mount a small tmpfs (as in CI); skipped elsewhere.
TEST_F(DestinationTest, AFullDestinationIsOneErrorAndTheRunGoesOnOnceThereIsRoom) {
    writeStore(40, 40000);
    const fs::path mountPoint = fs::path(work.str()) / "small";
    fs::create_directories(mountPoint);
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    for (const std::string format : {"mbox", "eml"}) {
        SCOPED_TRACE(format);
        const fs::path out = mountPoint / format;
        const std::vector<std::string> args = {"convert", "--format", format, "--to", out.string()};
        const CliRun full = cli(args);
        EXPECT_EQ(full.status, 1) << full.err;
        std::size_t errors = 0;
        for (std::size_t at = full.err.find("lumbrook-cli:"); at != std::string::npos;
             at = full.err.find("lumbrook-cli:", at + 1))
            ++errors;
        EXPECT_EQ(errors, 1u) << full.err;
        EXPECT_NE(full.err.find("full"), std::string::npos) << full.err;
        ASSERT_EQ(::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_REMOUNT, "size=8m"), 0);
        const CliRun resumed = cli(args);
        EXPECT_EQ(resumed.status, 0) << resumed.err;
        EXPECT_EQ(messagesIn(out, format == "mbox"), format == "mbox" ? asInMbox(expected) : expected);
        EXPECT_EQ(leftovers(out), std::vector<std::string>{});
        fs::remove_all(out);
        ASSERT_EQ(::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
    }
    ::umount(mountPoint.c_str());
}

}  // namespace
}  // namespace lumbrook
