#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/HeaderFields.h"
#include "convert/MailboxNaming.h"
#include "base/Charset.h"

using namespace lumbrook;

namespace {

bool validUtf8(const std::string& text) { return isValidUtf8(text); }

const std::string Long300(300, 'a');
// 2-byte letters, so that 255 falls inside one of them.
std::string umlauts(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += "\xC3\xA4";
    return out;
}

}  // namespace

TEST(MailboxNaming, FolderNamesAreCleaned) {
    struct Case { std::string in, out; };
    const std::vector<Case> cases = {
        {"Inbox", "Inbox"},
        {"a/b", "a_b"},
        {std::string("a\0b", 3), "a_b"},
        {".hidden", "_.hidden"},
        {"..", "_.."},
        {"", "_"},
        {"Entw\xC3\xBC rfe", "Entw\xC3\xBC rfe"},
        {"bad\xFFname", "bad\xEF\xBF\xBDname"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},           // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
        {"cut\xE2\x82", "cut\xEF\xBF\xBD"},  // one character cut short: one U+FFFD
    };
    for (const auto& c : cases) EXPECT_EQ(cleanFolderName(c.in), c.out) << c.in;
}

TEST(MailboxNaming, SiblingsGetNumberedAndFit) {
    SiblingNames mbox(".sbd");
    EXPECT_EQ(mbox.take("Inbox"), "Inbox");
    EXPECT_EQ(mbox.take("Inbox"), "Inbox (2)");
    EXPECT_EQ(mbox.take("INBOX"), "INBOX (3)");  // one folder on a case-blind disk
    EXPECT_EQ(mbox.take("Inbox.sbd"), "Inbox.sbd (2)");  // the subfolder directory of "Inbox"
    EXPECT_EQ(mbox.take("a/b"), "a_b");
    EXPECT_EQ(mbox.take("a_b"), "a_b (2)");

    SiblingNames first(".sbd");
    EXPECT_EQ(first.take("X.sbd"), "X.sbd");
    EXPECT_EQ(first.take("X"), "X (2)");  // its ".sbd" would be the file above

    SiblingNames maildir({}, {"cur", "new", "tmp"});
    EXPECT_EQ(maildir.take("cur"), "cur (2)");
    EXPECT_EQ(maildir.take("Tmp"), "Tmp (2)");
    EXPECT_EQ(maildir.take("Sent"), "Sent");

    for (const std::string& base : {Long300, umlauts(200)}) {
        SiblingNames names(".sbd");
        const std::string one = names.take(base), two = names.take(base);
        EXPECT_LE(one.size() + 4, MaxNameBytes);
        EXPECT_LE(two.size() + 4, MaxNameBytes);
        EXPECT_TRUE(validUtf8(one) && validUtf8(two));
        EXPECT_EQ(two.substr(two.size() - 4), " (2)");
        EXPECT_NE(one, two);
        EXPECT_EQ(base.substr(0, one.size()), one);
    }
    SiblingNames plain;
    EXPECT_EQ(plain.take(Long300).size(), MaxNameBytes);
}

TEST(MailboxNaming, EmlNamesKeepLettersAndFit) {
    struct Case { std::string subject, name; };
    const std::vector<Case> cases = {
        {"Hello", "Hello"},
        {"Re: a/b\\c?*\"<x>|", "Re_ a_b_c____x__"},
        {"tab\there\r\n", "tab_here__"},
        {"  \xC3\x9C" "berweisung  ", "\xC3\x9C" "berweisung"},
        {"", "(no subject)"},
        {"   ", "(no subject)"},
        {"dot.name.", "dot.name."},
        {"x\xFFy", "x\xEF\xBF\xBDy"},
    };
    for (const auto& c : cases) EXPECT_EQ(cleanSubjectName(c.subject), c.name) << c.subject;

    EXPECT_EQ(emlFileStem(1063555325, "Hi", 4), "2003-09-14 16-02 Hi");  // TZ is UTC in tests
    EXPECT_EQ(emlFileStem(0, "", 4), "1970-01-01 00-00 (no subject)");
    const std::string cut = emlFileStem(1063555325, umlauts(200), 6);
    EXPECT_LE(cut.size() + 6, MaxNameBytes);
    EXPECT_GE(cut.size() + 7, MaxNameBytes);
    EXPECT_TRUE(validUtf8(cut));
}

TEST(MailboxHeaders, EnvelopeAddressFromTheFromField) {
    struct Case { std::string value, address; };
    const std::vector<Case> cases = {
        {"John <j@x.org>", "j@x.org"},
        {" \"Doe <fake@x>\" <real@y>", "real@y"},
        {"j@x.org (John <c@d>)", "j@x.org"},
        {"a@b, c@d", "a@b"},
        {"<@relay.net:user@host>", "user@host"},
        {"J\xC3\xBCrgen <j@x>", "j@x"},
        {"John Doe", "MAILER-DAEMON"},
        {"<a b@c>", "MAILER-DAEMON"},
        {"<j\xC3\xBC@x>", "MAILER-DAEMON"},
        {"", "MAILER-DAEMON"},
        {"<>", "MAILER-DAEMON"},
        {"x <unclosed@y", "unclosed@y"},
    };
    for (const auto& c : cases) EXPECT_EQ(envelopeAddress(c.value), c.address) << c.value;

    EXPECT_EQ(findHeaderField("Subject: s\r\nfrom: John\r\n\t<j@x>\r\n\r\nbody", "From"),
              " John\t<j@x>");
    EXPECT_EQ(findHeaderField("From : a@b\n\n", "From"), " a@b");
    EXPECT_FALSE(findHeaderField("Subject: a\r\n\r\nFrom: x@y\r\n", "From"));
    EXPECT_FALSE(findHeaderField("", "From"));
    EXPECT_FALSE(findHeaderField("X-From: a@b\r\n", "From"));
}

TEST(MailboxHeaders, DatesAndTimes) {
    struct Case { std::string value; std::optional<std::int64_t> time; };
    const std::vector<Case> cases = {
        {"Sun, 14 Sep 2003 16:02:05 +0200", 1063548125},
        {"14 Sep 2003 16:02:05 +0200 (CEST)", 1063548125},
        {"Sun Sep 14 16:02:05 2003", 1063555325},
        {"14 Sep 03 16:02 GMT", 1063555320},
        {"Mon, 1 Jan 2001 00:00:00 EST", 978325200},
        {"sun, 14 sep 2003 16:02:05 +0000", 1063555325},
        {"not a date", std::nullopt},
        {"32 Sep 2003 10:00:00", std::nullopt},
        {"14 Sep 2003 25:00:00", std::nullopt},
        {"14 Sep 2003", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseMailDate(c.value), c.time) << c.value;

    EXPECT_EQ(asctimeUtc(1063555325), "Sun Sep 14 16:02:05 2003");
    EXPECT_EQ(asctimeUtc(1063000000), "Mon Sep  8 05:46:40 2003");
    EXPECT_EQ(asctimeUtc(0), "Thu Jan  1 00:00:00 1970");

    EXPECT_EQ(messageUnixTime(0, "Date: Sun, 14 Sep 2003 16:02:05 +0000\r\n\r\n"), 1063555325);
    EXPECT_EQ(messageUnixTime(127080289250000000ull, "Date: Mon, 1 Jan 2001 00:00:00 EST\r\n"), 1063555325);
    EXPECT_EQ(messageUnixTime(0, "Subject: none\r\n\r\n"), 0);
}
