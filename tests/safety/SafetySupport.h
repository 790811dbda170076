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

#include "tests/support/DbxWriter.h"

namespace lumbrook::safety {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteText(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// One entry of a directory tree as seen by lstat: kind, size, modification time
// and, for files, the bytes.
struct TEntry {
    char Kind = '?';  // f file, d directory, l link, o other
    std::uint64_t Size = 0;
    std::int64_t MtimeNs = 0;
    std::string Bytes;
    bool operator==(const TEntry&) const = default;
};
using TSnapshot = std::map<std::string, TEntry>;

// Every entry below Dir by its path relative to Dir; links are not followed.
inline TSnapshot Snapshot(const fs::path& Dir, bool WithBytes = true) {
    TSnapshot snap;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(Dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0) continue;
        TEntry e;
        e.Kind = S_ISREG(st.st_mode)   ? 'f'
                 : S_ISDIR(st.st_mode) ? 'd'
                 : S_ISLNK(st.st_mode) ? 'l'
                                       : 'o';
        e.Size = static_cast<std::uint64_t>(st.st_size);
        e.MtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (e.Kind == 'f' && WithBytes) e.Bytes = ReadBytes(it->path());
        snap[fs::relative(it->path(), Dir).string()] = std::move(e);
    }
    return snap;
}

// The names that After has and Before has not.
inline std::vector<std::string> Added(const TSnapshot& Before, const TSnapshot& After) {
    std::vector<std::string> names;
    for (const auto& [name, entry] : After)
        if (!Before.contains(name)) names.push_back(name);
    return names;
}

// Whatever changed between two snapshots, outside the entries under Allowed/
// (direct children only, plain files only).
inline std::vector<std::string> ChangesOutside(const TSnapshot& Before, const TSnapshot& After,
                                               const std::string& Allowed) {
    std::vector<std::string> changes;
    auto allowed = [&](const std::string& name, const TEntry& e) {
        if (Allowed.empty() || !name.starts_with(Allowed + "/")) return false;
        return name.find('/', Allowed.size() + 1) == std::string::npos && e.Kind == 'f';
    };
    for (const auto& [name, entry] : After) {
        auto old = Before.find(name);
        if (old != Before.end() && old->second == entry) continue;
        if (old == Before.end() && allowed(name, entry)) continue;
        // The chosen directory's own time changes when files appear in it.
        if (name == Allowed && old != Before.end() && old->second.Kind == 'd' && entry.Kind == 'd')
            continue;
        changes.push_back((old == Before.end() ? "new " : "changed ") + name);
    }
    for (const auto& [name, entry] : Before)
        if (!After.contains(name)) changes.push_back("removed " + name);
    return changes;
}

// A scratch tree per test: Root/store holds the store, Root/home/user/out is the directory
// the user chose (deep enough that "../.." still lands inside Root), Root/cwd the
// working directory the test runs in.
class TSafetyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "lumbrook-safety-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Root = pattern;
        Store = Root / "store";
        Out = Root / "home" / "user" / "out";
        Cwd = Root / "cwd";
        fs::create_directories(Store);
        fs::create_directories(Out);
        fs::create_directories(Cwd);
        OldCwd = fs::current_path();
        fs::current_path(Cwd);
    }
    void TearDown() override {
        fs::current_path(OldCwd);
        std::error_code ec;
        fs::permissions(Root, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(Root, ec);
    }

    fs::path Root, Store, Out, Cwd, OldCwd;
    const std::string OutName = "home/user/out";  // Out relative to Root
};

// A message whose HTML body refers to a part with the given Content-ID header.
inline std::string MessageWithContentId(const std::string& contentIdHeader) {
    return "From: x@example.org\r\nSubject: picture\r\n"
           "Content-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
           "--rel\r\nContent-Type: text/html\r\n\r\n<p><img src=\"cid:pic\"></p>\r\n"
           "--rel\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-ID: " +
           contentIdHeader + "\r\n\r\nR0lGODlhAQABAAAAACw=\r\n--rel--\r\n";
}

struct TCrafted {
    std::string Subject;
    std::string RawText;
};

// Messages that try to name files outside the chosen directory: Content-IDs and
// subjects with separators, "." and "..", absolute paths, a uuencoded name
// climbing up, and one sound message with a harmless Content-ID.
inline std::vector<TCrafted> CraftedMessages() {
    const std::string html = "Content-Type: text/html\r\n\r\n<p>hi</p>\r\n";
    return {
        {"../../escape", MessageWithContentId("<../../cid-escape>")},
        {"a/b", MessageWithContentId("<a/b>")},
        {"..", MessageWithContentId("<..>")},
        {".", MessageWithContentId("<.>")},
        {"/tmp/absolute", MessageWithContentId("</tmp/lumbrook-absolute-cid>")},
        {"..\\..\\windows", MessageWithContentId("\"<..\\..\\win-cid>\"")},
        {"quoted", MessageWithContentId("\"<../quoted-cid>\"")},
        {"sound", MessageWithContentId("<logo.gif>")},
        {"", "Subject: uu\r\n\r\ntext\r\nbegin 644 ../../uu-escape\r\n#86)C\r\n`\r\nend\r\n"},
        {"../", "Subject: plain\r\n" + html},
    };
}

// Folders.dbx with one folder "Inbox" and Inbox.dbx with the given messages.
inline void WriteStore(const fs::path& dir, const std::vector<TCrafted>& messages) {
    TDbxFileOptions folders;
    folders.Kind = TDbxFileKind::Folders;
    WriteBytes((dir / "Folders.dbx").string(),
               BuildDbx({FolderRecord({1, std::nullopt, "Inbox", std::string("Inbox.dbx"), true})},
                        folders)
                   .Bytes);
    std::vector<TDbxRecord> records;
    std::int32_t id = 1;
    for (const auto& m : messages) {
        TDbxMessage message;
        message.MessageId = id;
        message.Subject = m.Subject;
        message.From = "../from";
        message.To = "/to";
        message.Date = UnixTimeToFileTime(1'200'000'000 + 60 * id++);
        message.RawText = m.RawText;
        records.push_back(MessageRecord(message));
    }
    WriteBytes((dir / "Inbox.dbx").string(), BuildDbx(records).Bytes);
}

}  // namespace lumbrook::safety
