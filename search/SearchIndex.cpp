#include "search/SearchIndex.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Files.h"

namespace lumbrook {
namespace {

// "LbIx": marks the file as ours, so that a database of another program handed to
// us by mistake is refused instead of emptied.
constexpr int ApplicationId = 0x4C624978;
// Raised whenever the tables or the tokenizer change; an older file is rebuilt.
constexpr int SchemaVersion = 1;
constexpr int SnippetWords = 14;
constexpr std::size_t MaxHitTextBytes = 1024;
// Rows ranked beyond those wanted, for the ties at the last one (see searchWords).
constexpr std::uint64_t TieRows = 32;

const char* const SchemaSql = R"sql(
CREATE TABLE folders(
    id INTEGER PRIMARY KEY,
    fileName TEXT NOT NULL UNIQUE,
    size INTEGER NOT NULL,
    mtimeNs INTEGER NOT NULL);
CREATE TABLE messages(
    id INTEGER PRIMARY KEY,
    folderId INTEGER NOT NULL,
    dataOffset INTEGER NOT NULL,
    fileTime INTEGER NOT NULL,
    flags INTEGER NOT NULL,
    hasAttachment INTEGER NOT NULL);
CREATE INDEX messagesByFolder ON messages(folderId);
CREATE INDEX messagesByTime ON messages(fileTime);
CREATE VIRTUAL TABLE messageText USING fts5(
    sender, recipients, subject, folder, attachments, body,
    tokenize = 'unicode61 remove_diacritics 2', prefix = '2 3');
)sql";

// Column weights for bm25 in the order above: a word in the subject or the sender
// says more about the message than the same word somewhere in a long body.
const std::string RankWeights = "3.0, 1.5, 4.0, 1.0, 2.0, 1.0";
const std::string RankSql = "bm25(messageText, " + RankWeights + ")";

bool isDamage(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// Thrown inside opening when the file cannot be used as our index.
struct Unusable {
    std::string why;
};

// The first bytes of every SQLite database, and where its header keeps the
// application id (big-endian).
constexpr std::string_view SqliteMagic{"SQLite format 3\0", 16};
constexpr std::size_t ApplicationIdAt = 68;

// Unnamed: a SQLite database whose header names no program. A fresh index of ours
// whose schema still waits in its write-ahead log is one; SQLite then tells (see
// schemaIsCurrent), but only a file that is Ours is ever removed as damaged.
enum class FileAtPath { Missing, Ours, Unnamed, NotOurs, Link };

// What lies at path, told by its first bytes alone: a file is ours when it is empty
// (made by us a moment ago, or by a run killed before it wrote) or a SQLite database
// whose header names us.
FileAtPath lookAt(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return FileAtPath::Missing;
    if (S_ISLNK(st.st_mode)) return FileAtPath::Link;
    if (!S_ISREG(st.st_mode)) return FileAtPath::NotOurs;
    if (st.st_size == 0) return FileAtPath::Ours;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return FileAtPath::NotOurs;
    unsigned char head[ApplicationIdAt + 4] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    if (got != static_cast<ssize_t>(sizeof head) ||
        std::string_view(reinterpret_cast<const char*>(head), SqliteMagic.size()) != SqliteMagic)
        return FileAtPath::NotOurs;
    const std::uint32_t id = (std::uint32_t{head[ApplicationIdAt]} << 24) |
                             (std::uint32_t{head[ApplicationIdAt + 1]} << 16) |
                             (std::uint32_t{head[ApplicationIdAt + 2]} << 8) |
                             std::uint32_t{head[ApplicationIdAt + 3]};
    if (id == static_cast<std::uint32_t>(ApplicationId)) return FileAtPath::Ours;
    return id == 0 ? FileAtPath::Unnamed : FileAtPath::NotOurs;
}

// Indexes are opened one at a time per directory: a new index gets its journal
// mode and its schema from the first run while any other waits here, since SQLite
// refuses rather than waits when two connections switch a new file to WAL at once.
// The lock is on the directory, so that closing it never drops the locks SQLite
// holds on the index file (closing any descriptor of a file would).
class OpeningLock {
  public:
    explicit OpeningLock(const std::filesystem::path& dir) {
        // A damaged index found while opening is opened again from within: the
        // lock this thread holds already covers that.
        if (held) return;
        fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;  // then opening goes on unguarded, as it always could
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        held = true;
    }
    ~OpeningLock() {
        if (fd < 0) return;
        ::close(fd);
        held = false;
    }
    OpeningLock(const OpeningLock&) = delete;
    OpeningLock& operator=(const OpeningLock&) = delete;

  private:
    static thread_local bool held;
    int fd = -1;
};
thread_local bool OpeningLock::held = false;

[[noreturn]] void refuseFile(const std::string& path, const char* what) {
    throw SearchIndexError("The file " + path + " is " + what +
                           "; it is not used as the search index and stays as it is.");
}


}  // namespace

class SearchIndex::Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const std::string& sql) {
        const int rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()),
                                          SQLITE_PREPARE_PERSISTENT, &handle, nullptr);
        if (rc != SQLITE_OK) {
            prepareResult = rc;
            handle = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& o) noexcept : handle(o.handle), prepareResult(o.prepareResult) { o.handle = nullptr; }
    Statement& operator=(Statement&& o) noexcept {
        if (this != &o) {
            sqlite3_finalize(handle);
            handle = o.handle;
            prepareResult = o.prepareResult;
            o.handle = nullptr;
        }
        return *this;
    }

    int prepareCode() const { return prepareResult; }
    sqlite3_stmt* get() const { return handle; }

    void reset() {
        sqlite3_reset(handle);
        sqlite3_clear_bindings(handle);
    }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(handle, i, v); }
    void bind(int i, std::string_view v) {
        sqlite3_bind_text64(handle, i, v.data(), v.size(), SQLITE_STATIC, SQLITE_UTF8);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(handle); }
    std::int64_t integer(int col) const { return sqlite3_column_int64(handle, col); }
    std::string text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(handle, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(handle, col)))
                 : std::string();
    }

private:
    sqlite3_stmt* handle = nullptr;
    int prepareResult = SQLITE_OK;
};

namespace {

std::string hex64(std::uint64_t v) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4) out[static_cast<std::size_t>(i)] = Digits[v & 0xF];
    return out;
}

// Snippet markers travel as control characters, which no mail text keeps, so that a
// bracket in the mail is not taken for a match; here they become the visible ones,
// and line breaks and tabs become single spaces.
std::string cleanSnippet(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\x01') {
            out += '[';
        } else if (c == '\x02') {
            out += ']';
        } else if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else if (c == ' ') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The first words of a text, for hits that matched no word (filters only).
std::string leadingWords(std::string_view s, int words) {
    std::size_t pos = 0;
    auto space = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == '\x7F'; };
    for (int n = 0; n < words; ++n) {
        while (pos < s.size() && space(s[pos])) ++pos;
        if (pos == s.size()) return cleanSnippet(s);
        while (pos < s.size() && !space(s[pos])) ++pos;
    }
    while (pos < s.size() && space(s[pos])) ++pos;
    if (pos == s.size()) return cleanSnippet(s);
    return cleanSnippet(s.substr(0, pos)) + "…";
}

// The body's snippet when it shows a match, else the subject's when that does, else the
// body's (its first words).
std::string pickSnippet(const std::string& body, const std::string& subject) {
    const bool bodyMatches = body.find('\x01') != std::string::npos;
    return cleanSnippet(!bodyMatches && subject.find('\x01') != std::string::npos ? subject : body);
}

std::string truncated(std::string s) {
    if (s.size() <= MaxHitTextBytes) return s;
    std::size_t cut = MaxHitTextBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
    return s;
}

}  // namespace

std::string defaultIndexPath(std::string_view storeAbsolutePath) {
    std::string_view store = storeAbsolutePath;
    while (store.size() > 1 && store.back() == '/') store.remove_suffix(1);
    // FNV-1a: a stable name for the store's path; collisions would only share a cache.
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (char c : store) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3u;
    }
    std::string base;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !home[0]) {
            const passwd* user = ::getpwuid(::getuid());
            home = user && user->pw_dir ? user->pw_dir : "";
        }
        base = std::string(home) + "/.cache";
    }
    if (base.back() != '/') base += '/';
    return base + "lumbrook/" + hex64(hash) + ".sqlite";
}

struct SearchIndex::Statements {
    Statement findFolder, upsertFolder, folderFileNames, deleteFolder, deleteFolderText,
        deleteFolderMessages, insertMessage, insertText, countFolders, countMessages, hitRow,
        messageTime, snippets, snippetsAmongMatches, rankedWords;
};

SearchIndex::SearchIndex(const std::string& path) : indexPath(path) { open(true); }

SearchIndex::~SearchIndex() {
    if (inFolder) sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
    close();
}

void SearchIndex::close() {
    statements.reset();
    // Statements still alive in a caller's frame keep the connection until they end.
    if (database) sqlite3_close_v2(database);
    database = nullptr;
    inFolder = false;
}

void SearchIndex::fail(const std::string& what, int code) {
    const std::string detail = database && sqlite3_errcode(database) == code ? sqlite3_errmsg(database)
                                                                   : sqlite3_errstr(code);
    if (isDamage(code)) {
        // A cache that is damaged is started afresh at once, so the next indexing run
        // puts everything back; the caller learns why nothing was found this time.
        close();
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((indexPath + suffix).c_str());
        try {
            open(false);
            rebuiltOnOpen = true;
        } catch (const SearchIndexError&) {
        }
        throw SearchIndexError("The search index " + indexPath +
                               " was damaged; it has been emptied and the store needs indexing again.");
    }
    throw SearchIndexError("The search index " + indexPath + " could not be " + what + ": " + detail +
                           ".");
}

void SearchIndex::check(int code, const char* what) {
    if (code != SQLITE_OK && code != SQLITE_DONE && code != SQLITE_ROW) fail(what, code);
}

void SearchIndex::exec(const char* sql) { check(sqlite3_exec(database, sql, nullptr, nullptr, nullptr), "written"); }

bool SearchIndex::schemaIsCurrent() {
    auto pragma = [&](const char* sql) -> std::int64_t {
        Statement s(database, sql);
        if (s.prepareCode() != SQLITE_OK) throw Unusable{sqlite3_errmsg(database)};
        const int rc = s.step();
        if (rc != SQLITE_ROW) throw Unusable{sqlite3_errmsg(database)};
        return s.integer(0);
    };
    // One statement, one snapshot: another first run may commit the schema between two.
    Statement both(database,
                   "SELECT (SELECT application_id FROM pragma_application_id), "
                   "(SELECT count(*) FROM sqlite_master)");
    if (both.prepareCode() != SQLITE_OK || both.step() != SQLITE_ROW)
        throw Unusable{sqlite3_errmsg(database)};
    const std::int64_t appId = both.integer(0);
    const std::int64_t tables = both.integer(1);
    both = Statement();
    if (appId == 0 && tables == 0) return false;  // new file
    if (appId != ApplicationId) {
        throw SearchIndexError("The file " + indexPath +
                               " is a database of another program; it is not used as the search "
                               "index and stays as it is.");
    }
    if (pragma("PRAGMA user_version") != SchemaVersion) throw Unusable{"another layout"};
    // A file cut short loses pages at its end, which the header still counts.
    struct stat st {};
    if (::stat(indexPath.c_str(), &st) == 0) {
        struct stat wal {};
        const bool walHasPages = ::stat((indexPath + "-wal").c_str(), &wal) == 0 && wal.st_size > 0;
        const std::int64_t expected = pragma("PRAGMA page_count") * pragma("PRAGMA page_size");
        if (!walHasPages && st.st_size < expected) throw Unusable{"the file is cut short"};
    }
    // Reading the small tables whole finds most other damage without reading every page
    // of the text index, which can be large.
    pragma("SELECT count(*) FROM folders");
    pragma("SELECT count(*) FROM messages");
    pragma("SELECT count(*) FROM messageText_idx");
    return true;
}

void SearchIndex::createSchema() {
    exec("BEGIN IMMEDIATE");
    // Another first run may have made it while this one waited for the lock.
    {
        Statement s(database, "PRAGMA application_id");
        if (s.prepareCode() == SQLITE_OK && s.step() == SQLITE_ROW && s.integer(0) == ApplicationId) {
            s = Statement();
            exec("COMMIT");
            return;
        }
    }
    exec(SchemaSql);
    exec(("PRAGMA application_id = " + std::to_string(ApplicationId)).c_str());
    exec(("PRAGMA user_version = " + std::to_string(SchemaVersion)).c_str());
    exec("COMMIT");
}

void SearchIndex::claimFile() {
    const std::filesystem::path dir = std::filesystem::path(indexPath).parent_path();
    // The index holds the text of all mail: the directories made for it are the
    // user's alone, and the file itself is 0600 (below) wherever it lies.
    if (!dir.empty() && !forcePrivateDirectories(dir.string())) {
        throw SearchIndexError("The directory " + dir.string() +
                               " for the search index could not be made: " + std::strerror(errno) +
                               ".");
    }
    // SQLite writes beside the file too: a link planted under one of those names
    // would have it write into whatever the link leads to.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        if (lookAt(indexPath + suffix) == FileAtPath::Link) refuseFile(indexPath + suffix, "a link");
    }
    switch (lookAt(indexPath)) {
        case FileAtPath::Link:
            refuseFile(indexPath, "a link");
        case FileAtPath::NotOurs:
            refuseFile(indexPath, "not a search index of this program");
        case FileAtPath::Missing: {
            // Made here, for the user alone, before SQLite makes it with the default
            // mode; the files SQLite puts beside it take the same mode. Two first
            // runs at once: one makes it, both go on.
            const int fd = ::open(indexPath.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd >= 0) {
                ::close(fd);
            } else if (errno != EEXIST) {
                throw SearchIndexError("The search index " + indexPath +
                                       " could not be created: " + std::strerror(errno) + ".");
            }
            const FileAtPath made = lookAt(indexPath);
            if (made != FileAtPath::Ours && made != FileAtPath::Unnamed)
                refuseFile(indexPath, "not a search index of this program");
            break;
        }
        case FileAtPath::Ours:
        case FileAtPath::Unnamed:
            break;
    }
    // An index made by an older version, readable by everyone, is made private.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string path = indexPath + suffix;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
            ::chmod(path.c_str(), st.st_mode & 0700);
    }
}

void SearchIndex::open(bool allowRebuild) {
    std::optional<OpeningLock> lock;
    for (int attempt = 0; attempt < 2; ++attempt) {
        claimFile();
        if (!lock) lock.emplace(std::filesystem::path(indexPath).parent_path());
        int rc = sqlite3_open_v2(indexPath.c_str(), &database,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
        if (rc != SQLITE_OK) {
            const std::string detail = database ? sqlite3_errmsg(database) : sqlite3_errstr(rc);
            close();
            throw SearchIndexError("The search index " + indexPath + " could not be opened: " + detail + ".");
        }
        sqlite3_extended_result_codes(database, 1);
        sqlite3_busy_timeout(database, 10000);
        try {
            // Whose the file is is settled before anything is changed in it: the
            // journal mode of another program's database stays as it is.
            const bool current = schemaIsCurrent();
            const char* setup =
                "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; "
                "PRAGMA temp_store = MEMORY; PRAGMA cache_size = -32768;";
            rc = sqlite3_exec(database, setup, nullptr, nullptr, nullptr);
            if (isDamage(rc)) throw Unusable{sqlite3_errmsg(database)};
            check(rc, "opened");
            if (!current) createSchema();
            break;
        } catch (const Unusable&) {
            close();
            if (lookAt(indexPath) != FileAtPath::Ours)
                refuseFile(indexPath, "not a search index of this program");
            if (!allowRebuild || attempt > 0) {
                throw SearchIndexError("The search index " + indexPath + " is damaged and could not be made again.");
            }
            for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
                if (std::remove((indexPath + suffix).c_str()) != 0 && errno != ENOENT && suffix[0] == 0) {
                    throw SearchIndexError("The damaged search index " + indexPath +
                                           " could not be removed: " + std::strerror(errno) + ".");
                }
            }
            rebuiltOnOpen = true;
        } catch (...) {
            close();
            throw;
        }
    }

    statements = std::make_unique<Statements>();
    auto prepare = [&](Statement& s, const char* sql) {
        s = Statement(database, sql);
        check(s.prepareCode(), "read");
    };
    Statements& st = *statements;
    prepare(st.findFolder, "SELECT id, size, mtimeNs FROM folders WHERE fileName = ?1");
    prepare(st.upsertFolder,
            "INSERT INTO folders(fileName, size, mtimeNs) VALUES(?1, ?2, ?3) "
            "ON CONFLICT(fileName) DO UPDATE SET size = excluded.size, mtimeNs = excluded.mtimeNs");
    prepare(st.folderFileNames, "SELECT id, fileName FROM folders");
    prepare(st.deleteFolder, "DELETE FROM folders WHERE id = ?1");
    prepare(st.deleteFolderText,
            "DELETE FROM messageText WHERE rowid IN (SELECT id FROM messages WHERE folderId = ?1)");
    prepare(st.deleteFolderMessages, "DELETE FROM messages WHERE folderId = ?1");
    prepare(st.insertMessage,
            "INSERT INTO messages(folderId, dataOffset, fileTime, flags, hasAttachment) "
            "VALUES(?1, ?2, ?3, ?4, ?5)");
    prepare(st.insertText,
            "INSERT INTO messageText(rowid, sender, recipients, subject, folder, attachments, body) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    prepare(st.countFolders, "SELECT count(*) FROM folders");
    prepare(st.countMessages, "SELECT count(*) FROM messages");
    prepare(st.hitRow,
            "SELECT f.fileName, m.dataOffset, m.fileTime, m.flags, m.hasAttachment, t.folder, "
            "t.sender, t.subject FROM messages m JOIN folders f ON f.id = m.folderId "
            "JOIN messageText t ON t.rowid = m.id WHERE m.id = ?1");
    // Markers are control characters, made visible later (see cleanSnippet). Most of a
    // snippet's cost is finding its row's matches; the subject's, made beside the body's
    // from the same ones, costs little more, as subjects are short.
    prepare(st.snippets,
            "SELECT snippet(messageText, 5, char(1), char(2), '…', 14), "
            "snippet(messageText, 2, char(1), char(2), '…', 14) "
            "FROM messageText WHERE messageText MATCH ?1 AND rowid = ?2");
    const std::string rankedWords = "SELECT rowid, " + RankSql +
                                    " AS r FROM messageText WHERE messageText MATCH ?1 "
                                    "ORDER BY r LIMIT ?2";
    prepare(st.rankedWords, rankedWords.c_str());
    // The same snippets for the rows among ?2 (a JSON array) while the query goes through
    // all of its matches between the first and the last of them once (see searchWords).
    prepare(st.snippetsAmongMatches,
            "SELECT rowid, CASE WHEN rowid IN (SELECT value FROM json_each(?2)) THEN "
            "snippet(messageText, 5, char(1), char(2), '…', 14) END, "
            "CASE WHEN rowid IN (SELECT value FROM json_each(?2)) THEN "
            "snippet(messageText, 2, char(1), char(2), '…', 14) END "
            "FROM messageText WHERE messageText MATCH ?1 AND rowid BETWEEN ?3 AND ?4");
    prepare(st.messageTime, "SELECT fileTime FROM messages WHERE id = ?1");
}

bool SearchIndex::isFolderCurrent(const std::string& fileName, std::uint64_t size,
                                  std::int64_t mtimeNs) {
    Statement& s = statements->findFolder;
    s.reset();
    s.bind(1, fileName);
    const int rc = s.step();
    check(rc, "read");
    const bool current = rc == SQLITE_ROW && static_cast<std::uint64_t>(s.integer(1)) == size &&
                         s.integer(2) == mtimeNs;
    s.reset();
    return current;
}

void SearchIndex::removeFolderRows(std::int64_t folderId) {
    for (Statement* s : {&statements->deleteFolderText, &statements->deleteFolderMessages}) {
        s->reset();
        s->bind(1, folderId);
        check(s->step(), "written");
        s->reset();
    }
}

void SearchIndex::beginFolder(const std::string& fileName, std::uint64_t size, std::int64_t mtimeNs) {
    if (inFolder) cancelFolder();
    exec("BEGIN IMMEDIATE");
    inFolder = true;
    try {
        Statements& st = *statements;
        st.upsertFolder.reset();
        st.upsertFolder.bind(1, fileName);
        st.upsertFolder.bind(2, static_cast<std::int64_t>(size));
        st.upsertFolder.bind(3, mtimeNs);
        check(st.upsertFolder.step(), "written");
        st.upsertFolder.reset();
        st.findFolder.reset();
        st.findFolder.bind(1, fileName);
        const int rc = st.findFolder.step();
        check(rc, "read");
        if (rc != SQLITE_ROW) fail("written", SQLITE_INTERNAL);
        currentFolderId = st.findFolder.integer(0);
        st.findFolder.reset();
        removeFolderRows(currentFolderId);
    } catch (...) {
        cancelFolder();
        throw;
    }
}

void SearchIndex::addDocument(const SearchDocument& d) {
    if (!inFolder) throw std::logic_error("SearchIndex::addDocument outside beginFolder/commitFolder");
    try {
        Statements& st = *statements;
        Statement& m = st.insertMessage;
        m.reset();
        m.bind(1, currentFolderId);
        m.bind(2, d.dataOffset);
        m.bind(3, static_cast<std::int64_t>(d.fileTime));
        m.bind(4, static_cast<std::int64_t>(d.flags));
        m.bind(5, std::int64_t{d.hasAttachment ? 1 : 0});
        check(m.step(), "written");
        m.reset();
        Statement& t = st.insertText;
        t.reset();
        t.bind(1, sqlite3_last_insert_rowid(database));
        t.bind(2, d.from);
        t.bind(3, d.to);
        t.bind(4, d.subject);
        t.bind(5, d.folderPath);
        t.bind(6, d.attachmentNames);
        t.bind(7, d.body);
        check(t.step(), "written");
        t.reset();
    } catch (...) {
        cancelFolder();
        throw;
    }
}

void SearchIndex::commitFolder() {
    if (!inFolder) throw std::logic_error("SearchIndex::commitFolder without beginFolder");
    const int rc = sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        cancelFolder();
        fail("written", rc);
    }
    inFolder = false;
    // A large folder leaves its whole text in the write-ahead log; moving it into the
    // index now keeps the log from staying as large as the index. A reader holding the
    // log open only delays this to a later commit.
    sqlite3_wal_checkpoint_v2(database, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

void SearchIndex::cancelFolder() {
    if (!inFolder) return;
    inFolder = false;
    if (database && !sqlite3_get_autocommit(database)) sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SearchIndex::replaceFolder(const std::string& fileName, std::uint64_t size, std::int64_t mtimeNs,
                                const std::vector<SearchDocument>& documents) {
    beginFolder(fileName, size, mtimeNs);
    for (const SearchDocument& d : documents) addDocument(d);
    commitFolder();
}

void SearchIndex::removeFoldersExcept(const std::set<std::string>& fileNames) {
    if (inFolder) throw std::logic_error("SearchIndex::removeFoldersExcept inside a folder");
    std::vector<std::int64_t> gone;
    Statement& list = statements->folderFileNames;
    list.reset();
    int rc;
    while ((rc = list.step()) == SQLITE_ROW)
        if (!fileNames.count(list.text(1))) gone.push_back(list.integer(0));
    list.reset();
    check(rc, "read");
    if (gone.empty()) return;
    exec("BEGIN IMMEDIATE");
    inFolder = true;
    try {
        for (std::int64_t id : gone) {
            removeFolderRows(id);
            Statement& del = statements->deleteFolder;
            del.reset();
            del.bind(1, id);
            check(del.step(), "written");
            del.reset();
        }
    } catch (...) {
        cancelFolder();
        throw;
    }
    inFolder = false;
    const int commit = sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
    if (commit != SQLITE_OK) {
        sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
        fail("written", commit);
    }
}

SearchIndexCounts SearchIndex::counts() {
    SearchIndexCounts c;
    for (auto [s, out] : {std::pair{&statements->countFolders, &c.folders},
                          std::pair{&statements->countMessages, &c.messages}}) {
        s->reset();
        const int rc = s->step();
        check(rc, "read");
        if (rc == SQLITE_ROW) *out = static_cast<std::size_t>(s->integer(0));
        s->reset();
    }
    return c;
}

namespace {

std::string fullMatch(const SearchQuery& query) {
    if (query.match.empty() || query.exclude.empty()) return query.match;
    return "(" + query.match + ") NOT (" + query.exclude + ")";
}

}  // namespace

SearchIndex::Statement SearchIndex::prepareQuery(const SearchQuery& query, const std::string& match,
                                                 bool countOnly) {
    const bool hasWords = !match.empty();
    const bool hasFilters = query.hasAttachment || query.after || query.before;
    // User text reaches SQL only as bound values; the statement's shape depends only on
    // which filters are present.
    std::string sql = countOnly ? "SELECT count(*)" : "SELECT m.id";
    if (hasWords && countOnly && !hasFilters) {
        // Every text row has its message row, so counting needs no look-up of either.
        sql += " FROM messageText WHERE messageText MATCH ?1";
    } else if (hasWords) {
        sql += " FROM messageText JOIN messages m ON m.id = messageText.rowid "
               "WHERE messageText MATCH ?1";
    } else {
        sql += " FROM messages m WHERE 1";
        if (!query.exclude.empty())
            sql += " AND m.id NOT IN (SELECT rowid FROM messageText WHERE messageText MATCH ?1)";
    }
    if (query.hasAttachment) sql += " AND m.hasAttachment = ?2";
    // Messages without a date pass no date filter.
    if (query.after) sql += " AND m.fileTime >= ?3 AND m.fileTime <> 0";
    if (query.before) sql += " AND m.fileTime < ?4 AND m.fileTime <> 0";
    if (!countOnly) {
        sql += hasWords ? std::string(" ORDER BY ") + RankSql + ", m.fileTime DESC, m.id DESC"
                        : " ORDER BY m.fileTime DESC, m.id DESC";
        sql += " LIMIT ?5";
    }
    Statement s(database, sql);
    check(s.prepareCode(), "searched");
    if (hasWords)
        s.bind(1, std::string_view(match));
    else if (!query.exclude.empty())
        s.bind(1, std::string_view(query.exclude));
    if (query.hasAttachment) s.bind(2, std::int64_t{*query.hasAttachment ? 1 : 0});
    constexpr std::uint64_t MaxTime = std::numeric_limits<std::int64_t>::max();
    if (query.after) s.bind(3, static_cast<std::int64_t>(std::min(*query.after, MaxTime)));
    if (query.before) s.bind(4, static_cast<std::int64_t>(std::min(*query.before, MaxTime)));
    return s;
}

std::size_t SearchIndex::countMatches(const SearchQuery& query) {
    const std::string match = fullMatch(query);  // bound, not copied: it must outlive s
    Statement s = prepareQuery(query, match, true);
    const int rc = s.step();
    check(rc, "searched");
    return rc == SQLITE_ROW ? static_cast<std::size_t>(s.integer(0)) : 0;
}

bool SearchIndex::readHit(std::int64_t id, SearchHit& h) {
    Statement& row = statements->hitRow;
    row.reset();
    row.bind(1, id);
    const int rc = row.step();
    check(rc, "read");
    if (rc != SQLITE_ROW) return false;
    h.fileName = row.text(0);
    h.dataOffset = row.integer(1);
    h.fileTime = static_cast<std::uint64_t>(row.integer(2));
    h.flags = static_cast<std::uint32_t>(row.integer(3));
    h.hasAttachment = row.integer(4) != 0;
    h.folderPath = truncated(row.text(5));
    h.from = truncated(row.text(6));
    h.subject = truncated(row.text(7));
    row.reset();
    return true;
}

// Ranking every match into a sort by rank, date and row costs most of a query that finds
// tens of thousands of messages; ranked alone in the full-text table, with no look-up of
// the message row per match, and cut to the best rows while they are ranked, it costs a
// fraction of that. The rank alone leaves ties undecided, and they are common (messages
// of the same length with the word as often), so more rows than wanted are asked for,
// which costs next to nothing: only when the last of them ties with the last one wanted
// may more of the same rank follow, and the query runs again for more rows until the tie
// ends. So the same messages come out as from the sort by rank, date and row.
//
// A snippet made on its own looks the query up for its one row, which is cheap for words
// but expands a prefix to all its words each time; for a prefix the snippets are made in
// one pass through the matches instead.
std::vector<SearchHit> SearchIndex::searchWords(const std::string& match, bool hasPrefixTerm,
                                                std::size_t limit) {
    struct Ranked {
        std::int64_t id = 0;
        double rank = 0;
        std::uint64_t fileTime = 0;
    };
    constexpr std::uint64_t MaxRows = std::numeric_limits<std::int64_t>::max();
    limit = static_cast<std::size_t>(std::min<std::uint64_t>(limit, MaxRows / 4));  // all there are
    std::uint64_t wanted = limit * std::uint64_t{2} + TieRows;
    std::vector<Ranked> rows;
    Statements& st = *statements;
    while (true) {
        rows.clear();
        Statement& s = st.rankedWords;
        s.reset();
        s.bind(1, std::string_view(match));
        s.bind(2, static_cast<std::int64_t>(wanted));
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            rows.push_back({s.integer(0), sqlite3_column_double(s.get(), 1), 0});
        s.reset();
        check(rc, "searched");
        if (rows.size() < wanted || rows[limit - 1].rank != rows.back().rank || wanted == MaxRows)
            break;
        wanted = wanted > MaxRows / 2 ? MaxRows : wanted * 2;
    }

    std::vector<Ranked> found;
    found.reserve(rows.size());
    for (Ranked& r : rows) {
        Statement& t = st.messageTime;
        t.reset();
        t.bind(1, r.id);
        const int rc = t.step();
        check(rc, "read");
        if (rc == SQLITE_ROW)
            found.push_back({r.id, r.rank, static_cast<std::uint64_t>(t.integer(0))});
        t.reset();
    }
    std::sort(found.begin(), found.end(), [](const Ranked& a, const Ranked& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.fileTime != b.fileTime) return a.fileTime > b.fileTime;
        return a.id > b.id;
    });
    if (found.size() > limit) found.resize(limit);

    std::vector<SearchHit> hits;
    hits.reserve(found.size());
    std::vector<std::int64_t> ids;
    for (const Ranked& r : found) {
        SearchHit h;
        if (!readHit(r.id, h)) continue;
        if (!hasPrefixTerm) h.snippet = rowSnippet(match, r.id);
        hits.push_back(std::move(h));
        ids.push_back(r.id);
    }
    if (hasPrefixTerm && !ids.empty()) {
        std::map<std::int64_t, std::string> snippets;
        std::string list = "[";
        for (std::int64_t id : ids) list += (list.size() > 1 ? "," : "") + std::to_string(id);
        list += ']';
        Statement& s = st.snippetsAmongMatches;
        s.reset();
        s.bind(1, std::string_view(match));
        s.bind(2, std::string_view(list));
        s.bind(3, *std::min_element(ids.begin(), ids.end()));
        s.bind(4, *std::max_element(ids.begin(), ids.end()));
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            if (sqlite3_column_type(s.get(), 1) != SQLITE_NULL)
                snippets[s.integer(0)] = pickSnippet(s.text(1), s.text(2));
        }
        s.reset();
        check(rc, "read");
        for (std::size_t i = 0; i < hits.size(); ++i) hits[i].snippet = std::move(snippets[ids[i]]);
    }
    return hits;
}

std::string SearchIndex::rowSnippet(const std::string& match, std::int64_t id) {
    Statement& s = statements->snippets;
    s.reset();
    s.bind(1, std::string_view(match));
    s.bind(2, id);
    const int rc = s.step();
    check(rc, "read");
    std::string out = rc == SQLITE_ROW ? pickSnippet(s.text(0), s.text(1)) : std::string();
    s.reset();
    return out;
}

std::vector<SearchHit> SearchIndex::search(const SearchQuery& query, std::size_t limit) {
    std::vector<SearchHit> hits;
    if (limit == 0) return hits;
    const std::string match = fullMatch(query);
    const bool hasWords = !match.empty();
    if (hasWords && !query.hasAttachment && !query.after && !query.before)
        return searchWords(match, query.hasPrefixTerm, limit);
    Statement s = prepareQuery(query, match, false);
    s.bind(5, static_cast<std::int64_t>(
                  std::min<std::uint64_t>(limit, std::numeric_limits<std::int64_t>::max())));

    std::vector<std::int64_t> ids;
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) ids.push_back(s.integer(0));
    check(rc, "searched");

    Statement bodyText;
    if (!hasWords) {
        bodyText = Statement(database, "SELECT body FROM messageText WHERE rowid = ?1");
        check(bodyText.prepareCode(), "read");
    }
    hits.reserve(ids.size());
    for (std::int64_t id : ids) {
        SearchHit h;
        if (!readHit(id, h)) continue;
        if (hasWords) {
            h.snippet = rowSnippet(match, id);
        } else {
            bodyText.reset();
            bodyText.bind(1, id);
            rc = bodyText.step();
            check(rc, "read");
            if (rc == SQLITE_ROW) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(bodyText.get(), 0));
                const auto n = static_cast<std::size_t>(sqlite3_column_bytes(bodyText.get(), 0));
                if (p) h.snippet = leadingWords(std::string_view(p, n), SnippetWords);
            }
            bodyText.reset();
        }
        hits.push_back(std::move(h));
    }
    return hits;
}

}  // namespace lumbrook
