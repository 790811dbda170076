#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "convert/MailboxSink.h"
#include "mime/HeaderFields.h"
#include "convert/MailboxMbox.h"

using namespace lumbrook;
namespace fs = std::filesystem;

namespace {

// 2003-09-14 16:02:05 UTC
constexpr std::uint64_t SomeFileTime = 127080289250000000ull;
constexpr std::int64_t SomeTime = 1063555325;

const std::vector<std::string> NastyMessages = {
    "From: Ann <ann@x.org>\r\nSubject: a\r\n\r\nFrom here\r\n>From there\r\n>>From x\r\nend\r\n",
    "Subject: no final line end\n\nlast line",
    "From: \"Doe, J\" <j@x>\n\nLF only\nFrom me\n",
    "",
    "\n",
    "\n\n",
    "Subject: \xE4\xF6\xFC\r\n\r\n\xFF\xFE\x00\x01 8-bit\r\n",
    "From someone Sun Sep 14 16:02:05 2003\r\nX: y\r\n\r\nb\r\n",
    "X-Lumbrook-Line-End: added\r\n\r\nlooks like ours\r\n",
    "X-Lumbrook-Line-End: added\r\n\r\nlooks like ours, unended",
    "X-Mozilla-Status: 0001\r\nX-Mozilla-Status2: 00000000\r\nStatus: RO\r\nX-Status: A\r\n\r\nx\r\n",
    "Status: O\nX-Status: F\n\nx\n",
    "ends in CR\r",
    "body\nFrom",
    "body\nFrom ",
    ">From at the start\r\n",
    "Subject: s\r\n\r\n>>>>>>>>>>>>>>>>>>>>\n>>>>>From \n> quoted\n\r\n",
    "Subject: blank tail\r\n\r\nx\r\n\r\n\r\n",
};

// A message as it reads back from an mbox file: its last line closed.
std::string readBack(const std::string& raw) {
    if (raw.empty() || raw.back() == '\n') return raw;
    if (raw.back() == '\r') return raw + "\n";
    const std::size_t lf = raw.find('\n');
    return raw + (lf != std::string::npos && lf > 0 && raw[lf - 1] == '\r' ? "\r\n" : "\n");
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::int64_t mtimeOf(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class MailboxWriter : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumbrook-convert-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        out = root / "out";
    }
    void TearDown() override { fs::remove_all(root); }

    // raw must outlive the message: a literal or a named string.
    MailboxMessage message(std::string_view raw, std::uint64_t offset,
                           std::string_view subject = "Hello") {
        MailboxMessage m;
        m.raw = raw;
        m.fileTime = SomeFileTime;
        m.subject = subject;
        m.folderFile = "Inbox.dbx";
        m.dataOffset = offset;
        return m;
    }

    fs::path root, out;
};

TEST_F(MailboxWriter, MboxReadsBackExactly) {
    for (bool status : {true, false}) {
        std::string mbox;
        MessageFlags flags;
        flags.read = flags.forwarded = true;
        for (const auto& raw : NastyMessages)
            appendMboxrdMessage(mbox, raw, "a@b", SomeTime,
                                status ? std::optional<MessageFlags>(flags) : std::nullopt);
        const auto entries = readMboxrd(mbox, status);
        ASSERT_EQ(entries.size(), NastyMessages.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].message, readBack(NastyMessages[i])) << i;
            EXPECT_EQ(entries[i].fromLine, "From a@b Sun Sep 14 16:02:05 2003");
        }
    }
    std::string one;
    MessageFlags flags;
    flags.read = flags.replied = flags.flagged = flags.forwarded = true;
    appendMboxrdMessage(one, "A: b\r\n\r\nFrom x\r\n", "a@b", SomeTime, flags);
    EXPECT_EQ(one,
              "From a@b Sun Sep 14 16:02:05 2003\nX-Mozilla-Status: 1007\r\n"
              "X-Mozilla-Status2: 00000000\r\nStatus: RO\r\nX-Status: AF\r\n"
              "A: b\r\n\r\n>From x\r\n\n");
    std::string unread;
    appendMboxrdMessage(unread, "A: b\n\nc", "a@b", SomeTime, MessageFlags{});
    EXPECT_EQ(unread,
              "From a@b Sun Sep 14 16:02:05 2003\nX-Mozilla-Status: 0000\n"
              "X-Mozilla-Status2: 00000000\nStatus: O\nX-Status:\nA: b\n\nc\n\n");
}

TEST_F(MailboxWriter, MboxQuotesEveryFromLineWhereverItFalls) {
    // Texts of lines that do and do not need quoting, at every position relative
    // to the 16-byte steps of the scan, against quoting done line by line.
    const std::vector<std::string> pieces = {"From ", ">", ">>From ", "F", "Fro", "x", "From",
                                             "\n", "\r\n", " From ", "\nFrom x\n", "abcdefghij"};
    std::uint32_t seed = 12345;
    const auto random = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 400; ++round) {
        std::string text(static_cast<std::size_t>(round % 23), 'y');
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        std::string quoted;
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t lf = text.find('\n', pos);
            const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
            const std::string line = text.substr(pos, end - pos);
            const std::size_t marks = line.find_first_not_of('>');
            if (marks != std::string::npos && line.compare(marks, 5, "From ") == 0) quoted += '>';
            quoted += line;
            pos = end;
        }
        std::string mbox;
        appendMboxrdMessage(mbox, text, "a@b", SomeTime, std::nullopt);
        const std::string tail = readBack(quoted) + "\n";
        ASSERT_GE(mbox.size(), tail.size()) << round;
        EXPECT_EQ(mbox.substr(mbox.size() - tail.size()), tail) << round;
        const auto entries = readMboxrd(mbox, false);
        ASSERT_EQ(entries.size(), 1u) << round;
        EXPECT_EQ(entries[0].message, readBack(text)) << round;
    }
}

TEST_F(MailboxWriter, MboxReadsBackExactlyInPython) {
    if (std::system("python3 -c 'import mailbox, re' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 with its mailbox module is not available";
    MailboxOptions options;
    {
        const auto sink = openMailboxSink(out.string(), options);
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        for (std::size_t i = 0; i < NastyMessages.size(); ++i)
            sink->addMessage(inbox, message(NastyMessages[i], i));
        sink->finish();
    }
    writeFile(root / "read.py", R"(import mailbox, re, sys
box = mailbox.mbox(sys.argv[1], create=False)
out = open(sys.argv[2], 'wb')
def take(b, prefix):
    if not b.startswith(prefix):
        return b, None
    i = b.find(b'\n')
    return (b[i + 1:], b[:i]) if i >= 0 else (b'', b)
for key in sorted(box.keys()):
    b = box.get_bytes(key)
    b, _ = take(b, b'X-Mozilla-Status: ')
    b, _ = take(b, b'X-Mozilla-Status2: ')
    b, _ = take(b, b'Status: ')
    b, _ = take(b, b'X-Status:')
    b = re.sub(rb'(?m)^>(>*From )', rb'\1', b)
    out.write(b'%d\n' % len(b) + b)
)");
    const std::string command = "python3 " + (root / "read.py").string() + " " +
                                (out / "Inbox").string() + " " + (root / "back").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string back = readFile(root / "back");
    std::size_t pos = 0;
    for (std::size_t i = 0; i < NastyMessages.size(); ++i) {
        const std::size_t lf = back.find('\n', pos);
        ASSERT_NE(lf, std::string::npos) << "message " << i << " missing";
        const std::size_t size = std::stoul(back.substr(pos, lf - pos));
        EXPECT_EQ(back.substr(lf + 1, size), readBack(NastyMessages[i])) << i;
        pos = lf + 1 + size;
    }
    EXPECT_EQ(pos, back.size());
}

TEST_F(MailboxWriter, MboxLayoutSecondRunAndInterruptedRun) {
    const std::vector<std::string> raws = {"From: a@b\r\n\r\none\r\n", "From: c@d\r\n\r\ntwo\r\n",
                                           "three", "From: e@f\r\n\r\nfour\r\n"};
    {
        const auto sink = openMailboxSink(out.string(), {});
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        const auto sub = sink->openFolder(inbox, "Sub/Folder");
        EXPECT_EQ(sink->folderPath(sub), "Inbox.sbd/Sub_Folder");
        EXPECT_EQ(sink->addMessage(inbox, message(raws[0], 0)), ConvertOutcome::Written);
        EXPECT_EQ(sink->addMessage(inbox, message(raws[1], 100)), ConvertOutcome::Written);
        EXPECT_EQ(sink->addMessage(inbox, message(raws[1], 100)), ConvertOutcome::AlreadyThere);
        sink->finish();
    }
    EXPECT_TRUE(fs::is_regular_file(out / "Inbox.sbd" / "Sub_Folder"));
    const std::string manifestAfterTwo = readFile(out / ".lumbrook-convert");
    const std::string mboxAfterTwo = readFile(out / "Inbox");
    EXPECT_EQ(mboxAfterTwo.substr(0, mboxAfterTwo.find('\n')), "From a@b Sun Sep 14 16:02:05 2003");

    // A run that wrote the third message, and then its record was replaced by an
    // older copy whose last line was cut off.
    {
        const auto sink = openMailboxSink(out.string(), {});
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        sink->addMessage(inbox, message(raws[2], 200));
        sink->finish();
    }
    writeFile(out / ".lumbrook-convert", manifestAfterTwo + "M\tmbox\tInbox.dbx\t2");  // cut off
    // The run again, with one more message in the store: the third is found in the
    // file past the record's end, not written twice.
    {
        const auto sink = openMailboxSink(out.string(), {});
        EXPECT_EQ(sink->ignoredRecordLines(), 1u);
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        EXPECT_EQ(sink->addMessage(inbox, message(raws[0], 0)), ConvertOutcome::AlreadyThere);
        EXPECT_EQ(sink->addMessage(inbox, message(raws[1], 100)), ConvertOutcome::AlreadyThere);
        EXPECT_EQ(sink->addMessage(inbox, message(raws[2], 200)), ConvertOutcome::AlreadyThere);
        EXPECT_EQ(sink->addMessage(inbox, message(raws[3], 300)), ConvertOutcome::Written);
        sink->finish();
    }
    // And once more: nothing new.
    {
        const auto sink = openMailboxSink(out.string(), {});
        EXPECT_EQ(sink->ignoredRecordLines(), 1u);
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        for (std::size_t i = 0; i < raws.size(); ++i)
            EXPECT_EQ(sink->addMessage(inbox, message(raws[i], i * 100)), ConvertOutcome::AlreadyThere);
    }
    const auto entries = readMboxrd(readFile(out / "Inbox"), true);
    ASSERT_EQ(entries.size(), raws.size());
    for (std::size_t i = 0; i < raws.size(); ++i) EXPECT_EQ(entries[i].message, readBack(raws[i]));
}

TEST_F(MailboxWriter, DamagedRecordAndForeignChangesAreReported) {
    {
        const auto sink = openMailboxSink(out.string(), {});
        sink->addMessage(sink->openFolder(MailboxSink::Root, "Inbox"), message("a\r\n", 0));
    }
    const std::string manifest = readFile(out / ".lumbrook-convert");
    std::string damaged = manifest;
    damaged[damaged.find("Inbox.dbx")] = 'J';  // checksum no longer matches
    const std::size_t layoutEnd = damaged.find('\n') + 1;  // the layout line stays whole
    writeFile(out / ".lumbrook-convert",
              damaged.substr(0, layoutEnd) + "garbage\n\t#\n\xFF\x00\n" + damaged.substr(layoutEnd));
    {
        const auto sink = openMailboxSink(out.string(), {});
        EXPECT_EQ(sink->ignoredRecordLines(), 4u);
        // Both lines are gone (the garbage glued onto the first): the file is not
        // known, so not appended to, and the message found in it is not written again.
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        EXPECT_EQ(sink->folderPath(inbox), "Inbox (2)");
        EXPECT_EQ(sink->addMessage(inbox, message("a\r\n", 0)), ConvertOutcome::AlreadyThere);
    }
    EXPECT_EQ(readMboxrd(readFile(out / "Inbox"), true).size(), 1u);
    EXPECT_EQ(readFile(out / "Inbox (2)"), "");
    fs::remove(out / "Inbox (2)");

    // Mail the user added after ours is kept, and new messages go after it.
    writeFile(out / ".lumbrook-convert", manifest);
    const std::string before = readFile(out / "Inbox") + "From someone\nSubject: added\n\nmine\n\n";
    writeFile(out / "Inbox", before);
    {
        const auto sink = openMailboxSink(out.string(), {});
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        EXPECT_EQ(sink->addMessage(inbox, message("b\r\n", 1)), ConvertOutcome::Written);
    }
    EXPECT_EQ(readFile(out / "Inbox").rfind(before, 0), 0u);
    EXPECT_EQ(readMboxrd(readFile(out / "Inbox"), true).size(), 3u);

    // A file the record does not know is never appended to: the folder goes under
    // the next name and the user is told.
    writeFile(out / ".lumbrook-convert", "");
    (void)!system(("ls -la '" + out.string() + "'").c_str());
    {
        const auto sink = openMailboxSink(out.string(), {});
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        EXPECT_EQ(sink->folderPath(inbox), "Inbox (2)");
        EXPECT_EQ(sink->takeNotices().size(), 1u);
        EXPECT_EQ(sink->addMessage(inbox, message("b\r\n", 1)), ConvertOutcome::AlreadyThere);
        EXPECT_EQ(sink->addMessage(inbox, message("c\r\n", 2)), ConvertOutcome::Written);
    }
    EXPECT_EQ(readMboxrd(readFile(out / "Inbox"), true).size(), 3u);
    EXPECT_EQ(readMboxrd(readFile(out / "Inbox (2)"), true).size(), 1u);

    {
        const auto first = openMailboxSink(out.string(), {});
        EXPECT_THROW(openMailboxSink(out.string(), {}), ConvertError);  // one run at a time
    }
    writeFile(root / "file", "x");
    EXPECT_THROW(openMailboxSink((root / "file").string(), {}), ConvertError);
}

TEST_F(MailboxWriter, MaildirNamesFlagsAndTimes) {
    MailboxOptions options;
    options.format = MailboxFormat::Maildir;
    const std::string raw = "From: a@b\r\n\r\nbody\r\n";
    {
        const auto sink = openMailboxSink(out.string(), options);
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        const auto cur = sink->openFolder(inbox, "cur");
        EXPECT_EQ(sink->folderPath(cur), "Inbox/cur (2)");
        auto m = message(raw, 42);
        m.flags.read = m.flags.flagged = m.flags.forwarded = true;
        EXPECT_EQ(sink->addMessage(inbox, m), ConvertOutcome::Written);
        auto undated = message("Subject: x\r\n\r\n", 43);
        undated.fileTime = 0;
        undated.flags.replied = true;
        EXPECT_EQ(sink->addMessage(cur, undated), ConvertOutcome::Written);
    }
    for (const char* part : {"cur", "new", "tmp"}) {
        EXPECT_TRUE(fs::is_directory(out / "Inbox" / part));
        EXPECT_TRUE(fs::is_directory(out / "Inbox" / "cur (2)" / part));
    }
    const auto names = filesIn(out / "Inbox" / "cur");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].substr(0, 11), "1063555325.");
    EXPECT_EQ(names[0].substr(names[0].size() - 15), ".lumbrook:2,FPS");
    EXPECT_EQ(readFile(out / "Inbox" / "cur" / names[0]), raw);
    EXPECT_EQ(mtimeOf(out / "Inbox" / "cur" / names[0]), SomeTime);
    EXPECT_TRUE(filesIn(out / "Inbox" / "tmp").empty());
    const auto sub = filesIn(out / "Inbox" / "cur (2)" / "cur");
    ASSERT_EQ(sub.size(), 1u);
    EXPECT_EQ(sub[0].substr(0, 2), "0.");
    EXPECT_EQ(sub[0].substr(sub[0].size() - 13), ".lumbrook:2,R");

    // Stopped between moving the file into place and recording it: found, not copied.
    fs::remove(out / ".lumbrook-convert");
    {
        const auto sink = openMailboxSink(out.string(), options);
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        auto m = message(raw, 42);
        m.flags.read = m.flags.flagged = m.flags.forwarded = true;
        EXPECT_EQ(sink->addMessage(inbox, m), ConvertOutcome::AlreadyThere);
    }
    EXPECT_EQ(filesIn(out / "Inbox" / "cur").size(), 1u);
}

TEST_F(MailboxWriter, EmlNamesTimesAndNoReplacing) {
    MailboxOptions options;
    options.format = MailboxFormat::Eml;
    const std::string first = "Subject: x\r\n\r\n1\r\n", second = "Subject: x\r\n\r\n2\r\n";
    fs::create_directories(out / "Inbox");
    writeFile(out / "Inbox" / "2003-09-14 16-02 Re_ a_b_.eml_0", "not in the way");
    writeFile(out / "Inbox" / "2003-09-14 16-02 Re_ a_b__0.eml", "someone else's");
    {
        const auto sink = openMailboxSink(out.string(), options);
        const auto inbox = sink->openFolder(MailboxSink::Root, "Inbox");
        const auto sub = sink->openFolder(inbox, "Sub");
        EXPECT_EQ(sink->addMessage(inbox, message(first, 1, "Re: a/b?")), ConvertOutcome::Written);
        EXPECT_EQ(sink->addMessage(inbox, message(second, 2, "Re: a/b?")), ConvertOutcome::Written);
        EXPECT_EQ(sink->addMessage(inbox, message(second, 3, "Re: a/b?")), ConvertOutcome::Written);
        EXPECT_EQ(sink->addMessage(sub, message(first, 4, "")), ConvertOutcome::Written);
    }
    const fs::path inbox = out / "Inbox";
    EXPECT_EQ(filesIn(inbox), (std::vector<std::string>{
                                  "2003-09-14 16-02 Re_ a_b_.eml", "2003-09-14 16-02 Re_ a_b_.eml_0",
                                  "2003-09-14 16-02 Re_ a_b__0.eml", "2003-09-14 16-02 Re_ a_b__1.eml",
                                  "2003-09-14 16-02 Re_ a_b__2.eml"}));
    EXPECT_EQ(readFile(inbox / "2003-09-14 16-02 Re_ a_b_.eml"), first);
    EXPECT_EQ(readFile(inbox / "2003-09-14 16-02 Re_ a_b__0.eml"), "someone else's");
    EXPECT_EQ(readFile(inbox / "2003-09-14 16-02 Re_ a_b__1.eml"), second);
    EXPECT_EQ(readFile(inbox / "2003-09-14 16-02 Re_ a_b__2.eml"), second);
    EXPECT_EQ(mtimeOf(inbox / "2003-09-14 16-02 Re_ a_b__1.eml"), SomeTime);
    EXPECT_EQ(filesIn(inbox / "Sub"), std::vector<std::string>{"2003-09-14 16-02 (no subject).eml"});

    // A second run writes nothing; a lost record finds each file again, and two
    // equal messages still keep their own files.
    for (bool lostRecord : {false, true}) {
        if (lostRecord) fs::remove(out / ".lumbrook-convert");
        const auto sink = openMailboxSink(out.string(), options);
        const auto again = sink->openFolder(MailboxSink::Root, "Inbox");
        EXPECT_EQ(sink->addMessage(again, message(first, 1, "Re: a/b?")), ConvertOutcome::AlreadyThere);
        EXPECT_EQ(sink->addMessage(again, message(second, 2, "Re: a/b?")), ConvertOutcome::AlreadyThere);
        EXPECT_EQ(sink->addMessage(again, message(second, 3, "Re: a/b?")), ConvertOutcome::AlreadyThere);
    }
    EXPECT_EQ(filesIn(inbox).size(), 5u);
}

}  // namespace
