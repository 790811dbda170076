#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "mime/MailAttachments.h"

namespace lumbrook {
namespace {

struct Expected {
    std::string name, fileName, mediaType;
    std::size_t size;
    std::string contentId;
    bool isInline;
};

void expectAttachments(const std::string& raw, const std::vector<Expected>& expected,
                       const std::vector<std::string>& bytes = {}) {
    MailMessage message;
    message.loadText(raw);
    const auto list = listAttachments(message, "CP1252");
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].index, i);
        EXPECT_EQ(list[i].name, expected[i].name);
        EXPECT_EQ(list[i].fileName, expected[i].fileName);
        EXPECT_EQ(list[i].mediaType, expected[i].mediaType);
        EXPECT_EQ(list[i].size, expected[i].size);
        EXPECT_EQ(list[i].contentId, expected[i].contentId);
        EXPECT_EQ(list[i].isInline, expected[i].isInline);
        if (i < bytes.size()) {
            EXPECT_EQ(attachmentBytes(message, i), bytes[i]);
        }
        EXPECT_EQ(attachmentBytes(message, i).size(), list[i].size);
    }
    EXPECT_THROW((void)attachmentBytes(message, list.size()), std::out_of_range);
}

TEST(MailAttachments, OutlookExpressMessages) {
    // Outlook Express 6: folded parameters, names as encoded words or bare 8-bit
    // bytes of the user's code page, and an HTML body with a picture in place.
    const std::string raw =
        "From: \"Anna\" <anna@example.de>\r\nSubject: Bericht\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed;\r\n\tboundary=\"----=_NextPart_000_0005_01C3A1B2.12345670\"\r\n"
        "X-Mailer: Microsoft Outlook Express 6.00.2800.1106\r\n\r\n"
        "This is a multi-part message in MIME format.\r\n\r\n"
        "------=_NextPart_000_0005_01C3A1B2.12345670\r\n"
        "Content-Type: multipart/related;\r\n\ttype=\"multipart/alternative\";\r\n"
        "\tboundary=\"----=_NextPart_001_0006_01C3A1B2.12345670\"\r\n\r\n"
        "------=_NextPart_001_0006_01C3A1B2.12345670\r\n"
        "Content-Type: text/html;\r\n\tcharset=\"iso-8859-1\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
        "<HTML><BODY><IMG alt=3D\"\" hspace=3D0 =\r\nsrc=3D\"cid:000801c3a1b2$12345670$0100a8c0@pc\" "
        "align=3Dbaseline border=3D0></BODY></HTML>\r\n\r\n"
        "------=_NextPart_001_0006_01C3A1B2.12345670\r\n"
        "Content-Type: image/png;\r\n\tname=\"Logo.png\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-ID: <000801c3a1b2$12345670$0100a8c0@pc>\r\n\r\n"
        "iVBORw0KGgpmYWtl\r\n\r\n"
        "------=_NextPart_001_0006_01C3A1B2.12345670--\r\n\r\n"
        "------=_NextPart_000_0005_01C3A1B2.12345670\r\n"
        "Content-Type: application/msword;\r\n\tname=\"=?iso-8859-1?Q?Bericht_M=E4rz.doc?=\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment;\r\n\tfilename=\"=?iso-8859-1?Q?Bericht_M=E4rz.doc?=\"\r\n\r\n"
        "JVBERi0xLjQgdGlueQ==\r\n\r\n"
        "------=_NextPart_000_0005_01C3A1B2.12345670\r\n"
        "Content-Type: application/vnd.ms-excel;\r\n\tname=\"Kosten \x80 \xDC" "bersicht.xls\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment;\r\n\tfilename=\"Kosten \x80 \xDC" "bersicht.xls\"\r\n\r\n"
        "R3LDvMOfZQ==\r\n\r\n"
        "------=_NextPart_000_0005_01C3A1B2.12345670--\r\n";
    expectAttachments(raw,
                      {{"Logo.png", "Logo.png", "image/png", 12, "000801c3a1b2$12345670$0100a8c0@pc", true},
                       {"Bericht März.doc", "Bericht März.doc", "application/msword", 13, "", false},
                       {"Kosten € Übersicht.xls", "Kosten € Übersicht.xls", "application/vnd.ms-excel",
                        7, "", false}},
                      {"\x89PNG\r\n\x1a\nfake", "%PDF-1.4 tiny", "Grüße"});
}

TEST(MailAttachments, ThunderbirdAndWebmailMessages) {
    // Thunderbird: RFC 2231 names, one continued over several sections.
    const std::string thunderbird =
        "Content-Type: multipart/mixed; boundary=\"------------A1B2C3\"\r\n\r\n"
        "--------------A1B2C3\r\nContent-Type: text/plain; charset=UTF-8; format=flowed\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\nSiehe Anhang.\r\n\r\n"
        "--------------A1B2C3\r\nContent-Type: application/pdf;\r\n"
        " name*0*=UTF-8''%E2%82%AC%20Rechnung%20f%C3%BCr%20den%20sehr%20langen%20Mon;\r\n"
        " name*1*=at%20M%C3%A4rz.pdf\r\n"
        "Content-Disposition: attachment;\r\n"
        " filename*0*=UTF-8''%E2%82%AC%20Rechnung%20f%C3%BCr%20den%20sehr%20langen%20Mon;\r\n"
        " filename*1*=at%20M%C3%A4rz.pdf\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQgdGlueQ==\r\n"
        "--------------A1B2C3--\r\n";
    expectAttachments(thunderbird, {{"€ Rechnung für den sehr langen Monat März.pdf",
                                     "€ Rechnung für den sehr langen Monat März.pdf", "application/pdf",
                                     13, "", false}});

    // Webmail: UTF-8 encoded words, a Content-ID on every part, and the HTML body
    // referring to one picture only.
    const std::string webmail =
        "Content-Type: multipart/mixed; boundary=\"000000000000aaa\"\r\n\r\n"
        "--000000000000aaa\r\nContent-Type: multipart/alternative; boundary=\"000000000000bbb\"\r\n\r\n"
        "--000000000000bbb\r\nContent-Type: text/plain; charset=\"UTF-8\"\r\n\r\nFotos\r\n\r\n"
        "--000000000000bbb\r\nContent-Type: text/html; charset=\"UTF-8\"\r\n\r\n"
        "<div><img src=\"CID:ii_k1\"><p>cid:ii_k2</div>\r\n\r\n"
        "--000000000000bbb--\r\n"
        "--000000000000aaa\r\nContent-Type: image/jpeg; name=\"=?UTF-8?B?R3LDvMOfZS5qcGc=?=\"\r\n"
        "Content-Disposition: inline; filename=\"=?UTF-8?B?R3LDvMOfZS5qcGc=?=\"\r\n"
        "Content-Transfer-Encoding: base64\r\nContent-ID: <ii_k1>\r\nX-Attachment-Id: ii_k1\r\n\r\n"
        "iVBORw0KGgpmYWtl\r\n"
        "--000000000000aaa\r\nContent-Type: image/jpeg; name=\"zwei.jpg\"\r\n"
        "Content-Disposition: attachment; filename=\"zwei.jpg\"\r\n"
        "Content-Transfer-Encoding: base64\r\nContent-ID: <ii_k2>\r\n\r\niVBORw0KGgpmYWtl\r\n"
        "--000000000000aaa--\r\n";
    expectAttachments(webmail, {{"Grüße.jpg", "Grüße.jpg", "image/jpeg", 12, "ii_k1", true},
                                {"zwei.jpg", "zwei.jpg", "image/jpeg", 12, "ii_k2", false}});
}

TEST(MailAttachments, UuencodedAndNamelessParts) {
    // An old-style message: the name on the begin line, bare bytes of the code page;
    // a second block with a UTF-8 name, and one whose name would leave the folder.
    const std::string uu =
        "Subject: Dateien\r\n\r\nHier die Dateien.\r\n\r\n"
        "begin 644 Gr\xFC\xDF" "e.txt\r\n*2&%L;&\\@5V5L=```\r\n`\r\nend\r\n"
        "begin 644 Gr\xC3\xBC\xC3\x9F" "e 2.txt\r\n*2&%L;&\\@5V5L=```\r\n`\r\nend\r\n"
        "begin 600 ../../etc/x\r\nend\r\n";
    expectAttachments(uu,
                      {{"Grüße.txt", "Grüße.txt", "text/plain", 10, "", false},
                       {"Grüße 2.txt", "Grüße 2.txt", "text/plain", 10, "", false},
                       {"../../etc/x", "_.._.._etc_x", "application/octet-stream", 0, "", false}},
                      {"Hallo Welt", "Hallo Welt", ""});

    // Parts without names count from 1; a part without Content-Type is plain text.
    // The line break before a delimiter is the delimiter's: "xyz" is three bytes.
    const std::string nameless =
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nbody\r\n"
        "--b\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "JVBERi0xLjQgdGlueQ==\r\n"
        "--b\r\n\r\nloose text\r\n"
        "--b\r\nContent-Type: application/x-no-such-type; name=\"\"\r\n"
        "Content-Disposition: attachment; filename=\"\"\r\nContent-ID: <>\r\n\r\nxyz\r\n"
        "--b--\r\n";
    expectAttachments(nameless, {{"", "attachment-1.pdf", "application/pdf", 13, "", false},
                                 {"", "attachment-2.txt", "text/plain", 10, "", false},
                                 {"", "attachment-3", "application/x-no-such-type", 3, "", false}});
}

}  // namespace
}  // namespace lumbrook
