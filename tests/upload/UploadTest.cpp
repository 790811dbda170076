// lumbrook-cli upload against a real Dovecot: started here on 127.0.0.1 with its own
// configuration, passwd-file user and a certificate from a CA made for the test.
// What arrived is read back over a connection of the test's own (FETCH BODY.PEEK[]).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/CliRunner.h"
#include "tests/upload/UploadTestSupport.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using namespace uploadtest;
using test::TempDir;

class Upload : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access(DovecotProgram, X_OK) != 0) {
            // CI installs it (scripts/setup.sh): there a missing Dovecot is a failure, not a skip.
            if (std::getenv("CI")) FAIL() << "Dovecot is not installed; scripts/setup.sh installs it";
            GTEST_SKIP() << "Dovecot is not installed (scripts/setup.sh)";
        }
        server.emplace(serverDir);
        ASSERT_TRUE(server->makeOk) << "openssl could not make the test's certificates";
        ASSERT_TRUE(server->start()) << "Dovecot did not start; see " << serverDir.str() << "/dovecot.log";
        fs::create_directories(home.str() + "/state");
    }

    // The environment of a run: the password, the record's place, no netrc.
    std::string environment(const std::string& password = "secret") const {
        return "LUMBROOK_IMAP_PASSWORD=" + test::shellQuote(password) + " XDG_STATE_HOME=" +
               test::shellQuote(home.str() + "/state") + " HOME=" + test::shellQuote(home.str());
    }

    test::CliRun upload(const std::string& store, std::vector<std::string> args, const std::string& env) {
        std::vector<std::string> all = {"--store", store, "upload"};
        all.insert(all.end(), args.begin(), args.end());
        return test::runProgram(LUMBROOK_CLI, all, ".", env);
    }

    // Starts an upload in the background; its output goes to files in home.
    pid_t startUpload(const std::string& store, const std::string& url) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("LUMBROOK_IMAP_PASSWORD", "secret", 1);
            ::setenv("XDG_STATE_HOME", (home.str() + "/state").c_str(), 1);
            ::setenv("HOME", home.str().c_str(), 1);
            std::freopen((home.str() + "/out").c_str(), "w", stdout);
            std::freopen((home.str() + "/err").c_str(), "w", stderr);
            ::execl(LUMBROOK_CLI, LUMBROOK_CLI, "--store", store.c_str(), "upload", "--to", url.c_str(), "--ca",
                    server->caFile().c_str(), nullptr);
            ::_exit(127);
        }
        return pid;
    }

    // Waits until the mailbox holds at least count messages (or the run ended).
    void waitForMessages(const std::string& mailbox, std::size_t count, pid_t run) {
        ImapProbe probe(server->imapPort);
        for (int i = 0; i < 3000; ++i) {
            if (probe.count(mailbox) >= count) return;
            int status = 0;
            if (::waitpid(run, &status, WNOHANG) == run) FAIL() << "the upload ended before " << count << " messages";
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "the upload did not get to " << count << " messages";
    }

    TempDir serverDir, home, store;
    std::optional<Dovecot> server;
};

TEST_F(Upload, TreeBytesFlagsDatesAndSpecialFoldersArriveOnceAndARefusedMessageIsListed) {
    // A store in the client's western code page: special folders (one without
    // messages of its own), umlauts, a subfolder, a message the server refuses.
    std::vector<TestFolder> folders = {
        {0, -1, "Outlook Express", "", false, {}},
        {1, 0, "Local Folders", "", false, {}},
        {4, 1, "Inbox", "Inbox.dbx", true, {}},
        {5, 1, "Outbox", "Outbox.dbx", true, {}},
        {6, 1, "Sent Items", "Sent Items.dbx", true, {}},
        {7, 1, "Deleted Items", "Deleted Items.dbx", true, {}},
        {8, 1, "Drafts", "Drafts.dbx", true, {}},
        {100, 1, "\xdc" "berweisungen", "Ueberweisungen.dbx", false, {}},
        {101, 100, "Dauerauftr\xe4ge", "Dauerauftraege.dbx", false, {}},
    };
    const std::map<std::string, std::string> mailboxOf = {
        {"Inbox.dbx", "INBOX"},       {"Outbox.dbx", "Outbox"}, {"Sent Items.dbx", "Sent"},
        {"Deleted Items.dbx", "Trash"}, {"Drafts.dbx", "Drafts"}, {"Ueberweisungen.dbx", "&ANw-berweisungen"},
        {"Dauerauftraege.dbx", "&ANw-berweisungen/Dauerauftr&AOQ-ge"}};
    const std::map<std::string, int> counts = {{"Inbox.dbx", 30}, {"Outbox.dbx", 1}, {"Sent Items.dbx", 6},
                                               {"Deleted Items.dbx", 2}, {"Drafts.dbx", 1},
                                               {"Ueberweisungen.dbx", 7}, {"Dauerauftraege.dbx", 5}};
    for (TestFolder& f : folders) {
        if (f.fileName.empty()) continue;
        for (int i = 0; i < counts.at(f.fileName); ++i)
            f.texts.push_back(mailText(f.fileName + "." + std::to_string(i), "Nachricht " + std::to_string(i),
                                       300 + static_cast<std::size_t>(i) * 173));
    }
    // One message bigger than the server takes, in the middle of the Inbox.
    folders[2].texts[12] = mailText("too-big", "Zu gro\xdf", 150 * 1024);
    writeStore(store.str(), folders);

    const auto first = upload(store.str(), {"--to", server->url(), "--ca", server->caFile(), "--deleted"}, environment());
    EXPECT_EQ(first.status, 1) << first.err;
    EXPECT_NE(first.out.find("refused      1"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("Inbox, \"Zu gro\xc3\x9f\": "), std::string::npos) << first.out;

    ImapProbe probe(server->imapPort);
    ASSERT_TRUE(probe.loggedIn);
    const std::set<std::string> names = probe.mailboxes();
    for (const auto& [file, mailbox] : mailboxOf) EXPECT_TRUE(names.count(mailbox)) << mailbox;
    // The special folders went onto the server's own, not beside them.
    EXPECT_FALSE(names.count("Sent Items"));
    EXPECT_FALSE(names.count("Deleted Items"));
    EXPECT_FALSE(names.count("Inbox"));
    const auto checkAll = [&] {
        for (const TestFolder& f : folders) {
            if (f.fileName.empty()) continue;
            const auto stored = probe.messages(mailboxOf.at(f.fileName));
            const std::size_t expected = f.texts.size() - (f.fileName == "Inbox.dbx" ? 1 : 0);
            ASSERT_EQ(stored.size(), expected) << f.fileName;
            for (std::size_t i = 0; i < f.texts.size(); ++i) {
                const std::string id = i == 12 && f.fileName == "Inbox.dbx" ? "too-big" : f.fileName + "." + std::to_string(i);
                const auto it = stored.find(id + "@lumbrook.test");
                if (id == "too-big") {
                    EXPECT_EQ(it, stored.end());
                    continue;
                }
                ASSERT_NE(it, stored.end()) << id;
                EXPECT_EQ(it->second.text, f.texts[i]) << id;
                EXPECT_EQ(it->second.flags, imapFlagsFor(static_cast<int>(i))) << id;
                EXPECT_EQ(it->second.internalDate, internalDateOf(f.firstTime + static_cast<std::int64_t>(i) * 3600)) << id;
            }
        }
    };
    checkAll();

    // Cyrillic names, from a store in the Cyrillic code page, under a prefix.
    TempDir cyrillic;
    writeStore(cyrillic.str(), {{0, -1, "Outlook Express", "", false, {}},
                                {1, 0, "Local Folders", "", false, {}},
                                {100, 1, "\xcf\xe5\xf0\xe5\xef\xe8\xf1\xea\xe0", "Perepiska.dbx", false,
                                 {mailText("ru.0", "a", 400), mailText("ru.1", "b", 900)}}});
    const auto russian = upload(cyrillic.str(), {"--to", server->url("Archiv/2003"), "--ca", server->caFile()},
                                "LUMBROOK_CODEPAGE=CP1251 " + environment());
    EXPECT_EQ(russian.status, 0) << russian.out << russian.err;
    EXPECT_EQ(probe.messages("Archiv/2003/&BB8ENQRABDUEPwQ4BEEEOgQw-").size(), 2u);

    // Again: nothing new goes up; the refused message is tried and refused again.
    const auto second = upload(store.str(), {"--to", server->url(), "--ca", server->caFile(), "--deleted"}, environment());
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.out.find("messages     0 uploaded, 51 uploaded before"), std::string::npos) << second.out;
    // Without the record (another machine, say), what is there is found by its Message-ID.
    fs::remove_all(home.str() + "/state");
    const auto third = upload(store.str(), {"--to", server->url(), "--ca", server->caFile(), "--deleted"}, environment());
    EXPECT_NE(third.out.find("messages     0 uploaded, 0 uploaded before, 51 already on the server"), std::string::npos)
        << third.out;
    checkAll();
}

TEST_F(Upload, AKilledRunAndARestartedServerEndWithEveryMessageOnce) {
    std::vector<TestFolder> folders = {{0, -1, "Outlook Express", "", false, {}},
                                       {1, 0, "Local Folders", "", false, {}},
                                       {100, 1, "Bulk", "Bulk.dbx", false, {}}};
    constexpr int Count = 1500;
    for (int i = 0; i < Count; ++i) folders[2].texts.push_back(mailText("bulk." + std::to_string(i), "m", 2500));
    writeStore(store.str(), folders);
    const auto everyMessageOnce = [&](const std::string& mailbox) {
        ImapProbe probe(server->imapPort);
        const auto stored = probe.messages(mailbox);
        EXPECT_EQ(stored.size(), static_cast<std::size_t>(Count));
        EXPECT_EQ(probe.count(mailbox), static_cast<std::size_t>(Count)) << "a message went up twice";
    };

    // Killed without warning part way, then run again.
    pid_t run = startUpload(store.str(), server->url("Killed"));
    waitForMessages("Killed/Bulk", 200, run);
    ::kill(run, SIGKILL);
    ::waitpid(run, nullptr, 0);
    const auto resumed = upload(store.str(), {"--to", server->url("Killed"), "--ca", server->caFile()}, environment());
    EXPECT_EQ(resumed.status, 0) << resumed.out << resumed.err;
    everyMessageOnce("Killed/Bulk");

    // The server stopped and started again while the run goes on.
    run = startUpload(store.str(), server->url("Restarted"));
    waitForMessages("Restarted/Bulk", 200, run);
    server->stop();
    ASSERT_TRUE(server->start());
    int status = 0;
    ::waitpid(run, &status, 0);
    std::ifstream outFile(home.str() + "/out");
    const std::string out((std::istreambuf_iterator<char>(outFile)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    EXPECT_NE(out.find("reconnected"), std::string::npos) << out;
    everyMessageOnce("Restarted/Bulk");
}

TEST_F(Upload, AFullAccountStopsTheRunWithOneFailure) {
    std::vector<TestFolder> folders = {{0, -1, "Outlook Express", "", false, {}},
                                       {1, 0, "Local Folders", "", false, {}},
                                       {100, 1, "A", "A.dbx", false, {}},
                                       {101, 1, "B", "B.dbx", false, {}}};
    for (int i = 0; i < 30; ++i) folders[2 + i % 2].texts.push_back(mailText("q." + std::to_string(i), "m", 800));
    writeStore(store.str(), folders);
    const auto full = upload(store.str(), {"--to", server->url({}, "bob"), "--ca", server->caFile()}, environment());
    EXPECT_EQ(full.status, 1);
    const std::size_t said = full.err.find("the account on 127.0.0.1 is full ([OVERQUOTA]");
    EXPECT_NE(said, std::string::npos) << full.err;
    EXPECT_EQ(full.err.find("the account on", said + 1), std::string::npos) << "said once: " << full.err;
    EXPECT_NE(full.out.find("refused      0"), std::string::npos) << full.out;
    EXPECT_NE(full.out.find("left behind  10 messages"), std::string::npos) << full.out;
}

TEST_F(Upload, AWrongPasswordAndACertificateOfAnotherCaStopBeforeAnything) {
    writeStore(store.str(), {{0, -1, "Outlook Express", "", false, {}},
                             {1, 0, "Local Folders", "", false, {}},
                             {4, 1, "Inbox", "Inbox.dbx", true, {mailText("one", "a", 500)}}});
    const auto wrong = upload(store.str(), {"--to", server->url(), "--ca", server->caFile()},
                              environment("Not-the-Pa55word"));
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("the server refused the login of alice"), std::string::npos) << wrong.err;
    EXPECT_EQ((wrong.out + wrong.err).find("Not-the-Pa55word"), std::string::npos);

    // Another CA of the same name, and the system's trust store: neither trusts the server.
    for (const std::vector<std::string>& ca :
         {std::vector<std::string>{"--ca", server->otherCaFile()}, std::vector<std::string>{}}) {
        std::vector<std::string> args = {"--to", server->url()};
        args.insert(args.end(), ca.begin(), ca.end());
        const auto foreign = upload(store.str(), args, environment());
        EXPECT_EQ(foreign.status, 1);
        EXPECT_NE(foreign.err.find("is not trusted"), std::string::npos) << foreign.err;
    }
    ImapProbe probe(server->imapPort);
    EXPECT_EQ(probe.count("INBOX"), 0u);

    // STARTTLS on the plain port, the password from ~/.netrc.
    writeFile(home.str() + "/.netrc", "machine 127.0.0.1\n  login alice\n  password secret\n");
    const auto netrc = upload(store.str(),
                              {"--to", "imap://alice@127.0.0.1:" + std::to_string(server->imapPort), "--ca",
                               server->caFile()},
                              "XDG_STATE_HOME=" + test::shellQuote(home.str() + "/state") + " HOME=" +
                                  test::shellQuote(home.str()));
    EXPECT_EQ(netrc.status, 0) << netrc.err;
    EXPECT_EQ(probe.count("INBOX"), 1u);
}

}  // namespace
}  // namespace lumbrook
