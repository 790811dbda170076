#pragma once

// For the upload tests: a Dovecot of the test's own on 127.0.0.1 (configuration,
// passwd-file user, a certificate from a CA made for the test, and another CA),
// the test's own look at the account over the plain port, and stores of numbered
// messages with flags and dates.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dbxwriter/DbxWriter.h"
#include "store/StoreRecords.h"
#include "tests/platform/PlatformTestSupport.h"

namespace lumbrook::uploadtest {

namespace fs = std::filesystem;
using test::TempDir;

inline const char* const DovecotProgram = "/usr/sbin/dovecot";

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline bool shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline int freePort() {
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

inline int connectTo(int port) {
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
        // bob's account holds at most 20 messages.
        writeFile(d + "/users", "alice:{PLAIN}secret:" + uid + ":" + gid + "::" + d + "/mail/alice\n" +
                                    "bob:{PLAIN}secret:" + uid + ":" + gid + "::" + d +
                                    "/mail/bob::userdb_quota_rule=*:messages=20\n");
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

    std::string url(const std::string& prefix = {}, const std::string& user = "alice") const {
        return "imaps://" + user + "@127.0.0.1:" + std::to_string(imapsPort) + (prefix.empty() ? "" : "/" + prefix);
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

inline std::string mailText(const std::string& id, const std::string& subject, std::size_t bodyBytes) {
    std::string text = "From: Anna Berg <anna@example.org>\r\nTo: Ben <ben@example.org>\r\nSubject: " + subject +
                       "\r\nMessage-ID: <" + id + "@lumbrook.test>\r\nDate: Tue, 14 Oct 2003 09:12:45 +0200\r\n"
                       "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n";
    while (text.size() < bodyBytes) text += "Gr\xfc\xdf" "e aus dem Archiv, line " + std::to_string(text.size()) + "\r\n";
    return text;
}

// The store's flag bits for message i: none, read, replied, flagged, forwarded in turn.
inline std::uint32_t flagsFor(int i) {
    switch (i % 5) {
        case 1: return MessageFlag::Read;
        case 2: return MessageFlag::Read | MessageFlag::Replied;
        case 3: return MessageFlag::Read | MessageFlag::Flagged;
        case 4: return MessageFlag::Read | MessageFlag::Forwarded;
        default: return 0;
    }
}

inline std::set<std::string> imapFlagsFor(int i) {
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

inline void writeStore(const std::string& dir, const std::vector<TestFolder>& folders) {
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

inline std::string internalDateOf(std::int64_t unixTime) {
    char text[40];
    const std::time_t t = unixTime;
    std::tm tm{};
    gmtime_r(&t, &tm);
    std::strftime(text, sizeof text, "%d-%b-%Y %H:%M:%S +0000", &tm);
    return text;
}

}  // namespace lumbrook::uploadtest
