#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "search/SearchIndex.h"
#include "search/SearchQuery.h"
#include "tests/support/RecordTestSupport.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "lumbrook-search-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("mkdtemp");
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

SearchDocument doc(const std::string& file, std::int64_t offset, std::uint64_t time,
                   const std::string& from, const std::string& to, const std::string& subject,
                   const std::string& body, bool attachment = false, const std::string& names = "") {
    SearchDocument d;
    d.folderPath = file == "Inbox.dbx" ? "Local Folders/Inbox" : "Local Folders/Projects";
    d.fileName = file;
    d.dataOffset = offset;
    d.fileTime = time;
    d.from = from;
    d.to = to;
    d.subject = subject;
    d.hasAttachment = attachment;
    d.attachmentNames = names;
    d.body = body;
    return d;
}

// Each message is named by its data offset.
std::vector<SearchDocument> inbox() {
    return {
        doc("Inbox.dbx", 1, test::fileTimeUtc(2004, 3, 14, 23, 59, 59), "Alice Smith <alice@example.com>",
            "Bob <bob@example.com>", "Quarterly report",
            "Here is the quarterly report you asked for. The numbers look good."),
        doc("Inbox.dbx", 2, test::fileTimeUtc(2004, 3, 15), "Bob <bob@example.com>", "Alice <alice@example.com>",
            "Re: Quarterly report", "Thanks, the report arrived. See you at the meeting on Friday.",
            true, "numbers.xls"),
        doc("Inbox.dbx", 3, test::fileTimeUtc(2004, 3, 16, 12), "Jürgen Müller <jm@example.de>",
            "Alice <alice@example.com>", "Grüße aus Köln",
            "Viele Grüße, MÜLLER. PS: the meeting moved to Monday."),
        doc("Inbox.dbx", 4, 0, "Carol <carol@example.com>", "Bob <bob@example.com>",
            "Holiday pictures", "Pictures from the beach, enjoy! Photography is my hobby.", true,
            "beach.jpg"),
        doc("Inbox.dbx", 5, test::fileTimeUtc(2005, 1, 1), "Dave <dave@example.com>", "Alice <alice@example.com>",
            "Weird \"quoted\" NEAR(subject) AND stuff",
            "Column: value OR other * star {braces} ^caret -minus \"quote\" NOT here"),
    };
}

std::vector<SearchDocument> projects() {
    return {
        doc("Projects.dbx", 11, test::fileTimeUtc(2006, 6, 1), "Alice Smith <alice@example.com>",
            "Team <team@example.com>", "Project plan", "The plan for the new bridge project."),
        doc("Projects.dbx", 12, test::fileTimeUtc(2006, 6, 2), "Erin <erin@example.com>", "Team <team@example.com>",
            "Budget", "Budget numbers for the bridge. Report follows."),
    };
}

void setUserVersion(const std::string& path, int version) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, ("PRAGMA user_version = " + std::to_string(version)).c_str(), nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

std::set<std::int64_t> offsets(const std::vector<SearchHit>& hits) {
    std::set<std::int64_t> out;
    for (const auto& h : hits) out.insert(h.dataOffset);
    return out;
}

class SearchIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        index_ = std::make_unique<SearchIndex>(dir_ / "index.sqlite");
        index_->replaceFolder("Inbox.dbx", 1000, 1, inbox());
        index_->replaceFolder("Projects.dbx", 2000, 2, projects());
    }
    std::set<std::int64_t> find(const std::string& q) {
        return offsets(index_->search(parseSearchQuery(q), 100));
    }
    // The bodies as the store would give them back for snippets.
    HitBodyText bodies() const {
        return [](const SearchHit& hit) {
            for (const auto& folder : {inbox(), projects()})
                for (const SearchDocument& d : folder)
                    if (d.fileName == hit.fileName && d.dataOffset == hit.dataOffset) return d.body;
            return std::string();
        };
    }

    TempDir dir_;
    std::unique_ptr<SearchIndex> index_;
};

TEST_F(SearchIndexTest, EveryQueryFormFindsExactlyItsMessages) {
    const struct {
        const char* query;
        std::set<std::int64_t> expected;
    } cases[] = {
        {"report", {1, 2, 12}},
        {"quarterly report", {1, 2}},
        {"REPORT numbers", {1, 2, 12}},  // 2 by its attachment numbers.xls
        {"\"report you asked\"", {1}},
        {"\"you report\"", {}},
        {"photo*", {4}},
        {"pic*", {4}},
        {"\"quarterly rep\"*", {1, 2}},
        {"friday OR monday", {2, 3}},
        {"meeting friday OR monday", {2, 3}},
        {"bridge -budget", {11}},
        {"report -\"numbers look\"", {2, 12}},
        {"report -from:bob", {1, 12}},
        {"from:alice", {1, 11}},
        {"FROM:Alice", {1, 11}},
        {"to:alice", {2, 3, 5}},
        {"subject:report", {1, 2}},
        {"subject:\"quarterly report\"", {1, 2}},
        {"subject:quart*", {1, 2}},
        {"folder:projects", {11, 12}},
        {"folder:inbox report", {1, 2}},
        {"has:attachment", {2, 4}},
        {"-has:attachment report", {1, 12}},
        {"has:attachment report", {2}},
        {"beach.jpg", {4}},
        {"alice@example.com", {1, 2, 3, 5, 11}},
        // Accents and case fold both ways.
        {"muller", {3}},
        {"subject:koln", {3}},
        {"from:müller", {3}},
        {"GRUSSE", {}},  // ß is its own letter, not "ss"
        {"grüße", {3}},
        {"köln OR projekt", {3}},
        // FTS syntax in words is only text.
        {"NEAR(subject)", {5}},
        {"\"quoted\"", {5}},
        {"AND", {5}},
        {"NOT here", {5}},
        {"{braces}", {5}},
        {"^caret", {5}},
        {"column:", {5}},
        {"a\"b", {}},
        {"star *x", {}},
        {"report !!!", {1, 2, 12}},
        // Exclusions alone list everything else.
        {"-report", {3, 4, 5, 11}},
        {"-report -has:attachment", {3, 5, 11}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find(c.query), c.expected) << c.query;
        EXPECT_EQ(index_->countMatches(parseSearchQuery(c.query)), c.expected.size()) << c.query;
    }
}

TEST_F(SearchIndexTest, DateFiltersCutAtLocalMidnight) {
    const struct {
        const char* query;
        std::set<std::int64_t> expected;
    } cases[] = {
        // 1 is at 23:59:59 on the 14th, 2 at 00:00:00 on the 15th.
        {"before:2004-03-15", {1}},
        {"after:2004-03-15 before:2005-01-01", {2, 3}},
        {"after:2004-03-14 before:2004-03-15", {1}},
        {"after:2004-03-16", {3, 5, 11, 12}},  // 4 has no date and passes no date filter
        {"report after:2004-03-15", {2, 12}},
        {"-before:2006-06-02", {12}},
        {"-after:2004-03-15", {1}},
        {"after:2004-01-01 after:2004-03-16 before:2006-06-02 before:2007-01-01", {3, 5, 11}},
    };
    for (const auto& c : cases) EXPECT_EQ(find(c.query), c.expected) << c.query;
}

TEST_F(SearchIndexTest, HitsCarryTheMessageAndAMarkedSnippet) {
    auto hits = index_->search(parseSearchQuery("meeting"), 10, true, bodies());
    ASSERT_EQ(hits.size(), 2u);
    const SearchHit& h = hits[0].dataOffset == 2 ? hits[0] : hits[1];
    EXPECT_EQ(h.fileName, "Inbox.dbx");
    EXPECT_EQ(h.folderPath, "Local Folders/Inbox");
    EXPECT_EQ(h.fileTime, test::fileTimeUtc(2004, 3, 15));
    EXPECT_EQ(h.from, "Bob <bob@example.com>");
    EXPECT_EQ(h.subject, "Re: Quarterly report");
    EXPECT_TRUE(h.hasAttachment);
    EXPECT_NE(h.snippet.find("at the [meeting] on Friday"), std::string::npos) << h.snippet;

    // Only the subject matches: its snippet is shown; accents stay as written.
    hits = index_->search(parseSearchQuery("koln"), 10, true, bodies());
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].snippet, "Grüße aus [Köln]");

    // Subject weighs more than body; equal rank goes newest first; the limit holds.
    hits = index_->search(parseSearchQuery("report"), 10);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_NE(hits[2].dataOffset, 1);
    EXPECT_EQ(index_->search(parseSearchQuery("report"), 1).size(), 1u);
    hits = index_->search(parseSearchQuery("-zzz"), 3, true, bodies());
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[0].dataOffset, 12);
    EXPECT_EQ(hits[1].dataOffset, 11);
    EXPECT_EQ(hits[0].snippet, "Budget numbers for the bridge. Report follows.");
}

// Many messages of exactly the same rank, more than a search ranks beyond its limit:
// the limit keeps the best one and then the newest of the tied, for words as for prefixes.
TEST(SearchIndexRanking, TiesAtTheLimitKeepTheNewest) {
    TempDir dir;
    SearchIndex index(dir / "index.sqlite");
    constexpr int Tied = 150;
    std::vector<SearchDocument> docs;
    std::vector<std::int64_t> newestFirst(Tied);
    for (int i = 0; i < Tied; ++i) {
        // Dates in another order than the rows, so that neither alone decides.
        const int day = i * 37 % Tied;
        newestFirst[static_cast<std::size_t>(Tied - 1 - day)] = i + 1;
        docs.push_back(doc("Inbox.dbx", i + 1, test::fileTimeUtc(2000, 1, 1) + day * 864000000000ull, "Ann",
                           "Bob", "same", "tied words here"));
    }
    docs.push_back(
        doc("Inbox.dbx", 1000, test::fileTimeUtc(1999, 1, 1), "Ann", "Bob", "tied", "tied words here"));
    index.replaceFolder("Inbox.dbx", 1, 1, docs);
    for (const char* query : {"tied", "tie*"}) {
        for (std::size_t limit : {2u, 70u, 500u}) {
            std::vector<std::int64_t> expected{1000};
            for (std::size_t i = 0; expected.size() < std::min<std::size_t>(limit, Tied + 1); ++i)
                expected.push_back(newestFirst[i]);
            std::vector<std::int64_t> got;
            for (const SearchHit& h : index.search(parseSearchQuery(query), limit))
                got.push_back(h.dataOffset);
            EXPECT_EQ(got, expected) << query << " limit " << limit;
        }
    }
}

TEST_F(SearchIndexTest, FoldersAreReplacedAndRemovedWhole) {
    EXPECT_TRUE(index_->isFolderCurrent("Inbox.dbx", 1000, 1));
    EXPECT_FALSE(index_->isFolderCurrent("Inbox.dbx", 1000, 2));
    EXPECT_FALSE(index_->isFolderCurrent("Inbox.dbx", 1001, 1));
    EXPECT_FALSE(index_->isFolderCurrent("Sent.dbx", 1000, 1));
    EXPECT_EQ(index_->counts().folders, 2u);
    EXPECT_EQ(index_->counts().messages, 7u);

    // A new version of the folder replaces all of the old one.
    index_->replaceFolder("Inbox.dbx", 1500, 3,
                          {doc("Inbox.dbx", 21, test::fileTimeUtc(2007, 1, 1), "Zed", "Alice", "Fresh",
                               "Only the new report is here.")});
    EXPECT_TRUE(index_->isFolderCurrent("Inbox.dbx", 1500, 3));
    EXPECT_EQ(find("report"), (std::set<std::int64_t>{12, 21}));
    EXPECT_EQ(index_->counts().messages, 3u);

    // An update left unfinished leaves the previous one in place.
    index_->beginFolder("Inbox.dbx", 1600, 4);
    index_->addDocument(doc("Inbox.dbx", 31, 0, "", "", "Half", "report written halfway"));
    index_->cancelFolder();
    EXPECT_TRUE(index_->isFolderCurrent("Inbox.dbx", 1500, 3));
    EXPECT_EQ(find("report"), (std::set<std::int64_t>{12, 21}));

    // The same without cancelling, by closing the index in the middle.
    index_->beginFolder("Inbox.dbx", 1600, 4);
    index_->addDocument(doc("Inbox.dbx", 31, 0, "", "", "Half", "report written halfway"));
    index_ = std::make_unique<SearchIndex>(dir_ / "index.sqlite");
    EXPECT_FALSE(index_->wasRebuilt());
    EXPECT_TRUE(index_->isFolderCurrent("Inbox.dbx", 1500, 3));
    EXPECT_EQ(find("report"), (std::set<std::int64_t>{12, 21}));

    index_->removeFoldersExcept({"Inbox.dbx", "Other.dbx"});
    EXPECT_EQ(find("report"), (std::set<std::int64_t>{21}));
    EXPECT_EQ(index_->counts().folders, 1u);
    EXPECT_EQ(index_->counts().messages, 1u);
    EXPECT_FALSE(index_->isFolderCurrent("Projects.dbx", 2000, 2));
}

TEST(SearchIndexFile, AnUnusableFileIsReplacedByAnEmptyIndex) {
    TempDir dir;
    const std::string path = dir / "deep/er/index.sqlite";  // directories are made
    {
        SearchIndex index(path);
        EXPECT_FALSE(index.wasRebuilt());
        std::vector<SearchDocument> many;
        for (int i = 0; i < 400; ++i)
            many.push_back(doc("Inbox.dbx", i, test::fileTimeUtc(2004, 1, 1), "x", "y", "subject",
                               "report " + std::to_string(i) + std::string(2000, 'w')));
        index.replaceFolder("Inbox.dbx", 1, 1, many);
    }
    const auto size = fs::file_size(path);
    ASSERT_GT(size, 100000u);

    const std::string garbage(5000, '\x5A');
    std::string ourHeader(100, '\0');
    std::ifstream(path, std::ios::binary).read(ourHeader.data(), 100);
    // Only a file whose header names us is ours to empty; any other stays as it is.
    const struct {
        const char* what;
        std::string bytes;
        bool ours;
    } cases[] = {
        {"garbage", garbage, false},
        {"another database's header", std::string("SQLite format 3\0", 16) + garbage, false},
        {"ours, damaged", ourHeader + garbage, true},
        {"empty", "", true},
    };
    for (const auto& c : cases) {
        { std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes; }
        if (!c.ours) {
            EXPECT_THROW(SearchIndex{path}, SearchIndexError) << c.what;
            EXPECT_EQ(test::readFileBytes(path), c.bytes) << c.what;
            continue;
        }
        SearchIndex index(path);
        EXPECT_EQ(index.wasRebuilt(), c.bytes.size() > 0) << c.what;
        EXPECT_EQ(index.counts().messages, 0u) << c.what;
        index.replaceFolder("Inbox.dbx", 1, 1, {doc("Inbox.dbx", 1, 0, "", "", "", "report")});
        EXPECT_EQ(index.search(parseSearchQuery("report"), 10).size(), 1u) << c.what;
    }

    // A file cut short.
    {
        SearchIndex index(path);
        std::vector<SearchDocument> many;
        for (int i = 0; i < 400; ++i)
            many.push_back(doc("Inbox.dbx", i, 0, "x", "y", "s", "report " + std::string(2000, 'w')));
        index.replaceFolder("Inbox.dbx", 1, 1, many);
    }
    fs::resize_file(path, fs::file_size(path) / 2);
    {
        SearchIndex index(path);
        EXPECT_TRUE(index.wasRebuilt());
        EXPECT_EQ(index.counts().messages, 0u);
        EXPECT_FALSE(index.isFolderCurrent("Inbox.dbx", 1, 1));
    }

    // Another layout of ours is rebuilt; another program's database is left alone.
    {
        SearchIndex index(path);
        index.replaceFolder("Inbox.dbx", 1, 1, {doc("Inbox.dbx", 1, 0, "", "", "", "report")});
    }
    setUserVersion(path, 99);
    {
        SearchIndex index(path);
        EXPECT_TRUE(index.wasRebuilt());
        EXPECT_EQ(index.counts().messages, 0u);
    }
    const std::string foreign = dir / "someone-else.sqlite";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE precious(x); INSERT INTO precious VALUES(1);", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
    }
    const std::string foreignBytes = test::readFileBytes(foreign);
    EXPECT_THROW(SearchIndex{foreign}, SearchIndexError);
    EXPECT_EQ(test::readFileBytes(foreign), foreignBytes);  // not switched to WAL either
}

// The index holds the text of all mail.
TEST(SearchIndexFile, PrivateNeverThroughALinkAndTwoFirstRunsAtOnce) {
    TempDir dir;
    auto mode = [](const std::string& path) { return fs::symlink_status(path).permissions(); };
    // The directories made for it are private; one that is there (the temporary
    // directory, 0700 itself) keeps its mode.
    fs::permissions(dir / "", fs::perms(0755));
    {
        SearchIndex index(dir / "made/for/index.sqlite");
        index.replaceFolder("Inbox.dbx", 1, 1, {doc("Inbox.dbx", 1, 0, "", "", "", "report")});
        for (const char* made : {"made", "made/for"}) EXPECT_EQ(mode(dir / made), fs::perms(0700));
        for (const char* file : {"index.sqlite", "index.sqlite-wal"})
            EXPECT_EQ(mode(dir / "made/for/" + file), fs::perms(0600));
    }
    EXPECT_EQ(mode(dir / ""), fs::perms(0755));

    // A link at the index path, or where SQLite puts its journals, is never
    // followed: the user's file stays as it is, a dangling one leads nowhere.
    { std::ofstream(dir / "letter.txt") << "Dear Ann"; }
    for (const auto& [link, target] : std::vector<std::pair<std::string, std::string>>{
             {"link.sqlite", dir / "letter.txt"},
             {"dangling.sqlite", dir / "nowhere.sqlite"},
             {"wal.sqlite-wal", dir / "letter.txt"}}) {
        ASSERT_EQ(::symlink(target.c_str(), (dir / link).c_str()), 0);
        EXPECT_THROW(SearchIndex(dir / link.substr(0, link.find(".sqlite") + 7)), SearchIndexError);
        EXPECT_EQ(test::readFileBytes(dir / "letter.txt"), "Dear Ann");
        EXPECT_FALSE(fs::exists(dir / "nowhere.sqlite"));
    }

    // Two first runs at once: both get the index, neither fails.
    for (int round = 0; round < 20; ++round) {
        const std::string path = dir / ("race" + std::to_string(round) + "/index.sqlite");
        std::latch start(2);
        auto run = [&](const char* file) {
            start.arrive_and_wait();
            SearchIndex index(path);
            index.replaceFolder(file, 1, 1, {doc(file, 1, 0, "", "", "", "report")});
        };
        std::thread other([&] { EXPECT_NO_THROW(run("Other.dbx")) << round; });
        EXPECT_NO_THROW(run("Inbox.dbx")) << round;
        other.join();
        EXPECT_EQ(SearchIndex(path).counts().messages, 2u) << round;
    }
}

// The order of the hits is SQLite's bm25 over the whole index (one table of all
// texts, as the index of the earlier layout ranked them), then newest first, for
// every form of query, although each folder has a table of its own.
TEST(SearchIndexRanking, OrderIsBm25OverTheWholeIndex) {
    TempDir dir;
    const char* const words[] = {"alpha", "beta", "gamma", "delta", "report", "meeting",
                                 "budget", "bridge", "zurich", "protokoll", "die", "nachricht"};
    std::uint64_t seed = 7;
    auto next = [&seed](std::uint64_t n) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return (seed >> 33) % n;
    };
    auto text = [&](std::size_t count) {
        std::string t;
        for (std::size_t i = 0; i < count; ++i) t += std::string(i ? " " : "") + words[next(std::size(words))];
        return t;
    };
    // Dates unique and in no order, so that the tie-break by date is never undecided.
    std::vector<SearchDocument> all;
    for (int i = 0; i < 300; ++i) {
        const std::string file = i % 2 ? "Projects.dbx" : "Inbox.dbx";
        all.push_back(doc(file, i, test::fileTimeUtc(2000, 1, 1) + (i * 7919 % 300 + 1) * 36000000000ull,
                          text(2), text(1), text(1 + next(4)), text(3 + next(60)), next(5) == 0,
                          next(5) == 0 ? "budget.xls" : ""));
    }
    // Each folder oldest first, as the indexer gives them.
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.fileTime < b.fileTime; });
    SearchIndex index(dir / "index.sqlite");
    for (const std::string file : {"Inbox.dbx", "Projects.dbx"}) {
        index.beginFolder(file, 1, 1);
        for (const SearchDocument& d : all)
            if (d.fileName == file) index.addDocument(d);
        index.commitFolder();
    }

    sqlite3* reference = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "reference.sqlite").c_str(), &reference), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reference,
                           "CREATE VIRTUAL TABLE t USING fts5(sender, recipients, subject, folder, "
                           "attachments, body, tokenize = 'unicode61 remove_diacritics 2');"
                           "CREATE TABLE m(id INTEGER PRIMARY KEY, time INTEGER, attachment INTEGER);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_exec(reference, "BEGIN", nullptr, nullptr, nullptr);
    for (const SearchDocument& d : all) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(reference, "INSERT INTO t(rowid, sender, recipients, subject, folder, attachments, body) "
                                      "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)", -1, &s, nullptr);
        sqlite3_bind_int64(s, 1, d.dataOffset);
        int column = 2;
        for (const std::string* v : {&d.from, &d.to, &d.subject, &d.folderPath, &d.attachmentNames, &d.body})
            sqlite3_bind_text(s, column++, v->c_str(), -1, SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(s), SQLITE_DONE);
        sqlite3_finalize(s);
        sqlite3_prepare_v2(reference, "INSERT INTO m VALUES(?1, ?2, ?3)", -1, &s, nullptr);
        sqlite3_bind_int64(s, 1, d.dataOffset);
        sqlite3_bind_int64(s, 2, static_cast<std::int64_t>(d.fileTime));
        sqlite3_bind_int(s, 3, d.hasAttachment);
        EXPECT_EQ(sqlite3_step(s), SQLITE_DONE);
        sqlite3_finalize(s);
    }
    sqlite3_exec(reference, "COMMIT", nullptr, nullptr, nullptr);
    for (const char* q : {"report", "zurich protokoll", "\"die nachricht\"", "\"die nachricht report\"",
                          "br*", "ga*", "alpha OR beta", "report -budget", "from:gamma", "subject:delta",
                          "from:alpha meeting", "has:attachment bridge", "budget.xls",
                          "report after:2000-01-05 before:2000-01-10", "folder:projects nachricht"}) {
        const SearchQuery query = parseSearchQuery(q);
        std::string match = query.match;
        if (!query.exclude.empty()) match = "(" + match + ") NOT (" + query.exclude + ")";
        std::string sql = "SELECT t.rowid FROM t JOIN m ON m.id = t.rowid WHERE t MATCH ?1";
        if (query.hasAttachment) sql += " AND m.attachment = 1";
        if (query.after) sql += " AND m.time >= " + std::to_string(*query.after);
        if (query.before) sql += " AND m.time < " + std::to_string(*query.before);
        sql += " ORDER BY bm25(t, 3.0, 1.5, 4.0, 1.0, 2.0, 1.0), m.time DESC";
        sqlite3_stmt* s = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(reference, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << q;
        sqlite3_bind_text(s, 1, match.c_str(), -1, SQLITE_TRANSIENT);
        std::vector<std::int64_t> expected;
        while (sqlite3_step(s) == SQLITE_ROW) expected.push_back(sqlite3_column_int64(s, 0));
        sqlite3_finalize(s);
        EXPECT_GT(expected.size(), 0u) << q;
        for (std::size_t limit : {std::size_t{5}, std::size_t{1000}}) {
            std::vector<std::int64_t> got;
            for (const SearchHit& h : index.search(query, limit)) got.push_back(h.dataOffset);
            const std::vector<std::int64_t> want(expected.begin(),
                                                 expected.begin() + std::min(limit, expected.size()));
            EXPECT_EQ(got, want) << q << " limit " << limit;
        }
        EXPECT_EQ(index.countMatches(query), expected.size()) << q;
    }
    sqlite3_close(reference);
}

// A message of many matches has its snippet at its first match, in time; a cancelled
// search stops; every hit brings the row its folder listed.
TEST(SearchIndexWork, ManyMatchesAndCancel) {
    TempDir dir;
    SearchIndex index(dir / "index.sqlite");
    std::string huge = "Dear Ann, look here:";
    for (int i = 0; i < 200000; ++i) huge += " the";
    std::vector<SearchDocument> docs;
    for (int i = 0; i < 400; ++i) {
        SearchDocument d = doc("Inbox.dbx", i + 1, test::fileTimeUtc(2001, 1, 1) + i, "Ann", "Bob",
                               "about the thing", i == 0   ? huge
                                                  : i == 1 ? std::string(3000, 'w') + " the needle"
                                                           : "the usual text " + std::to_string(i));
        d.record.subject = "raw subject " + std::to_string(i);
        d.record.recordOffset = 1000 + i;
        d.record.origin = i == 5 ? MessageOrigin::Deleted : MessageOrigin::Listed;
        docs.push_back(d);
    }
    index.replaceFolder("Inbox.dbx", 1, 1, docs);
    const HitBodyText bodies = [&](const SearchHit& hit) { return docs[static_cast<std::size_t>(hit.dataOffset - 1)].body; };
    const auto hits = index.search(parseSearchQuery("the"), 400, true, bodies);
    ASSERT_EQ(hits.size(), 400u);
    for (const SearchHit& h : hits) {
        const SearchDocument& d = docs[static_cast<std::size_t>(h.dataOffset - 1)];
        EXPECT_EQ(h.record.subject, d.record.subject);
        EXPECT_EQ(h.record.recordOffset, d.record.recordOffset);
        EXPECT_EQ(h.record.origin, d.record.origin);
        EXPECT_EQ(h.record.date, d.fileTime);
        if (h.dataOffset == 1) {
            EXPECT_EQ(h.snippet, "…look here: [the] [the] [the] [the] [the] [the] [the] [the] [the] [the] [the] [the]…");
        }
    }
    // A match past the start of a long body that the index keeps: the body is read back.
    for (const bool readBack : {true, false}) {
        const auto needle = index.search(parseSearchQuery("needle"), 5, true, readBack ? bodies : HitBodyText());
        ASSERT_EQ(needle.size(), 1u);
        EXPECT_EQ(needle[0].snippet, readBack ? std::string(3000, 'w') + " the [needle]" : std::string(1024, 'w'))
            << readBack;
    }
    std::atomic<bool> cancel{true};
    EXPECT_THROW(index.search(parseSearchQuery("the"), 400, true, bodies, &cancel), SearchCancelled);
    EXPECT_THROW(index.countMatches(parseSearchQuery("the"), &cancel), SearchCancelled);
    cancel = false;
    EXPECT_EQ(index.countMatches(parseSearchQuery("the"), &cancel), 400u);
}

// An index of the earlier layout (one table with a copy of every text) is made anew,
// and its folders are indexed again.
TEST(SearchIndexFile, AnIndexOfTheEarlierLayoutIsMadeAgain) {
    TempDir dir;
    const std::string path = dir / "index.sqlite";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "PRAGMA application_id = 1281509752; PRAGMA user_version = 1;"
                               "CREATE TABLE folders(id INTEGER PRIMARY KEY, fileName TEXT NOT NULL UNIQUE, "
                               "size INTEGER NOT NULL, mtimeNs INTEGER NOT NULL);"
                               "CREATE TABLE messages(id INTEGER PRIMARY KEY, folderId INTEGER NOT NULL, "
                               "dataOffset INTEGER NOT NULL, fileTime INTEGER NOT NULL, flags INTEGER NOT NULL, "
                               "hasAttachment INTEGER NOT NULL);"
                               "CREATE VIRTUAL TABLE messageText USING fts5(sender, recipients, subject, folder, "
                               "attachments, body, tokenize = 'unicode61 remove_diacritics 2', prefix = '2 3');"
                               "INSERT INTO folders VALUES(1, 'Inbox.dbx', 1, 1);"
                               "INSERT INTO messages VALUES(1, 1, 7, 0, 0, 0);"
                               "INSERT INTO messageText(rowid, body) VALUES(1, 'old report');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    SearchIndex index(path);
    EXPECT_TRUE(index.wasRebuilt());
    EXPECT_FALSE(index.isFolderCurrent("Inbox.dbx", 1, 1));
    EXPECT_EQ(index.counts().messages, 0u);
    index.replaceFolder("Inbox.dbx", 1, 1, {doc("Inbox.dbx", 9, 0, "", "", "", "new report")});
    const auto hits = index.search(parseSearchQuery("report"), 10);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].dataOffset, 9);
}

TEST(SearchIndexFile, DefaultPathIsInTheCacheDirectoryAndNamedByTheStore) {
    const char* oldXdg = std::getenv("XDG_CACHE_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    setenv("XDG_CACHE_HOME", "/var/cache/someone", 1);
    const std::string a = defaultIndexPath("/home/u/Mail/Store");
    EXPECT_TRUE(a.starts_with("/var/cache/someone/lumbrook/")) << a;
    EXPECT_TRUE(a.ends_with(".sqlite")) << a;
    EXPECT_EQ(defaultIndexPath("/home/u/Mail/Store/"), a);
    EXPECT_NE(defaultIndexPath("/home/u/Mail/Store2"), a);
    setenv("XDG_CACHE_HOME", "relative/is/ignored", 1);
    if (const char* home = std::getenv("HOME"); home && home[0]) {
        EXPECT_EQ(defaultIndexPath("/home/u/Mail/Store"),
                  std::string(home) + "/.cache/lumbrook/" + a.substr(a.rfind('/') + 1));
    }
    if (oldXdg)
        setenv("XDG_CACHE_HOME", savedXdg.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
}

TEST(SearchQueryParser, ErrorsSayWhatAndWhere) {
    const struct {
        const char* query;
        const char* message;
    } cases[] = {
        {"", "nothing to search for"},
        {"   ", "nothing to search for"},
        {"!!! ...", "nothing to search for (only punctuation)"},
        {"hello \"world", "unclosed quote at column 7"},
        {"foo:bar", "unknown field 'foo:' at column 1"},
        {"a -Foo:bar", "unknown field 'Foo:' at column 4"},
        {"before:2004-13-01", "bad date '2004-13-01' (use YYYY-MM-DD) at column 8"},
        {"after:2004-02-30", "bad date '2004-02-30' (use YYYY-MM-DD) at column 7"},
        {"after:2004-2-3", "bad date '2004-2-3' (use YYYY-MM-DD) at column 7"},
        {"Grüße before:yesterday", "bad date 'yesterday' (use YYYY-MM-DD) at column 14"},
        {"has:pictures", "unknown value 'pictures' for has: (only has:attachment) at column 5"},
        {"a OR", "OR needs a word on each side at column 3"},
        {"OR a", "OR needs a word on each side at column 1"},
        {"a OR OR b", "OR needs a word on each side at column 6"},
        {"a OR -b", "OR joins words, not exclusions at column 6"},
        {"a OR has:attachment", "OR joins words, not filters at column 6"},
        {"a - b", "nothing after '-' at column 3"},
        {"from: x", "nothing after 'from:' at column 1"},
        {"*", "'*' needs letters before it at column 1"},
        {"\"\"", "empty phrase at column 1"},
    };
    for (const auto& c : cases) {
        try {
            parseSearchQuery(c.query);
            ADD_FAILURE() << "no error for: " << c.query;
        } catch (const SearchQueryError& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.query;
        }
    }
    try {
        parseSearchQuery(std::string("before:2004-1\0x", 15));
        ADD_FAILURE() << "no error for a zero byte in a date";
    } catch (const SearchQueryError& e) {
        // A zero byte ends the word, as a space would.
        EXPECT_EQ(std::string(e.what()), "bad date '2004-1' (use YYYY-MM-DD) at column 8");
        EXPECT_EQ(e.column(), 8u);
    }
    try {
        parseSearchQuery("x before:" + std::string(60, '9'));
        ADD_FAILURE() << "no error for a long date";
    } catch (const SearchQueryError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "bad date '" + std::string(40, '9') + "…' (use YYYY-MM-DD) at column 10");
    }
    // Not errors: a link, a time, OR in lower case, and a leap day.
    for (const char* q : {"http://example.com/a", "10:30", "this or that", "after:2004-02-29"})
        EXPECT_NO_THROW(parseSearchQuery(q)) << q;
    EXPECT_EQ(parseSearchQuery("a\"b").match, "\"a\"\"b\"");
    EXPECT_EQ(parseSearchQuery("x a OR b*").match, "\"x\" AND (\"a\" OR \"b\" *)");
}

}  // namespace
}  // namespace lumbrook
