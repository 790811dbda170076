// lumbrook-cli upload against a real Dovecot: started here on 127.0.0.1 with its own
// configuration, passwd-file user and a certificate from a CA made for the test.
// What arrived is read back over a connection of the test's own (FETCH BODY.PEEK[]).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "dbxwriter/DbxWriter.h"
#include "store/StoreRecords.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/CliRunner.h"
#include "upload/ImapAccount.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const char* const DovecotProgram = "/usr/sbin/dovecot";

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A Dovecot of the test's own. Run as root (as here and in CI), its login and
// internal processes run as Dovecot's own users and the mail user is "nobody";
// otherwise all of it runs as the user running the test.
class Dovecot {
public:
    explicit Dovecot(const TempDir& dir) : dir(dir.str()), imapsPort(freePort()), imapPort(freePort()) {
        ::chmod(this->dir.c_str(), 0755);
        fs::create_directories(this->dir + "/run");
        fs::create_directories(this->dir + "/mail");
        ::chmod((this->dir + "/mail").c_str(), 0777);
        const std::string d = this->dir;
        // The test's CA, the server's certificate from it (for 127.0.0.1), and another CA.
        makeOk = shell("cd " + d + " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
                       "-subj '/CN=Lumbrook test CA'") &&
                 shell("cd " + d + " && openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
                       "-subj '/CN=127.0.0.1'") &&
                 shell("cd " + d + " && printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > ext.cnf && "
                       "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem "
                       "-days 2 -extfile ext.cnf") &&
                 shell("cd " + d + " && openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other-ca.pem "
                       "-days 2 -subj '/CN=Lumbrook test CA'");
        const bool root = ::geteuid() == 0;
        const passwd* me = ::getpwuid(::geteuid());
        const std::string self = me ? me->pw_name : "root";
        const std::string uid = root ? "65534" : std::to_string(::geteuid());
        const std::string gid = root ? "65534" : std::to_string(::getegid());
        writeFile(d + "/users", "alice:{PLAIN}secret:" + uid + ":" + gid + "::" + d + "/mail/alice\n");
        const std::string config =
            "protocols = imap\n"
            "listen = 127.0.0.1\n"
            "base_dir = " + d + "/run\n"
            "state_dir = " + d + "/run\n"
            "log_path = " + d + "/dovecot.log\n"
            "instance_name = lumbrook-test-" + std::to_string(imapsPort) + "\n"
            "default_login_user = " + (root ? "dovenull" : self) + "\n"
            "default_internal_user = " + (root ? "dovecot" : self) + "\n"
            "first_valid_uid = 1\n"
            "mail_location = maildir:~/Maildir\n"
            // Tests are about what arrives, not about surviving a power cut.
            "mail_fsync = never\n"
            "ssl = yes\n"
            "ssl_cert = <" + d + "/server.pem\n"
            "ssl_key = <" + d + "/server.key\n"
            "auth_mechanisms = plain login\n"
            "disable_plaintext_auth = no\n"
            "mail_plugins = $mail_plugins quota\n"
            "plugin {\n  quota = count:User quota\n  quota_vsizes = yes\n  quota_max_mail_size = 100k\n}\n"
            "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + d + "/users\n}\n"
            "userdb {\n  driver = passwd-file\n  args = " + d + "/users\n}\n"
            "service anvil {\n  chroot =\n}\n"
            "service imap-login {\n  chroot =\n"
            "  inet_listener imap {\n    address = 127.0.0.1\n    port = " + std::to_string(imapPort) + "\n  }\n"
            "  inet_listener imaps {\n    address = 127.0.0.1\n    port = " + std::to_string(imapsPort) + "\n"
            "    ssl = yes\n  }\n}\n"
            "namespace inbox {\n  inbox = yes\n  separator = /\n"
            "  mailbox Sent {\n    special_use = \\Sent\n    auto = create\n  }\n"
            "  mailbox Trash {\n    special_use = \\Trash\n    auto = create\n  }\n"
            "  mailbox Drafts {\n    special_use = \\Drafts\n    auto = create\n  }\n}\n";
        writeFile(d + "/dovecot.conf", config);
    }
    ~Dovecot() { stop(); }

    bool start() {
        pid = ::fork();
        if (pid == 0) {
            // A group of its own: stopping it stops its sessions too, as a service
            // manager would (the master alone leaves them running).
            ::setpgid(0, 0);
            ::execl(DovecotProgram, DovecotProgram, "-F", "-c", (dir + "/dovecot.conf").c_str(), nullptr);
            ::_exit(127);
        }
        // Up once a login is answered: the listener comes before the login processes.
        for (int i = 0; i < 400; ++i) {
            const int fd = connectTo(imapPort);
            if (fd >= 0) {
                char greeting[256];
                const ssize_t n = ::recv(fd, greeting, sizeof greeting, 0);
                ::close(fd);
                if (n > 0) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    void stop() {
        if (pid <= 0) return;
        ::kill(-pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        for (int i = 0; i < 500 && ::kill(-pid, 0) == 0; ++i) {
            ::kill(-pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
    }

    std::string url(const std::string& prefix = {}) const {
        return "imaps://alice@127.0.0.1:" + std::to_string(imapsPort) + (prefix.empty() ? "" : "/" + prefix);
    }
    std::string caFile() const { return dir + "/ca.pem"; }
    std::string otherCaFile() const { return dir + "/other-ca.pem"; }

    const std::string dir;
    const int imapsPort, imapPort;
    bool makeOk = false;
    pid_t pid = -1;
};


// The test's own look at the account, over the plain port: commands and their
// answers as text, literals included.
class ImapProbe {
public:
    explicit ImapProbe(int port) : fd(connectTo(port)) {
        if (fd < 0) return;
        readResponse();  // the greeting
        loggedIn = command("LOGIN alice secret").ok;
    }
    ~ImapProbe() {
        if (fd >= 0) ::close(fd);
    }
    ImapProbe(const ImapProbe&) = delete;
    ImapProbe& operator=(const ImapProbe&) = delete;

    struct Answer {
        bool ok = false;
        std::vector<std::string> untagged;
    };
    Answer command(const std::string& text) {
        const std::string tag = "t" + std::to_string(++tags);
        const std::string line = tag + " " + text + "\r\n";
        if (fd < 0 || ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
            return {};
        Answer answer;
        for (;;) {
            std::string response = readResponse();
            if (response.empty()) return answer;
            if (response.starts_with(tag + " ")) {
                answer.ok = response.compare(tag.size() + 1, 2, "OK") == 0;
                return answer;
            }
            answer.untagged.push_back(std::move(response));
        }
    }

    std::set<std::string> mailboxes() {
        std::set<std::string> names;
        for (const std::string& line : command("LIST \"\" \"*\"").untagged) {
            std::string name = line.substr(line.find("\"/\" ") + 4);
            while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
            if (name.size() >= 2 && name.front() == '"') name = name.substr(1, name.size() - 2);
            names.insert(name);
        }
        return names;
    }

    std::size_t count(const std::string& mailbox) {
        for (const std::string& line : command("STATUS \"" + mailbox + "\" (MESSAGES)").untagged) {
            const std::size_t at = line.find("(MESSAGES ");
            if (at != std::string::npos) return std::stoul(line.substr(at + 10));
        }
        return 0;
    }

    struct Stored {
        std::string text;
        std::set<std::string> flags;
        std::string internalDate;
    };
    // The mailbox's messages by Message-ID (or by text where they have none).
    std::map<std::string, Stored> messages(const std::string& mailbox) {
        std::map<std::string, Stored> out;
        if (!command("EXAMINE \"" + mailbox + "\"").ok) return out;
        for (const std::string& line : command("UID FETCH 1:* (FLAGS INTERNALDATE BODY.PEEK[])").untagged) {
            Stored m;
            const std::size_t flags = line.find("FLAGS (");
            const std::size_t flagsEnd = line.find(')', flags);
            std::string list = line.substr(flags + 7, flagsEnd - flags - 7);
            for (std::size_t start = 0; start < list.size();) {
                std::size_t space = list.find(' ', start);
                if (space == std::string::npos) space = list.size();
                const std::string flag = list.substr(start, space - start);
                if (flag != "\\Recent" && !flag.empty()) m.flags.insert(flag);
                start = space + 1;
            }
            const std::size_t date = line.find("INTERNALDATE \"");
            m.internalDate = line.substr(date + 14, line.find('"', date + 14) - date - 14);
            const std::size_t body = line.find("BODY[] {");
            const std::size_t size = std::stoul(line.substr(body + 8));
            m.text = line.substr(line.find("}\r\n", body) + 3, size);
            const std::size_t id = m.text.find("Message-ID: <");
            const std::string key = id == std::string::npos ? m.text : m.text.substr(id + 13, m.text.find('>', id) - id - 13);
            out[key] = std::move(m);
        }
        command("CLOSE");
        return out;
    }

    bool loggedIn = false;

private:
    // One response: a line, with each literal it announces and the line after it.
    std::string readResponse() {
        std::string response;
        for (;;) {
            std::size_t lf;
            while ((lf = buffer.find('\n')) == std::string::npos)
                if (!fill()) return {};
            const std::string line = buffer.substr(0, lf + 1);
            buffer.erase(0, lf + 1);
            response += line;
            const std::size_t open = line.rfind('{');
            if (open == std::string::npos || line.size() < 4 || line[line.size() - 3] != '}') return response;
            const std::size_t size = std::stoul(line.substr(open + 1));
            while (buffer.size() < size)
                if (!fill()) return {};
            response += buffer.substr(0, size);
            buffer.erase(0, size);
        }
    }
    bool fill() {
        char chunk[65536];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    int fd = -1;
    int tags = 0;
    std::string buffer;
};

std::string mailText(const std::string& id, const std::string& subject, std::size_t bodyBytes) {
    std::string text = "From: Anna Berg <anna@example.org>\r\nTo: Ben <ben@example.org>\r\nSubject: " + subject +
                       "\r\nMessage-ID: <" + id + "@lumbrook.test>\r\nDate: Tue, 14 Oct 2003 09:12:45 +0200\r\n"
                       "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n";
    while (text.size() < bodyBytes) text += "Gr\xfc\xdf" "e aus dem Archiv, line " + std::to_string(text.size()) + "\r\n";
    return text;
}

// The store's flag bits for message i: none, read, replied, flagged, forwarded in turn.
std::uint32_t flagsFor(int i) {
    switch (i % 5) {
        case 1: return MessageFlag::Read;
        case 2: return MessageFlag::Read | MessageFlag::Replied;
        case 3: return MessageFlag::Read | MessageFlag::Flagged;
        case 4: return MessageFlag::Read | MessageFlag::Forwarded;
        default: return 0;
    }
}

std::set<std::string> imapFlagsFor(int i) {
    switch (i % 5) {
        case 1: return {"\\Seen"};
        case 2: return {"\\Seen", "\\Answered"};
        case 3: return {"\\Seen", "\\Flagged"};
        case 4: return {"\\Seen", "$Forwarded"};
        default: return {};
    }
}

struct TestFolder {
    std::int32_t id;
    std::int32_t parent;
    std::string name;      // in the store's code page
    std::string fileName;  // empty: a level without messages
    bool special;
    std::vector<std::string> texts;
    std::int64_t firstTime = 1066115565;  // 14 Oct 2003 07:12:45 UTC, one hour apart
};

void writeStore(const std::string& dir, const std::vector<TestFolder>& folders) {
    std::vector<DbxRecord> folderRecords;
    for (const TestFolder& f : folders) {
        folderRecords.push_back(folderRecord({f.id, f.parent < 0 ? std::nullopt : std::optional<std::int32_t>(f.parent),
                                              f.name,
                                              f.fileName.empty() ? std::nullopt : std::optional<std::string>(f.fileName),
                                              f.special}));
        if (f.fileName.empty()) continue;
        std::vector<DbxRecord> messages;
        for (std::size_t i = 0; i < f.texts.size(); ++i) {
            const std::size_t subject = f.texts[i].find("Subject: ") + 9;
            messages.push_back(messageRecord({static_cast<std::int32_t>(i + 1), "anna", "ben",
                                              f.texts[i].substr(subject, f.texts[i].find('\r', subject) - subject),
                                              unixTimeToFileTime(f.firstTime + static_cast<std::int64_t>(i) * 3600),
                                              f.texts[i], flagsFor(static_cast<int>(i))}));
        }
        writeDbx(dir + "/" + f.fileName, messages);
    }
    DbxFileOptions folderFile;
    folderFile.kind = DbxFileKind::Folders;
    writeDbx(dir + "/Folders.dbx", folderRecords, folderFile);
}

std::string internalDateOf(std::int64_t unixTime) {
    char text[40];
    const std::time_t t = unixTime;
    std::tm tm{};
    gmtime_r(&t, &tm);
    std::strftime(text, sizeof text, "%d-%b-%Y %H:%M:%S +0000", &tm);
    return text;
}

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
