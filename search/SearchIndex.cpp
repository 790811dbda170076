#include "search/SearchIndex.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
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
// 1: one word table holding a copy of every text. 2: a word table per folder
// without the texts, and the rows the list shows.
constexpr int SchemaVersion = 2;
constexpr int SnippetWords = 14;
constexpr std::size_t MaxHitTextBytes = 1024;
// How much of a hit's body and subject its snippet is looked for in: the texts of a
// screenful of hits are indexed again for their snippets, and a huge message must
// not make that take long.
constexpr std::size_t SnippetBodyBytes = 256 * 1024;
// The start of each body is kept in the index: most snippets are found in it, and
// reading a hit back from the store reads its attachments too.
constexpr std::size_t KeptBodyBytes = 1024;
constexpr std::size_t SnippetSubjectBytes = 512;
// SQLite's snippet() weighs every window at every match against every other match,
// so its work grows with the square of a message's matches; a message with more
// than this many gets the window at its first match in the body instead.
constexpr int SnippetMatchesScored = 64;
// How many matches are ranked at most: all of them up to this many, else each
// folder's newest, its share of them. A match of single words costs about a
// microsecond and a half to rank; one of a phrase of several words costs that for
// every message that holds its words, which for common words is almost every message
// looked at: those are ranked from fewer.
constexpr std::int64_t RankedWords = 20000;
constexpr std::int64_t RankedPhrases = 500;
// A prefix stands for all the words it starts, each looked up and merged.
constexpr std::int64_t RankedPrefixes = 5000;
// A folder's share is never fewer than this many.
constexpr std::int64_t RankedPerFolder = 100;
// How many of each phrase's messages are counted for how rare it is, at most (the same
// shares); beyond them its count is estimated from how far into the folder they reached.
constexpr std::int64_t CountedPerFolder = 200;
// The rowid of a message is its date in seconds shifted by this many bits, plus a
// number among the messages of that second: the word tables list matches newest
// last, so the newest are found without looking at the others.
constexpr int RowidSecondShift = 20;
// The word tables' columns; one more, "every", holds the same word in every row so
// that a query can reach each table's first row (see rankStatistics).
constexpr int WordColumns = 6;
constexpr const char* WordColumnSet = "{sender recipients subject folder attachments body}";
// What a hit shows and its snippet needs are kept apart from the messages' dates and
// filters (hitRows), so that a filter looks at a small table.

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
CREATE TABLE hitRows(
    id INTEGER PRIMARY KEY,
    folderPath TEXT NOT NULL,
    sender TEXT NOT NULL,
    recipients TEXT NOT NULL,
    subject TEXT NOT NULL,
    attachments TEXT NOT NULL,
    recordSubject BLOB NOT NULL,
    recordFrom BLOB NOT NULL,
    recordTo BLOB NOT NULL,
    entry91 INTEGER NOT NULL,
    recordOffset INTEGER NOT NULL,
    priority INTEGER NOT NULL,
    origin INTEGER NOT NULL,
    bodyStart TEXT NOT NULL,
    bodyCut INTEGER NOT NULL);
)sql";

const char* const Tokenizer = "tokenize = 'unicode61 remove_diacritics 2'";

std::string wordTableName(std::int64_t folderId) { return "words" + std::to_string(folderId); }

// Column weights for bm25 in the order of the columns: a word in the subject or the
// sender says more about the message than the same word somewhere in a long body.
constexpr double RankWeights[WordColumns] = {3.0, 1.5, 4.0, 1.0, 2.0, 1.0};

// The match expression of the user's query, kept off the column "every".
std::string userColumns(const std::string& match) {
    return std::string(WordColumnSet) + " : (" + match + ")";
}

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

// ---- Functions the word tables call for each matching row (SQLite's full-text
// extension interface).

// bm25 as SQLite's own, with the numbers that describe the whole index passed in:
// the index is a table per folder, and SQLite's bm25 would weigh each folder's rows by
// that folder alone. The argument is "averageLength idf0 idf1 ...", one idf per phrase.
struct RankData {
    double averageLength = 1;
    std::vector<double> idf;
    std::vector<double> frequency;
};

void rankFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* out, int argc,
                  sqlite3_value** argv) {
    auto* data = static_cast<RankData*>(api->xGetAuxdata(fts, 0));
    if (!data) {
        auto made = std::make_unique<RankData>();
        if (argc > 0) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
            char* end = nullptr;
            if (text) {
                made->averageLength = std::strtod(text, &end);
                for (const char* p = end; *p;) {
                    const double v = std::strtod(p, &end);
                    if (end == p) break;
                    made->idf.push_back(v);
                    p = end;
                }
            }
        }
        made->frequency.resize(made->idf.size());
        data = made.get();
        const int rc = api->xSetAuxdata(fts, made.release(),
                                        [](void* p) { delete static_cast<RankData*>(p); });
        if (rc != SQLITE_OK) {
            sqlite3_result_error_code(out, rc);
            return;
        }
    }
    constexpr double K1 = 1.2, B = 0.75;
    std::fill(data->frequency.begin(), data->frequency.end(), 0.0);
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    for (int i = 0; rc == SQLITE_OK && i < instances; ++i) {
        int phrase = 0, column = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
        if (rc == SQLITE_OK && column < WordColumns && phrase >= 0 &&
            static_cast<std::size_t>(phrase) < data->frequency.size())
            data->frequency[static_cast<std::size_t>(phrase)] += RankWeights[column];
    }
    int all = 0, every = 0;
    if (rc == SQLITE_OK) rc = api->xColumnSize(fts, -1, &all);
    if (rc == SQLITE_OK) rc = api->xColumnSize(fts, WordColumns, &every);
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(out, rc);
        return;
    }
    const double length = double(all - every);
    double score = 0;
    for (std::size_t i = 0; i < data->idf.size(); ++i) {
        const double f = data->frequency[i];
        score += data->idf[i] * ((f * (K1 + 1.0)) / (f + K1 * (1 - B + B * length / data->averageLength)));
    }
    sqlite3_result_double(out, -1.0 * score);
}

// For the first row only: how many rows of the table each phrase but the last (the
// word of "every") is found in, counted up to the cap given; a count that reached
// the cap comes with the rowid it reached. "count rowid count rowid ...".
// With a cap of 0, only how many phrases there are but the last, and how many words
// the longest of them has: "phrases words".
void countFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* out, int argc,
                   sqlite3_value** argv) {
    struct Count {
        std::int64_t rows = 0, cap = 0, reached = 0;
    };
    const std::int64_t cap = argc > 0 ? sqlite3_value_int64(argv[0]) : 0;
    std::string result;
    const int phrases = api->xPhraseCount(fts);
    if (cap <= 0) {  // only how many phrases there are, and the words of the longest
        int longest = 0;
        for (int i = 0; i + 1 < phrases; ++i) longest = std::max(longest, api->xPhraseSize(fts, i));
        result = std::to_string(phrases - 1) + ' ' + std::to_string(longest);
        sqlite3_result_text64(out, result.data(), result.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return;
    }
    for (int i = 0; i + 1 < phrases; ++i) {
        Count count{0, cap, 0};
        const int rc = api->xQueryPhrase(
            fts, i, &count, [](const Fts5ExtensionApi* a, Fts5Context* f, void* user) -> int {
                auto* c = static_cast<Count*>(user);
                if (++c->rows < c->cap) return SQLITE_OK;
                c->reached = a->xRowid(f);
                return SQLITE_DONE;
            });
        if (rc != SQLITE_OK) {
            sqlite3_result_error_code(out, rc);
            return;
        }
        result += std::to_string(count.rows) + ' ' + std::to_string(count.reached) + ' ';
    }
    sqlite3_result_text64(out, result.data(), result.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// The snippet of a column of a row with many matches: SnippetWords words from shortly
// before its first match, the matched words marked as snippet() marks them. NULL
// when the row has few enough matches for snippet() itself; "" when the column has
// none.
void manyMatchesSnippet(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* out, int argc,
                        sqlite3_value** argv) {
    const int column = argc > 0 ? sqlite3_value_int(argv[0]) : 0;
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(out, rc);
        return;
    }
    if (instances <= SnippetMatchesScored) {
        sqlite3_result_null(out);
        return;
    }
    // The matched tokens of the column, as [first, last] token ranges in order.
    std::vector<std::pair<int, int>> marked;
    for (int i = 0; rc == SQLITE_OK && i < instances; ++i) {
        int phrase = 0, col = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &col, &offset);
        if (rc == SQLITE_OK && col == column)
            marked.emplace_back(offset, offset + std::max(1, api->xPhraseSize(fts, phrase)) - 1);
    }
    if (rc != SQLITE_OK || marked.empty()) {
        if (rc != SQLITE_OK) sqlite3_result_error_code(out, rc);
        else sqlite3_result_text(out, "", 0, SQLITE_STATIC);
        return;
    }
    std::sort(marked.begin(), marked.end());
    const char* text = nullptr;
    int size = 0;
    rc = api->xColumnText(fts, column, &text, &size);
    if (rc != SQLITE_OK || !text) {
        sqlite3_result_error_code(out, rc == SQLITE_OK ? SQLITE_ERROR : rc);
        return;
    }
    struct Window {
        int first = 0, last = 0;  // tokens
        int token = 0;            // the one in hand
        int start = -1, end = 0;  // bytes
        bool more = false;        // tokens after the last
        std::vector<std::pair<int, int>> bytes;  // of each token in the window
    } w;
    w.first = std::max(0, marked.front().first - 2);
    w.last = w.first + SnippetWords - 1;
    rc = api->xTokenize(fts, text, size, &w,
                        [](void* user, int flags, const char*, int, int start, int end) -> int {
                            auto* win = static_cast<Window*>(user);
                            if (flags & FTS5_TOKEN_COLOCATED) return SQLITE_OK;
                            const int token = win->token++;
                            if (token < win->first) return SQLITE_OK;
                            if (token > win->last) {
                                win->more = true;
                                return SQLITE_DONE;
                            }
                            win->bytes.emplace_back(start, end);
                            return SQLITE_OK;
                        });
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        sqlite3_result_error_code(out, rc);
        return;
    }
    std::string snippet;
    if (w.first > 0) snippet += "…";
    std::size_t m = 0;
    int copied = w.bytes.empty() ? 0 : w.bytes.front().first;
    for (std::size_t i = 0; i < w.bytes.size(); ++i) {
        const int token = w.first + static_cast<int>(i);
        while (m < marked.size() && marked[m].second < token) ++m;
        const bool opens = m < marked.size() && marked[m].first <= token &&
                           (token == marked[m].first || token == w.first);
        const bool closes = m < marked.size() && marked[m].first <= token &&
                            (token == marked[m].second || i + 1 == w.bytes.size());
        snippet.append(text + copied, static_cast<std::size_t>(w.bytes[i].first - copied));
        if (opens) snippet += '\x01';
        snippet.append(text + w.bytes[i].first,
                       static_cast<std::size_t>(w.bytes[i].second - w.bytes[i].first));
        if (closes) snippet += '\x02';
        copied = w.bytes[i].second;
    }
    if (w.more) snippet += "…";
    sqlite3_result_text64(out, snippet.data(), snippet.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// Whether the row has a match in the column given.
void columnMatchesFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* out, int argc,
                           sqlite3_value** argv) {
    const int column = argc > 0 ? sqlite3_value_int(argv[0]) : 0;
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    for (int i = 0; rc == SQLITE_OK && i < instances; ++i) {
        int phrase = 0, col = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &col, &offset);
        if (rc == SQLITE_OK && col == column) {
            sqlite3_result_int(out, 1);
            return;
        }
    }
    if (rc != SQLITE_OK) sqlite3_result_error_code(out, rc);
    else sqlite3_result_int(out, 0);
}

bool registerFunctions(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &s, nullptr) != SQLITE_OK) return false;
    sqlite3_bind_pointer(s, 1, reinterpret_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(s);
    sqlite3_finalize(s);
    if (!api || api->iVersion < 2) return false;
    return api->xCreateFunction(api, "lbrank", nullptr, rankFunction, nullptr) == SQLITE_OK &&
           api->xCreateFunction(api, "lbcounts", nullptr, countFunction, nullptr) == SQLITE_OK &&
           api->xCreateFunction(api, "lbsnippet", nullptr, manyMatchesSnippet, nullptr) == SQLITE_OK &&
           api->xCreateFunction(api, "lbmatches", nullptr, columnMatchesFunction, nullptr) == SQLITE_OK;
}

// The averages record of a word table: its rows, and its tokens outside "every".
struct TableTotals {
    std::int64_t rows = 0;
    std::int64_t tokens = 0;
};

bool readVarint(const unsigned char*& p, const unsigned char* end, std::uint64_t& v) {
    v = 0;
    for (int i = 0; i < 9; ++i) {
        if (p == end) return false;
        const unsigned char b = *p++;
        if (i == 8) {
            v = (v << 8) | b;
            return true;
        }
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return true;
}

TableTotals decodeTotals(const void* blob, int size) {
    TableTotals t;
    const auto* p = static_cast<const unsigned char*>(blob);
    const unsigned char* end = p + std::max(0, size);
    std::uint64_t v = 0;
    if (!p || !readVarint(p, end, v)) return t;
    t.rows = static_cast<std::int64_t>(v);
    for (int c = 0; c < WordColumns && readVarint(p, end, v); ++c) t.tokens += static_cast<std::int64_t>(v);
    return t;
}

// The text cut to at most max bytes, not inside a UTF-8 sequence.
std::string_view utf8Prefix(std::string_view s, std::size_t max) {
    if (s.size() <= max) return s;
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    return s.substr(0, cut);
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
    Statement findFolder, upsertFolder, folderFileNames, deleteFolder, deleteFolderMessages,
        deleteFolderHitRows, insertHitRow, insertMessage, insertWords, countFolders, countMessages, hitRow, messageTime, lastInSecond,
        lastRowid, rowsUpTo, hitTexts, clearSnippetTexts, insertSnippetText, snippets, bodyOnly;
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
    if (code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW) return;
    if ((code & 0xFF) == SQLITE_INTERRUPT && cancelFlag && cancelFlag->load()) throw SearchCancelled();
    fail(what, code);
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

    if (!registerFunctions(database)) {
        close();
        throw SearchIndexError("The search index " + indexPath +
                               " cannot be used: SQLite lacks its full-text extension.");
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
    prepare(st.deleteFolderMessages, "DELETE FROM messages WHERE folderId = ?1");
    prepare(st.insertMessage,
            "INSERT INTO messages(id, folderId, dataOffset, fileTime, flags, hasAttachment) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    prepare(st.insertHitRow,
            "INSERT INTO hitRows(id, folderPath, sender, recipients, subject, attachments, recordSubject, "
            "recordFrom, recordTo, entry91, recordOffset, priority, origin, bodyStart, bodyCut) "
            "VALUES(?1, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)");
    prepare(st.deleteFolderHitRows,
            "DELETE FROM hitRows WHERE id IN (SELECT id FROM messages WHERE folderId = ?1)");
    prepare(st.countFolders, "SELECT count(*) FROM folders");
    prepare(st.countMessages, "SELECT count(*) FROM messages");
    prepare(st.hitRow,
            "SELECT f.fileName, m.dataOffset, m.fileTime, m.flags, m.hasAttachment, h.folderPath, "
            "h.sender, h.subject, h.recordSubject, h.recordFrom, h.recordTo, h.entry91, "
            "h.recordOffset, h.priority, h.origin "
            "FROM messages m JOIN folders f ON f.id = m.folderId JOIN hitRows h ON h.id = m.id "
            "WHERE m.id = ?1");
    prepare(st.messageTime, "SELECT fileTime FROM messages WHERE id = ?1");
    prepare(st.lastInSecond, "SELECT max(id) FROM messages WHERE id BETWEEN ?1 AND ?2");
    prepare(st.lastRowid, "SELECT max(id) FROM messages");
    prepare(st.rowsUpTo, "SELECT count(*) FROM messages WHERE folderId = ?1 AND id <= ?2");
    prepare(st.hitTexts, "SELECT h.sender, h.recipients, h.subject, h.folderPath, h.attachments, "
                         "h.bodyStart, h.bodyCut, m.folderId FROM hitRows h JOIN messages m ON m.id = h.id "
                         "WHERE h.id = ?1");
    // The texts of the hits in hand, indexed again for their snippets (see addSnippets).
    exec((std::string("CREATE VIRTUAL TABLE IF NOT EXISTS temp.hitText USING fts5("
                      "sender, recipients, subject, folder, attachments, body, ") +
          Tokenizer + ")").c_str());
    prepare(st.clearSnippetTexts, "DELETE FROM temp.hitText");
    prepare(st.insertSnippetText,
            "INSERT INTO temp.hitText(rowid, sender, recipients, subject, folder, attachments, body) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    // Markers are control characters, made visible later (see cleanSnippet).
    prepare(st.snippets,
            "SELECT rowid, coalesce(lbsnippet(hitText, 5), "
            "snippet(hitText, 5, char(1), char(2), '…', 14)), "
            "coalesce(lbsnippet(hitText, 2), snippet(hitText, 2, char(1), char(2), '…', 14)) "
            "FROM temp.hitText WHERE hitText MATCH ?1");
    prepare(st.bodyOnly, "SELECT rowid, body FROM temp.hitText");
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
    statements->insertWords = Statement();
    exec(("DROP TABLE IF EXISTS " + wordTableName(folderId)).c_str());
    for (Statement* s : {&statements->deleteFolderHitRows, &statements->deleteFolderMessages}) {
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
        // Without a copy of the texts (content=''): the words alone, a third of the
        // size; the prefix indexes make the words of two and three letters as quick to
        // find as whole words.
        const std::string table = wordTableName(currentFolderId);
        exec(("CREATE VIRTUAL TABLE " + table +
              " USING fts5(sender, recipients, subject, folder, attachments, body, every, "
              "content = '', prefix = '2 3', " + Tokenizer + ")").c_str());
        st.insertWords = Statement(database, "INSERT INTO " + table +
                                                 "(rowid, sender, recipients, subject, folder, "
                                                 "attachments, body, every) "
                                                 "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, 'x')");
        check(st.insertWords.prepareCode(), "written");
    } catch (...) {
        cancelFolder();
        throw;
    }
}

void SearchIndex::addDocument(const SearchDocument& d) {
    if (!inFolder) throw std::logic_error("SearchIndex::addDocument outside beginFolder/commitFolder");
    try {
        Statements& st = *statements;
        // The rowid tells the date (see RowidSecondShift); a folder's messages come in
        // date order, so each table's rows come in rowid order, which its index needs
        // to take them without writing a segment per row.
        const std::int64_t first = static_cast<std::int64_t>(d.fileTime / 10'000'000) << RowidSecondShift;
        const std::int64_t last = first + (std::int64_t{1} << RowidSecondShift) - 1;
        std::int64_t id = first == 0 ? 1 : first;
        Statement& q = st.lastInSecond;
        q.reset();
        q.bind(1, first);
        q.bind(2, last);
        int rc = q.step();
        check(rc, "read");
        if (rc == SQLITE_ROW && sqlite3_column_type(q.get(), 0) != SQLITE_NULL) id = q.integer(0) + 1;
        q.reset();
        if (id > last) {
            // A million messages of one second (undated ones can be): after all others.
            Statement& l = st.lastRowid;
            l.reset();
            rc = l.step();
            check(rc, "read");
            id = l.integer(0) + 1;
            l.reset();
        }
        Statement& row = st.insertMessage;
        row.reset();
        row.bind(1, id);
        row.bind(2, currentFolderId);
        row.bind(3, d.dataOffset);
        row.bind(4, static_cast<std::int64_t>(d.fileTime));
        row.bind(5, static_cast<std::int64_t>(d.flags));
        row.bind(6, std::int64_t{d.hasAttachment ? 1 : 0});
        check(row.step(), "written");
        row.reset();
        Statement& m = st.insertHitRow;
        m.reset();
        m.bind(1, id);
        m.bind(7, utf8Prefix(d.folderPath, MaxHitTextBytes));
        m.bind(8, utf8Prefix(d.from, MaxHitTextBytes));
        m.bind(9, utf8Prefix(d.to, MaxHitTextBytes));
        m.bind(10, utf8Prefix(d.subject, MaxHitTextBytes));
        m.bind(11, utf8Prefix(d.attachmentNames, MaxHitTextBytes));
        for (int i = 0; i < 3; ++i) {
            const std::string& v = i == 0 ? d.record.subject : i == 1 ? d.record.from : d.record.to;
            sqlite3_bind_blob64(m.get(), 12 + i, v.data(), v.size(), SQLITE_STATIC);
        }
        m.bind(15, std::int64_t{d.record.entry91});
        m.bind(16, std::int64_t{d.record.recordOffset});
        m.bind(17, std::int64_t{d.record.priority});
        m.bind(18, std::int64_t{static_cast<std::uint8_t>(d.record.origin)});
        const std::string_view bodyStart = utf8Prefix(d.body, KeptBodyBytes);
        m.bind(19, bodyStart);
        m.bind(20, std::int64_t{bodyStart.size() < d.body.size() ? 1 : 0});
        check(m.step(), "written");
        m.reset();
        Statement& t = st.insertWords;
        t.reset();
        t.bind(1, id);
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
    statements->insertWords = Statement();
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
    if (statements) statements->insertWords = Statement();
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

// The conditions of the filters on the message row m; the values are bound as ?4 to ?6.
std::string filterSql(const SearchQuery& query) {
    std::string sql;
    if (query.hasAttachment) sql += " AND m.hasAttachment = ?4";
    // Messages without a date pass no date filter.
    if (query.after) sql += " AND m.fileTime >= ?5 AND m.fileTime <> 0";
    if (query.before) sql += " AND m.fileTime < ?6 AND m.fileTime <> 0";
    return sql;
}

}  // namespace

// Stops a statement of the search in hand when its cancel flag is set: SQLite asks
// every hundred steps, and the statement ends with SQLITE_INTERRUPT.
class SearchIndex::CancelScope {
  public:
    CancelScope(SearchIndex& index, const std::atomic<bool>* cancel) : index(index) {
        index.cancelFlag = cancel;
        if (!cancel) return;
        sqlite3_progress_handler(
            index.database, 100,
            [](void* flag) -> int { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(cancel));
    }
    ~CancelScope() {
        if (index.database) sqlite3_progress_handler(index.database, 0, nullptr, nullptr);
        index.cancelFlag = nullptr;
    }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

  private:
    SearchIndex& index;
};

void SearchIndex::bindFilters(Statement& s, const SearchQuery& query) {
    if (query.hasAttachment) s.bind(4, std::int64_t{*query.hasAttachment ? 1 : 0});
    constexpr std::uint64_t MaxTime = std::numeric_limits<std::int64_t>::max();
    if (query.after) s.bind(5, static_cast<std::int64_t>(std::min(*query.after, MaxTime)));
    if (query.before) s.bind(6, static_cast<std::int64_t>(std::min(*query.before, MaxTime)));
}

std::vector<SearchIndex::WordTable> SearchIndex::wordTables() {
    std::vector<WordTable> tables;
    Statement& list = statements->folderFileNames;
    list.reset();
    int rc;
    while ((rc = list.step()) == SQLITE_ROW) tables.push_back({list.integer(0), wordTableName(list.integer(0)), 0, 0});
    list.reset();
    check(rc, "read");
    for (WordTable& t : tables) {
        Statement totals(database, "SELECT block FROM " + t.name + "_data WHERE id = 1");
        check(totals.prepareCode(), "read");
        rc = totals.step();
        check(rc, "read");
        if (rc == SQLITE_ROW) {
            const TableTotals read =
                decodeTotals(sqlite3_column_blob(totals.get(), 0), sqlite3_column_bytes(totals.get(), 0));
            t.rows = read.rows;
            t.tokens = read.tokens;
        }
    }
    return tables;
}

// How many phrases the query's words make, and how long the longest is (a probe of
// the first row of one table).
SearchIndex::QueryShape SearchIndex::shapeOf(const std::vector<WordTable>& tables,
                                             const std::string& positive) {
    QueryShape shape;
    for (const WordTable& t : tables) {
        if (t.rows == 0) continue;
        Statement s(database, "SELECT lbcounts(" + t.name + ", 0) FROM " + t.name + " WHERE " + t.name +
                                  " MATCH ?1 LIMIT 1");
        check(s.prepareCode(), "searched");
        const std::string probe = "(" + userColumns(positive) + ") OR every : x";
        s.bind(1, std::string_view(probe));
        const int rc = s.step();
        check(rc, "searched");
        if (rc == SQLITE_ROW) {
            const std::string text = s.text(0);
            char* end = nullptr;
            shape.phrases = static_cast<int>(std::strtol(text.c_str(), &end, 10));
            shape.longestPhrase = static_cast<int>(std::strtol(end, &end, 10));
        }
        break;
    }
    return shape;
}

// The numbers bm25 needs of the whole index, as rankFunction takes them: the average
// length of a message and how rare each phrase of the query is. SQLite's bm25 counts
// every message of every phrase, which for a phrase of two common words means checking
// the positions of both in almost every message; here each folder counts up to its
// share of counted, and a count that stops there is taken as that share of the
// messages it got through. Below that every count is exact, and so is the rank.
std::string SearchIndex::rankStatistics(const std::vector<WordTable>& tables, const std::string& match,
                                        const QueryShape& shape, std::int64_t counted) {
    std::int64_t rows = 0, tokens = 0;
    for (const WordTable& t : tables) {
        rows += t.rows;
        tokens += t.tokens;
    }
    char number[40];
    std::snprintf(number, sizeof number, "%.17g", rows > 0 ? double(tokens) / double(rows) : 1.0);
    std::string out = number;
    // With one phrase to match, how rare it is scales every rank alike and changes no
    // order: nothing is counted (the phrases of the words left out match nothing in
    // the rows ranked).
    if (shape.phrases == 1) return out + " 1";
    std::vector<double> found;
    const std::string reachEveryRow = "(" + userColumns(match) + ") OR every : x";
    for (const WordTable& t : tables) {
        if (t.rows == 0) continue;
        const std::int64_t cap = std::max<std::int64_t>(CountedPerFolder, counted * t.rows / std::max<std::int64_t>(1, rows));
        Statement s(database, "SELECT lbcounts(" + t.name + ", ?2) FROM " + t.name + " WHERE " + t.name +
                                  " MATCH ?1 LIMIT 1");
        check(s.prepareCode(), "searched");
        s.bind(1, std::string_view(reachEveryRow));
        s.bind(2, cap);
        const int rc = s.step();
        check(rc, "searched");
        if (rc != SQLITE_ROW) continue;
        const std::string counts = s.text(0);
        s = Statement();
        const char* p = counts.c_str();
        for (std::size_t phrase = 0; *p; ++phrase) {
            char* end = nullptr;
            const double count = double(std::strtoll(p, &end, 10));
            const std::int64_t reached = std::strtoll(end, &end, 10);
            p = end;
            while (*p == ' ') ++p;
            double n = count;
            if (reached != 0) {
                Statement& upTo = statements->rowsUpTo;
                upTo.reset();
                upTo.bind(1, t.folderId);
                upTo.bind(2, reached);
                check(upTo.step(), "searched");
                const double seen = double(std::max<std::int64_t>(1, upTo.integer(0)));
                upTo.reset();
                n = std::min(double(t.rows), count * double(t.rows) / seen);
            }
            if (found.size() <= phrase) found.resize(phrase + 1, 0.0);
            found[phrase] += n;
        }
    }
    for (double n : found) {
        double idf = std::log((double(rows) - n + 0.5) / (n + 0.5));
        if (idf <= 0.0) idf = 1e-6;
        std::snprintf(number, sizeof number, " %.17g", idf);
        out += number;
    }
    return out;
}

std::size_t SearchIndex::countMatches(const SearchQuery& query, const std::atomic<bool>* cancel) {
    CancelScope scope(*this, cancel);
    const std::string match = fullMatch(query);
    const bool hasFilters = query.hasAttachment || query.after || query.before;
    const std::vector<WordTable> tables = wordTables();
    std::size_t total = 0;
    if (match.empty()) {
        Statement s = filterStatement(query, tables, true);
        const int rc = s.step();
        check(rc, "searched");
        return rc == SQLITE_ROW ? static_cast<std::size_t>(s.integer(0)) : 0;
    }
    const std::string words = userColumns(match);
    for (const WordTable& t : tables) {
        if (t.rows == 0) continue;
        std::string sql = "SELECT count(*) FROM " + t.name;
        if (hasFilters) sql += " JOIN messages m ON m.id = " + t.name + ".rowid";
        sql += " WHERE " + t.name + " MATCH ?1" + filterSql(query);
        Statement s(database, sql);
        check(s.prepareCode(), "searched");
        s.bind(1, std::string_view(words));
        bindFilters(s, query);
        const int rc = s.step();
        check(rc, "searched");
        if (rc == SQLITE_ROW) total += static_cast<std::size_t>(s.integer(0));
    }
    return total;
}

// Messages without words to match: the filters on the message rows, the words left
// out looked up in every folder's table.
SearchIndex::Statement SearchIndex::filterStatement(const SearchQuery& query,
                                                    const std::vector<WordTable>& tables, bool countOnly) {
    std::string sql = countOnly ? "SELECT count(*)" : "SELECT m.id";
    sql += " FROM messages m WHERE 1";
    if (!query.exclude.empty()) {
        std::string excluded;
        for (const WordTable& t : tables) {
            if (!excluded.empty()) excluded += " UNION ALL ";
            excluded += "SELECT rowid FROM " + t.name + " WHERE " + t.name + " MATCH ?1";
        }
        if (!excluded.empty()) sql += " AND m.id NOT IN (" + excluded + ")";
    }
    sql += filterSql(query);
    if (!countOnly) sql += " ORDER BY m.fileTime DESC, m.id DESC LIMIT ?2";
    Statement s(database, sql);
    check(s.prepareCode(), "searched");
    excludedWords = userColumns(query.exclude);  // bound, not copied: it must outlive s
    if (!query.exclude.empty()) s.bind(1, std::string_view(excludedWords));
    bindFilters(s, query);
    return s;
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
    h.folderPath = row.text(5);
    h.from = row.text(6);
    h.subject = row.text(7);
    auto blob = [&](int col) {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(row.get(), col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(row.get(), col)))
                 : std::string();
    };
    MessageInfo& r = h.record;
    r.date = h.fileTime;
    r.subject = blob(8);
    r.from = blob(9);
    r.to = blob(10);
    r.entry91 = static_cast<std::int32_t>(row.integer(11));
    r.dataOffset = h.dataOffset;
    r.recordOffset = static_cast<std::int32_t>(row.integer(12));
    r.flags = h.flags;
    r.priority = static_cast<std::uint32_t>(row.integer(13));
    const std::int64_t origin = row.integer(14);
    r.origin = origin == 1 ? MessageOrigin::Orphaned : origin == 2 ? MessageOrigin::Deleted : MessageOrigin::Listed;
    row.reset();
    return true;
}

// Every folder's matches are ranked in its own table. Beyond the cut (RankedWords,
// RankedPrefixes, RankedPhrases) each folder ranks its share of the newest (the rowids follow the
// dates, so the table hands them out newest first and stops there): a word found in
// almost every message costs no more than one found in twenty thousand. Below the cut
// every match is ranked, by bm25 with the numbers of the whole index, so the order is
// SQLite's bm25 over all matches, then newest first, then the later row.
std::vector<SearchHit> SearchIndex::searchWords(const SearchQuery& query, const std::string& match,
                                                std::size_t limit) {
    struct Ranked {
        std::int64_t id = 0;
        double rank = 0;
        std::uint64_t fileTime = 0;
    };
    const std::vector<WordTable> tables = wordTables();
    std::int64_t rows = 0;
    for (const WordTable& t : tables) rows += t.rows;
    const QueryShape shape = shapeOf(tables, query.match);
    const std::int64_t ranked = shape.longestPhrase > 1 ? RankedPhrases
                                : query.hasPrefixTerm    ? RankedPrefixes
                                                         : RankedWords;
    const std::string statistics = rankStatistics(tables, match, shape, ranked);
    const std::string words = userColumns(match);
    const bool hasFilters = query.hasAttachment || query.after || query.before;
    // Words alone are counted quickly (no positions to compare): up to the cut, every
    // match is ranked, whichever folders hold them.
    bool rankAll = false;
    if (shape.longestPhrase <= 1) {
        std::int64_t matches = 0;
        for (const WordTable& t : tables) {
            if (t.rows == 0 || matches > ranked) continue;
            std::string sql = "SELECT count(*) FROM (SELECT 1 FROM " + t.name;
            if (hasFilters) sql += " JOIN messages m ON m.id = " + t.name + ".rowid";
            sql += " WHERE " + t.name + " MATCH ?1" + filterSql(query) + " LIMIT ?2)";
            Statement c(database, sql);
            check(c.prepareCode(), "searched");
            c.bind(1, std::string_view(words));
            c.bind(2, ranked - matches + 1);
            bindFilters(c, query);
            const int rc = c.step();
            check(rc, "searched");
            if (rc == SQLITE_ROW) matches += c.integer(0);
        }
        rankAll = matches <= ranked;
    }
    std::vector<Ranked> found;
    for (const WordTable& t : tables) {
        if (t.rows == 0) continue;
        // Never fewer than were asked for: a long list is ranked whole.
        const std::int64_t share =
            rankAll ? -1
                    : std::max<std::int64_t>(
                          {RankedPerFolder, ranked * t.rows / std::max<std::int64_t>(1, rows),
                           static_cast<std::int64_t>(std::min<std::uint64_t>(limit, std::numeric_limits<std::int64_t>::max()))});
        std::string sql = "SELECT " + t.name + ".rowid, lbrank(" + t.name + ", ?2) FROM " + t.name;
        if (hasFilters) sql += " JOIN messages m ON m.id = " + t.name + ".rowid";
        sql += " WHERE " + t.name + " MATCH ?1" + filterSql(query) + " ORDER BY " + t.name +
               ".rowid DESC LIMIT ?3";
        Statement s(database, sql);
        check(s.prepareCode(), "searched");
        s.bind(1, std::string_view(words));
        s.bind(2, std::string_view(statistics));
        s.bind(3, share);
        bindFilters(s, query);
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            found.push_back({s.integer(0), sqlite3_column_double(s.get(), 1), 0});
        check(rc, "searched");
    }
    // Only the rows that can be among the first limit need their dates: those ranked
    // as well as the limit-th or better.
    if (found.size() > limit && limit > 0) {
        std::nth_element(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(limit - 1), found.end(),
                         [](const Ranked& a, const Ranked& b) { return a.rank < b.rank; });
        const double last = found[limit - 1].rank;
        found.erase(std::remove_if(found.begin(), found.end(), [last](const Ranked& r) { return r.rank > last; }),
                    found.end());
    }
    for (Ranked& r : found) {
        Statement& t = statements->messageTime;
        t.reset();
        t.bind(1, r.id);
        const int rc = t.step();
        check(rc, "read");
        if (rc == SQLITE_ROW) r.fileTime = static_cast<std::uint64_t>(t.integer(0));
        t.reset();
    }
    auto better = [](const Ranked& a, const Ranked& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.fileTime != b.fileTime) return a.fileTime > b.fileTime;
        return a.id > b.id;
    };
    if (found.size() > limit) {
        std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(limit), found.end(), better);
        found.resize(limit);
    } else {
        std::sort(found.begin(), found.end(), better);
    }
    std::vector<SearchHit> hits;
    hits.reserve(found.size());
    hitIds.clear();
    for (const Ranked& r : found) {
        SearchHit h;
        if (!readHit(r.id, h)) continue;
        hits.push_back(std::move(h));
        hitIds.push_back(r.id);
    }
    return hits;
}

std::vector<SearchHit> SearchIndex::searchFilters(const SearchQuery& query, std::size_t limit) {
    Statement s = filterStatement(query, wordTables(), false);
    s.bind(2, static_cast<std::int64_t>(std::min<std::uint64_t>(limit, std::numeric_limits<std::int64_t>::max())));
    std::vector<std::int64_t> ids;
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) ids.push_back(s.integer(0));
    check(rc, "searched");
    std::vector<SearchHit> hits;
    hitIds.clear();
    for (std::int64_t id : ids) {
        SearchHit h;
        if (!readHit(id, h)) continue;
        hits.push_back(std::move(h));
        hitIds.push_back(id);
    }
    return hits;
}

// The snippets of the hits in hand: their texts go into a small table of their own,
// where SQLite's snippet() finds the matches as it found them in the index; a message
// with very many matches gets the window at its first one instead (see
// manyMatchesSnippet). The body is the start the index keeps; only a body cut there
// whose start shows no match is read back from the store (up to SnippetBodyBytes).
void SearchIndex::addSnippets(const std::string& match, std::vector<SearchHit>& hits,
                              const HitBodyText& bodyText) {
    Statements& st = *statements;
    struct Texts {
        std::string sender, recipients, subject, folder, attachments, body;
        bool cut = false;
        std::int64_t folderId = 0;
        bool read = false;  // body read back from the store
    };
    std::vector<Texts> texts(hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) {
        Statement& q = st.hitTexts;
        q.reset();
        q.bind(1, hitIds[i]);
        const int rc = q.step();
        check(rc, "read");
        if (rc == SQLITE_ROW) {
            texts[i] = {q.text(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5), q.integer(6) != 0,
                        q.integer(7)};
        }
        q.reset();
    }
    std::vector<bool> made(hits.size(), false), matched(hits.size(), false);
    // Puts the hits of which is into the table and makes their snippets.
    auto snippetsOf = [&](const std::vector<std::size_t>& which) {
        st.clearSnippetTexts.reset();
        check(st.clearSnippetTexts.step(), "searched");
        st.clearSnippetTexts.reset();
        for (std::size_t i : which) {
            const Texts& t = texts[i];
            Statement& insert = st.insertSnippetText;
            insert.reset();
            insert.bind(1, static_cast<std::int64_t>(i + 1));
            insert.bind(2, t.sender);
            insert.bind(3, t.recipients);
            insert.bind(4, utf8Prefix(t.subject, SnippetSubjectBytes));
            insert.bind(5, t.folder);
            insert.bind(6, t.attachments);
            insert.bind(7, utf8Prefix(t.body, SnippetBodyBytes));
            check(insert.step(), "searched");
            insert.reset();
        }
        if (match.empty()) return;
        Statement& s = st.snippets;
        s.reset();
        s.bind(1, std::string_view(match));
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            const auto i = static_cast<std::size_t>(s.integer(0) - 1);
            if (i >= hits.size()) continue;
            const std::string body = s.text(1);
            hits[i].snippet = pickSnippet(body, s.text(2));
            // A cut body without a match in its start may have one further on.
            made[i] = !texts[i].cut || texts[i].read || body.find('\x01') != std::string::npos;
            matched[i] = true;
        }
        s.reset();
        check(rc, "searched");
    };
    std::vector<std::size_t> all(hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) all[i] = i;
    snippetsOf(all);
    std::vector<std::size_t> again;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        if (made[i] || !texts[i].cut || match.empty() || !bodyText) continue;
        // Read back only a body the index found the match in (not one that matched by
        // its subject alone, say): most of a message with attachments is them.
        const std::string table = wordTableName(texts[i].folderId);
        Statement inBody(database, "SELECT lbmatches(" + table + ", 5) FROM " + table + " WHERE " + table +
                                       " MATCH ?1 AND rowid = ?2");
        check(inBody.prepareCode(), "searched");
        const std::string words = userColumns(match);
        inBody.bind(1, std::string_view(words));
        inBody.bind(2, hitIds[i]);
        const int rc = inBody.step();
        check(rc, "searched");
        if (rc != SQLITE_ROW || inBody.integer(0) == 0) continue;
        inBody = Statement();
        try {
            texts[i].body = bodyText(hits[i]);
            texts[i].read = true;
            again.push_back(i);
        } catch (const std::exception&) {
            // Unreadable now: the start the index keeps stands for it.
        }
    }
    if (!again.empty()) snippetsOf(again);
    // No match in what was looked at (a filter alone, or a match beyond the part of a
    // huge body read): the body's first words.
    for (std::size_t i = 0; i < hits.size(); ++i)
        if (!made[i] && !matched[i])
            hits[i].snippet = leadingWords(utf8Prefix(texts[i].body, SnippetBodyBytes), SnippetWords);
}

std::vector<SearchHit> SearchIndex::search(const SearchQuery& query, std::size_t limit,
                                           bool withSnippets, const HitBodyText& bodyText,
                                           const std::atomic<bool>* cancel) {
    std::vector<SearchHit> hits;
    if (limit == 0) return hits;
    CancelScope scope(*this, cancel);
    const std::string match = fullMatch(query);
    hits = match.empty() ? searchFilters(query, limit) : searchWords(query, match, limit);
    if (withSnippets) addSnippets(query.match, hits, bodyText);
    return hits;
}

}  // namespace lumbrook
