#pragma once

// Shared by the safety proofs: a scratch tree per test, snapshots of what a
// directory holds, and a store of crafted messages written with the project's
// .dbx writer.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dbxwriter/DbxWriter.h"

namespace lumbrook::safety {

namespace fs = std::filesystem;

inline std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeText(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// One entry of a directory tree as seen by lstat: kind, size, modification time
// and, for files, the bytes.
struct Entry {
    char kind = '?';  // f file, d directory, l link, o other
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::string bytes;
    bool operator==(const Entry&) const = default;
};
using Snapshot = std::map<std::string, Entry>;

// Every entry below Dir by its path relative to Dir; links are not followed.
inline Snapshot snapshot(const fs::path& dir, bool withBytes = true) {
    Snapshot snap;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0) continue;
        Entry e;
        e.kind = S_ISREG(st.st_mode)   ? 'f'
                 : S_ISDIR(st.st_mode) ? 'd'
                 : S_ISLNK(st.st_mode) ? 'l'
                                       : 'o';
        e.size = static_cast<std::uint64_t>(st.st_size);
        e.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (e.kind == 'f' && withBytes) e.bytes = readBytes(it->path());
        snap[fs::relative(it->path(), dir).string()] = std::move(e);
    }
    return snap;
}

// The names that After has and Before has not.
inline std::vector<std::string> added(const Snapshot& before, const Snapshot& after) {
    std::vector<std::string> names;
    for (const auto& [name, entry] : after)
        if (!before.contains(name)) names.push_back(name);
    return names;
}

// Whatever changed between two snapshots, outside the entries under Allowed/
// (direct children only, plain files only).
inline std::vector<std::string> changesOutside(const Snapshot& before, const Snapshot& after,
                                               const std::string& allowed) {
    std::vector<std::string> changes;
    auto isAllowed = [&](const std::string& name, const Entry& e) {
        if (allowed.empty() || !name.starts_with(allowed + "/")) return false;
        return name.find('/', allowed.size() + 1) == std::string::npos && e.kind == 'f';
    };
    for (const auto& [name, entry] : after) {
        auto old = before.find(name);
        if (old != before.end() && old->second == entry) continue;
        if (old == before.end() && isAllowed(name, entry)) continue;
        // The chosen directory's own time changes when files appear in it.
        if (name == allowed && old != before.end() && old->second.kind == 'd' && entry.kind == 'd')
            continue;
        changes.push_back((old == before.end() ? "new " : "changed ") + name);
    }
    for (const auto& [name, entry] : before)
        if (!after.contains(name)) changes.push_back("removed " + name);
    return changes;
}

// A scratch tree per test: Root/store holds the store, Root/home/user/out is the directory
// the user chose (deep enough that "../.." still lands inside Root), Root/cwd the
// working directory the test runs in.
class SafetyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "lumbrook-safety-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        store = root / "store";
        out = root / "home" / "user" / "out";
        cwd = root / "cwd";
        fs::create_directories(store);
        fs::create_directories(out);
        fs::create_directories(cwd);
        oldCwd = fs::current_path();
        fs::current_path(cwd);
    }
    void TearDown() override {
        fs::current_path(oldCwd);
        std::error_code ec;
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root, ec);
    }

    fs::path root, store, out, cwd, oldCwd;
    const std::string outName = "home/user/out";  // Out relative to Root
};

// A message whose HTML body refers to a part with the given Content-ID header.
inline std::string messageWithContentId(const std::string& contentIdHeader) {
    return "From: x@example.org\r\nSubject: picture\r\n"
           "Content-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
           "--rel\r\nContent-Type: text/html\r\n\r\n<p><img src=\"cid:pic\"></p>\r\n"
           "--rel\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-ID: " +
           contentIdHeader + "\r\n\r\nR0lGODlhAQABAAAAACw=\r\n--rel--\r\n";
}

struct Crafted {
    std::string subject;
    std::string rawText;
};

// Messages that try to name files outside the chosen directory: Content-IDs and
// subjects with separators, "." and "..", absolute paths, a uuencoded name
// climbing up, and one sound message with a harmless Content-ID.
inline std::vector<Crafted> craftedMessages() {
    const std::string html = "Content-Type: text/html\r\n\r\n<p>hi</p>\r\n";
    return {
        {"../../escape", messageWithContentId("<../../cid-escape>")},
        {"a/b", messageWithContentId("<a/b>")},
        {"..", messageWithContentId("<..>")},
        {".", messageWithContentId("<.>")},
        {"/tmp/absolute", messageWithContentId("</tmp/lumbrook-absolute-cid>")},
        {"..\\..\\windows", messageWithContentId("\"<..\\..\\win-cid>\"")},
        {"quoted", messageWithContentId("\"<../quoted-cid>\"")},
        {"sound", messageWithContentId("<logo.gif>")},
        {"", "Subject: uu\r\n\r\ntext\r\nbegin 644 ../../uu-escape\r\n#86)C\r\n`\r\nend\r\n"},
        {"../", "Subject: plain\r\n" + html},
    };
}

// Folders.dbx with one folder "Inbox" and Inbox.dbx with the given messages.
inline void writeStore(const fs::path& dir, const std::vector<Crafted>& messages) {
    DbxFileOptions folders;
    folders.kind = DbxFileKind::Folders;
    writeBytes((dir / "Folders.dbx").string(),
               buildDbx({folderRecord({1, std::nullopt, "Inbox", std::string("Inbox.dbx"), true})},
                        folders)
                   .bytes);
    std::vector<DbxRecord> records;
    std::int32_t id = 1;
    for (const auto& m : messages) {
        DbxMessage message;
        message.messageId = id;
        message.subject = m.subject;
        message.from = "../from";
        message.to = "/to";
        message.date = unixTimeToFileTime(1'200'000'000 + 60 * id++);
        message.rawText = m.rawText;
        records.push_back(messageRecord(message));
    }
    writeBytes((dir / "Inbox.dbx").string(), buildDbx(records).bytes);
}

}  // namespace lumbrook::safety
