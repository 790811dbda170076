#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/Charset.h"
#include "mime/AttachmentName.h"

namespace lumbrook {
namespace {

TEST(AttachmentName, DecodesEncodedWords) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain name.txt", "plain name.txt"},
        {"=?iso-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?=", "Grüße aus Köln"},
        {"=?utf-8?B?4oKsIFJlY2hudW5nLnBkZg==?=", "€ Rechnung.pdf"},
        {"=?UTF-8?b?4oKsIFJlY2hudW5n?=", "€ Rechnung"},
        // Space between words goes, folding too; a UTF-8 character split across words.
        {"=?utf-8?Q?a?= =?utf-8?Q?b?=\r\n =?utf-8?B?4oI=?= =?utf-8?B?rA==?=", "ab€"},
        {"=?koi8-r?B?8NLJ18XU?= mir", "Привет mir"},
        {"x =?utf-8*de?Q?y?= z", "x y z"},
        // Unknown charset and bare 8-bit bytes: the store's code page.
        {"=?x-nonsense?Q?caf=E9?=", "café"},
        {"Gr\xFC\xDF" "e.doc", "Grüße.doc"},
        {"Gr\xC3\xBC\xC3\x9F" "e.doc", "Grüße.doc"},
        // Damaged words stay as they are.
        {"=?utf-8?Q?never closed", "=?utf-8?Q?never closed"},
        {"=?utf-8?X?abc?= =??Q?x?=", "=?utf-8?X?abc?= =??Q?x?="},
        {"=?windows-1252?Q?bad=ZZ?=", "bad=ZZ"},
    };
    for (const auto& [value, text] : cases) {
        const std::string out = decodeEncodedWords(value, "CP1252");
        EXPECT_EQ(out, text) << value;
        EXPECT_TRUE(isValidUtf8(out));
    }
}

TEST(AttachmentName, HeaderParameters) {
    struct Case {
        std::string header, name;
        std::optional<std::string> value;
    };
    const std::vector<Case> cases = {
        {"attachment; filename*=UTF-8''%E2%82%AC%20Rechnung.pdf", "filename", "€ Rechnung.pdf"},
        {"attachment;\r\n filename*0*=UTF-8''%E2%82%AC%20Rech;\r\n filename*1*=nung%20M%C3%A4rz;"
         " filename*2=\".pdf\"",
         "filename", "€ Rechnung März.pdf"},
        // Out of order, with a section missing.
        {"attachment; filename*2=c.txt; filename*0=a; filename*3=d", "FILENAME", "ac.txtd"},
        {"application/msword; name=\"=?windows-1252?Q?Gr=FC=DFe.doc?=\"", "name", "Grüße.doc"},
        {"application/octet-stream;\r\n\tname=\"=?utf-8?B?0J/RgNC40LLQtdGCLnppcA==?=\"", "Name", "Привет.zip"},
        // The RFC 2231 value wins over the plain one sent for older readers.
        {"attachment; filename=\"Rechnung.pdf\"; filename*=iso-8859-1'de'R%E4tsel.pdf", "filename",
         "Rätsel.pdf"},
        {"attachment; filename=\"Gr\xFC\xDF" "e.txt\"", "filename", "Grüße.txt"},
        {"text/plain; charset=us-ascii; name=unquoted name.txt ; x=1", "name", "unquoted name.txt"},
        {"attachment; filename=\"a \\\"q\\\" b\\\\c.txt\"", "filename", "a \"q\" b\\c.txt"},
        {"attachment; filename=\"C:\\Docs\\x.doc\"", "filename", "C:\\Docs\\x.doc"},
        {"text/plain; name=\"a;b\"; other=1", "name", "a;b"},
        {"text/plain; filename=x.txt", "name", std::nullopt},
        {"text/plain; name*=x", "name", "x"},
        {"name=not-a-parameter; b=1", "name", std::nullopt},
        // Damage.
        {"attachment; filename=\"never closed.txt", "filename", "never closed.txt"},
        {"attachment; filename*=UTF-8''100%25%ZZ%4", "filename", "100%%ZZ%4"},
        {"attachment; filename*1*=%41; filename*3*=%42", "filename", "AB"},
        {"attachment; filename*=unknown-x''caf%E9", "filename", "café"},
        {"attachment; filename*=''%E2%82%AC", "filename", "€"},
        {"attachment; filename", "filename", std::nullopt},
        {"attachment; filename=", "filename", ""},
        {";;; =x; ==; filename*99999=x", "filename", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto value = headerParameter(c.header, c.name, "CP1252");
        EXPECT_EQ(value, c.value) << c.header;
        if (value) {
            EXPECT_TRUE(isValidUtf8(*value));
        }
    }
}

TEST(AttachmentName, FileNames) {
    EXPECT_EQ(extensionForMediaType("application/pdf"), "pdf");
    EXPECT_EQ(extensionForMediaType(" Text/Plain; charset=x"), "txt");
    EXPECT_EQ(extensionForMediaType("application/x-no-such-type"), "");

    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string name, mediaType, fileName;
    };
    const std::vector<Case> cases = {
        {"Rechnung.pdf", "application/pdf", "Rechnung.pdf"},
        {"", "application/pdf", "attachment-4.pdf"},
        {"  \t", "application/x-no-such-type", "attachment-4"},
        {"../../etc/passwd", "", "_.._.._etc_passwd"},
        {"C:\\Windows\\a.exe", "", "C:_Windows_a.exe"},
        {".bashrc", "", "_.bashrc"},
        {"  name.txt \r\n", "", "name.txt"},
        {std::string("a\0b\x01\x7F" "c\xC2\x85" "d.txt", 13), "", "a_b__c_d.txt"},
        {"caf\xE9.txt", "", "caf" + fffd + ".txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(attachmentFileName(c.name, 4, c.mediaType), c.fileName) << c.name;

    // Shortened to 255 bytes in the stem, never inside a character, the extension kept.
    std::string longName;
    for (int i = 0; i < 200; ++i) longName += "ä";
    const std::string shortened = attachmentFileName(longName + ".pdf", 1, "");
    EXPECT_EQ(shortened, std::string(longName, 0, 250) + ".pdf");
    EXPECT_EQ(attachmentFileName(std::string(300, 'x'), 1, ""), std::string(255, 'x'));
    const std::string odd = attachmentFileName("a" + longName, 1, "");
    EXPECT_EQ(odd.size(), 255u);
    EXPECT_TRUE(isValidUtf8(odd));
}

}  // namespace
}  // namespace lumbrook
