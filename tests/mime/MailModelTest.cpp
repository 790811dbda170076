#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "mime/MailModel.h"

using namespace std::string_literals;

namespace lumbrook {
namespace {

// Lines joined with CR LF, each followed by one.
std::string Msg(std::initializer_list<std::string_view> Lines) {
    std::string Out;
    for (std::string_view L : Lines) {
        Out += L;
        Out += "\r\n";
    }
    return Out;
}

TMailPart* Child(const TMailPart* P, std::size_t I) {
    return P->SubParts.PartAt(I);
}

TEST(MailModel, HeaderReading) {
    TMailMessage M;
    M.LoadText(Msg({"Subject: a", " \t  b", "X-A: 1", "   ", "X-B: 2", "", "body"}));
    EXPECT_EQ(M.HeaderLines, (TStringList{"Subject: a b", "X-A: 1", "X-B: 2"}));
    EXPECT_EQ(M.RawBody, "body\r\n");

    // A first line that starts with a blank is a field line of its own.
    M.LoadText(Msg({" foo:  x", "Subject: y", "", "b"}));
    EXPECT_EQ(M.HeaderLines, (TStringList{"foo: x", "Subject: y"}));

    // No empty line after the header: no body.
    M.LoadText("Subject: a\r\nX-B: b");
    EXPECT_EQ(M.HeaderLines.size(), 2u);
    EXPECT_EQ(M.RawBody, "");

    // The text ends at its first zero byte.
    M.LoadText("Subject: a\r\n\r\nab\0cd"s);
    EXPECT_EQ(M.RawBody, "ab");

    M.LoadText("");
    EXPECT_TRUE(M.HeaderLines.empty());
    EXPECT_EQ(M.RawBody, "");
}

TEST(MailModel, SinglePartBodies) {
    struct TCase {
        std::string Text;
        TStringList TextLines, HtmlLines;
        bool IsAttachment;
    };
    const std::vector<TCase> Cases = {
        // No Content-Type and no begin line: the whole body, taken as plain text.
        {Msg({"Subject: s", "", "line 1", "line 2"}), {"line 1", "line 2"}, {}, false},
        {Msg({"Content-Type: text/html", "", "<p>x</p>"}), {}, {"<p>x</p>"}, false},
        {Msg({"Content-Type: TEXT", "", "a"}), {"a"}, {}, false},
        {Msg({"Content-Type: text/plain", "Content-Transfer-Encoding: quoted-printable", "",
              "a=3Db=", "c"}),
         {"a=bc"},
         {},
         false},
        {Msg({"Content-Type: text/plain", "Content-Transfer-Encoding: BASE64", "", "YQ1iCmMNCg=="}),
         {"a", "b", "c"},
         {},
         false},
        // Not text, or nothing to show: the message itself is the attachment.
        {Msg({"Content-Type: image/gif", "", "GIF89a"}), {}, {}, true},
        {Msg({"Content-Type: text/plain", ""}), {}, {}, true},
        {Msg({"Content-Type: text/enriched", "", "x"}), {}, {}, true},
    };
    for (const auto& C : Cases) {
        TMailMessage M;
        M.LoadText(C.Text);
        M.LocateBodies();
        EXPECT_EQ(M.TextLines, C.TextLines) << C.Text;
        EXPECT_EQ(M.HtmlLines, C.HtmlLines) << C.Text;
        ASSERT_EQ(M.Attachments.Count(), C.IsAttachment ? 1u : 0u) << C.Text;
        if (C.IsAttachment) {
            EXPECT_EQ(M.Attachments.PartAt(0), &M);
            EXPECT_FALSE(M.IsEmbedded);
        }
    }
}

TEST(MailModel, MultipartScan) {
    TMailMessage M;
    M.LoadText(Msg({"Content-Type: multipart/mixed; boundary=\"b\"", "", "preamble", "--b",
                    "Content-Type: text/plain", "", "one", "", "--b2", "", "--b", "--b",
                    "Content-Type: text/plain", "", "three", "--b--x", "epilogue"}));
    EXPECT_EQ(M.RawBody, "preamble\r\n");
    // --b2 is a delimiter line by prefix, --b--x a closing one; two delimiter lines
    // in a row make no part, a single empty line an empty one.
    ASSERT_EQ(M.SubParts.Count(), 3u);
    EXPECT_EQ(Child(&M, 0)->RawBody, "one\r\n\r\n");  // up to and including the CR LF
    EXPECT_EQ(Child(&M, 0)->ParentBoundary, "b");
    EXPECT_EQ(Child(&M, 0)->ParentPart, &M);
    EXPECT_EQ(Child(&M, 0)->OwnerMessage, &M);
    EXPECT_TRUE(Child(&M, 1)->HeaderLines.empty());
    EXPECT_EQ(Child(&M, 1)->RawBody, "");
    EXPECT_EQ(Child(&M, 2)->RawBody, "three\r\n");

    // Without a boundary parameter every line starting with "--" is a delimiter.
    M.LoadText(Msg({"Content-Type: multipart/mixed", "", "--", "", "a", "--x", "", "b", "----"}));
    ASSERT_EQ(M.SubParts.Count(), 2u);
    EXPECT_EQ(Child(&M, 0)->RawBody, "a\r\n");
    EXPECT_EQ(Child(&M, 1)->RawBody, "b\r\n");

    // A delimiter that never occurs leaves the whole body as preamble.
    M.LoadText(Msg({"Content-Type: multipart/mixed; boundary=zz", "", "a", "--b", "c"}));
    EXPECT_EQ(M.SubParts.Count(), 0u);
    EXPECT_EQ(M.RawBody, "a\r\n--b\r\nc\r\n");

    // A closing delimiter first still opens the first part.
    M.LoadText(Msg({"Content-Type: multipart/mixed; boundary=b", "", "--b--", "", "x", "--b--"}));
    ASSERT_EQ(M.SubParts.Count(), 1u);
    EXPECT_EQ(Child(&M, 0)->RawBody, "x\r\n");
}

TEST(MailModel, MissingClosingDelimiterKeepsLastPart) {
    TMailMessage M;
    M.LoadText(Msg({"Content-Type: multipart/alternative; boundary=b", "", "--b",
                    "Content-Type: text/plain", "", "plain", "--b", "Content-Type: text/html", "",
                    "<b>html</b>"}));
    ASSERT_EQ(M.SubParts.Count(), 2u);
    EXPECT_EQ(Child(&M, 1)->RawBody, "<b>html</b>\r\n");
    M.LocateBodies();
    EXPECT_EQ(M.TextLines, TStringList{"plain"});
    EXPECT_EQ(M.HtmlLines, TStringList{"<b>html</b>"});

    // Also when the text stops without a final line break.
    M.LoadText("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nlast");
    ASSERT_EQ(M.SubParts.Count(), 1u);
    EXPECT_EQ(Child(&M, 0)->RawBody, "last");
}

TEST(MailModel, LocateShapes) {
    {
        // mixed -> alternative (plain + html) + pdf
        TMailMessage M;
        M.LoadText(Msg({"Content-Type: multipart/mixed; boundary=outer",
                        "",
                        "--outer",
                        "Content-Type: multipart/alternative; boundary=inner",
                        "",
                        "--inner",
                        "Content-Type: text/plain",
                        "",
                        "plain text",
                        "--inner",
                        "Content-Type: text/html",
                        "",
                        "<p>html</p>",
                        "--inner--",
                        "--outer",
                        "Content-Type: application/pdf",
                        "Content-Transfer-Encoding: base64",
                        "",
                        "JVBERg==",
                        "--outer--"}));
        M.LocateBodies();
        EXPECT_EQ(M.MixedPart, &M);
        EXPECT_EQ(M.AlternativePart, Child(&M, 0));
        EXPECT_EQ(M.TextLines, TStringList{"plain text"});
        EXPECT_EQ(M.HtmlLines, TStringList{"<p>html</p>"});
        EXPECT_EQ(M.TextPart, Child(Child(&M, 0), 0));
        EXPECT_EQ(M.HtmlPart, Child(Child(&M, 0), 1));
        ASSERT_EQ(M.Attachments.Count(), 1u);
        TMailPart* Pdf = M.Attachments.PartAt(0);
        EXPECT_EQ(Pdf, Child(&M, 1));
        EXPECT_FALSE(Pdf->IsEmbedded);
        EXPECT_FALSE(Pdf->IsDecoded);  // attachments are decoded only on demand
        EXPECT_TRUE(Pdf->DecodeBody());
        EXPECT_EQ(Pdf->DecodedBody, "%PDF");
    }
    {
        // related -> html + gif: the picture is embedded
        TMailMessage M;
        M.LoadText(Msg({"Content-Type: multipart/related; boundary=r", "", "--r",
                        "Content-Type: text/html", "", "<img src=cid:p>", "--r",
                        "Content-Type: image/gif", "Content-ID: <p>", "", "GIF", "--r--"}));
        M.LocateBodies();
        EXPECT_EQ(M.RelatedPart, &M);
        EXPECT_EQ(M.HtmlLines, TStringList{"<img src=cid:p>"});
        EXPECT_TRUE(M.TextLines.empty());
        ASSERT_EQ(M.Attachments.Count(), 1u);
        EXPECT_TRUE(M.Attachments.PartAt(0)->IsEmbedded);
        EXPECT_EQ(M.Attachments.PartAt(0)->HeaderValue("Content-ID"), "<p>");
    }
    {
        // mixed -> plain + plain: the second is an attachment
        TMailMessage M;
        M.LoadText(
            Msg({"Content-Type: multipart/mixed; boundary=m", "", "--m", "Content-Type: text/plain",
                 "", "first", "--m", "Content-Type: text/plain", "", "second", "--m--"}));
        M.LocateBodies();
        EXPECT_EQ(M.TextLines, TStringList{"first"});
        ASSERT_EQ(M.Attachments.Count(), 1u);
        EXPECT_EQ(M.Attachments.PartAt(0), Child(&M, 1));
    }
    {
        // mixed -> alternative first, then a plain part: once an alternative part has
        // been met, text in the mixed part no longer becomes a body.
        TMailMessage M;
        M.LoadText(Msg({"Content-Type: multipart/mixed; boundary=m", "", "--m",
                        "Content-Type: multipart/alternative; boundary=a", "", "--a",
                        "Content-Type: text/html", "", "<i>h</i>", "--a--", "--m",
                        "Content-Type: text/plain", "", "note", "--m", "", "untyped", "--m--"}));
        M.LocateBodies();
        EXPECT_TRUE(M.TextLines.empty());
        EXPECT_EQ(M.HtmlLines, TStringList{"<i>h</i>"});
        ASSERT_EQ(M.Attachments.Count(), 2u);
        EXPECT_EQ(M.Attachments.PartAt(0), Child(&M, 1));
        EXPECT_EQ(M.Attachments.PartAt(1), Child(&M, 2));
    }
    {
        // A second container of a kind already met is passed through.
        TMailMessage M;
        M.LoadText(Msg({"Content-Type: multipart/mixed; boundary=m", "", "--m",
                        "Content-Type: multipart/mixed; boundary=n", "", "--n",
                        "Content-Type: text/plain", "", "deep", "--n--", "--m--"}));
        M.LocateBodies();
        EXPECT_EQ(M.MixedPart, &M);
        EXPECT_TRUE(M.TextLines.empty());  // its parent is not the first mixed part
        ASSERT_EQ(M.Attachments.Count(), 1u);
        EXPECT_EQ(M.Attachments.PartAt(0), Child(Child(&M, 0), 0));
    }
}

TEST(MailModel, UUEncodedMessage) {
    TMailMessage M;
    M.LoadText(Msg({"Subject: old style", "", "Hello", "begin 644 a b.txt", "#0V%T", "`", "end",
                    "dropped text", "begin 600 second.gif", "end", "after"}));
    ASSERT_EQ(M.HeaderLines.size(), 2u);
    EXPECT_EQ(M.HeaderLines[0], "Subject: old style");
    const std::string Boundary = M.BoundaryParam();
    ASSERT_EQ(Boundary.size(), 16u);
    EXPECT_EQ(M.HeaderLines[1], "Content-Type: multipart/mixed; boundary=\"" + Boundary + "\"");
    EXPECT_EQ(M.RawBody, "Hello\r\n");

    ASSERT_EQ(M.SubParts.Count(), 3u);
    TMailPart* Text = Child(&M, 0);
    EXPECT_EQ(Text->HeaderLines, (TStringList{"Content-Type: text/plain; charset=\"iso-8859-1\"",
                                              "Content-Transfer-Encoding: quoted-printable"}));
    EXPECT_EQ(Text->ParentBoundary, Boundary);
    EXPECT_EQ(Text->RawBody, "Hello\r\n");

    TMailPart* File = Child(&M, 1);
    const std::string Name = "\"=?iso-8859-1?Q?a=20b.txt?=\"";
    EXPECT_EQ(File->HeaderLines, (TStringList{"Content-Type: text/plain; name=" + Name,
                                              "Content-Transfer-Encoding: base64",
                                              "Content-Disposition: attachment; filename=" + Name,
                                              "X-Lumbrook-Attachment: " + Name + "; embedded=no"}));
    EXPECT_EQ(File->ParentBoundary, Boundary);
    EXPECT_EQ(File->DecodedBody, "Cat");
    EXPECT_EQ(File->RawBody, "Q2F0\r\n");
    EXPECT_FALSE(File->IsDecoded);

    // A begin line followed directly by its end line: an empty file.
    TMailPart* Empty = Child(&M, 2);
    EXPECT_EQ(Empty->HeaderValue("Content-Type"), "image/gif");
    EXPECT_EQ(Empty->DecodedBody, "");
    EXPECT_EQ(Empty->RawBody, "");

    M.LocateBodies();
    EXPECT_EQ(M.TextLines, TStringList{"Hello"});
    ASSERT_EQ(M.Attachments.Count(), 2u);
    EXPECT_EQ(M.Attachments.PartAt(0), File);
    File->DecodeBody();
    EXPECT_EQ(File->DecodedBody, "Cat");
    // Text after the last end line is kept nowhere.
    for (const TMailPart* P : std::vector<const TMailPart*>{&M, Text, File, Empty})
        EXPECT_EQ(P->RawBody.find("after"), std::string::npos);
}

TEST(MailModel, UUEncodedWithoutLeadingText) {
    TMailMessage M;
    M.LoadText(Msg({"Subject: x", "", "begin 644 cat.bin", "#0V%T", "end"}));
    ASSERT_EQ(M.SubParts.Count(), 2u);
    M.LocateBodies();
    EXPECT_TRUE(M.TextLines.empty());
    ASSERT_EQ(M.Attachments.Count(), 2u);
    EXPECT_EQ(M.Attachments.PartAt(0), Child(&M, 0));  // the empty text part
    EXPECT_EQ(M.Attachments.PartAt(1)->HeaderValue("Content-Type"), "application/octet-stream");
    EXPECT_EQ(M.Attachments.PartAt(1)->HeaderParam("Content-Disposition", "filename"), "cat.bin");

    // A data block that never ends is dropped; the text part stays.
    M.LoadText(Msg({"", "text", "begin 644 f.txt", "#0V%T"}));
    EXPECT_EQ(M.SubParts.Count(), 1u);
}

TEST(MailModel, DecodeBody) {
    TMailMessage M;
    M.LoadText(Msg({"Content-Transfer-Encoding: Quoted-Printable", "", "caf=E9"}));
    EXPECT_TRUE(M.DecodeBody());
    EXPECT_EQ(M.DecodedBody, "caf\xE9\r\n");
    M.RawBody = "changed";
    M.DecodeBody();  // decodes once per parse
    EXPECT_EQ(M.DecodedBody, "caf\xE9\r\n");

    M.LoadText(Msg({"Content-Transfer-Encoding: x-uuencode", "Content-Type: application/x", "",
                    "begin 644 c", "  #0V%T", "`", "end"}));
    M.DecodeBody();
    EXPECT_EQ(M.DecodedBody, "Cat");
    EXPECT_EQ(M.RawBody, "Q2F0\r\n");
    EXPECT_EQ(M.HeaderValue("Content-Transfer-Encoding"), "base64");

    M.LoadText(Msg({"Content-Transfer-Encoding: 8bit", "", "as is=41"}));
    M.DecodeBody();
    EXPECT_EQ(M.DecodedBody, "as is=41\r\n");

    // Base64 lines of 76 characters decode like the whole body at once.
    std::string Data;
    for (int I = 0; I < 5000; ++I) Data += static_cast<char>(I * 31 % 251);
    std::string Encoded;
    Base64EncodeStream(Data, Encoded);
    M.LoadText("Content-Transfer-Encoding: base64\r\n\r\n" + Encoded);
    M.DecodeBody();
    EXPECT_EQ(M.DecodedBody, Data);
}

TEST(MailModel, PartWithoutOwnerRefusesToParse) {
    TMailPart Part;
    Part.Name = "Part7";
    Part.HeaderLines = {"X: kept"};
    try {
        Part.ParseText("Subject: x\r\n\r\nbody", true);
        FAIL() << "no error";
    } catch (const ELumbrookError& E) {
        EXPECT_STREQ(E.what(), "Part7: TMailPart must be owned by a TMailMessage");
    }
    EXPECT_EQ(Part.HeaderLines, TStringList{"X: kept"});

    TMailMessage Message;
    TMailPart Owned(&Message);
    Owned.ParseText("Subject: x\r\n\r\nbody", true);
    EXPECT_EQ(Owned.RawBody, "body");
    EXPECT_TRUE(Message.NeedsLocate);
}

TEST(MailModel, ReloadDropsReferencesIntoOldTree) {
    const std::string Text =
        Msg({"Content-Type: multipart/mixed; boundary=m", "", "--m", "Content-Type: text/plain", "",
             "body", "--m", "Content-Type: image/png", "", "PNG", "--m--"});
    TMailMessage M;
    M.LoadText(Text);
    M.LocateBodies();
    ASSERT_EQ(M.Attachments.Count(), 1u);
    M.LoadText("Subject: new\r\n\r\nnew body");
    EXPECT_TRUE(M.NeedsLocate);
    EXPECT_EQ(M.Attachments.Count(), 0u);
    EXPECT_EQ(M.TextPart, nullptr);
    EXPECT_EQ(M.MixedPart, nullptr);
    M.LocateBodies();
    EXPECT_FALSE(M.NeedsLocate);
    EXPECT_EQ(M.TextLines, TStringList{"new body"});

    // A text that lies inside the tree being replaced.
    M.LoadText(Text);
    M.LoadText(Child(&M, 0)->RawBody);
    EXPECT_EQ(M.HeaderLines, TStringList{"Body "});
    M.LoadText("Subject: x\r\n\r\nBody");
    M.LoadText(M.RawBody);
    ASSERT_EQ(M.HeaderLines, TStringList{"Body "});
    M.LoadText(M.HeaderLines[0]);
    EXPECT_EQ(M.HeaderLines, TStringList{"Body "});

    // Re-parsing one part drops the located references too.
    M.LoadText(Text);
    M.LocateBodies();
    Child(&M, 0)->ParseText("Content-Type: text/plain\r\n\r\nother", true);
    EXPECT_TRUE(M.NeedsLocate);
    EXPECT_EQ(M.TextPart, nullptr);
    M.LocateBodies();
    EXPECT_EQ(M.TextLines, TStringList{"other"});
}

TEST(MailModel, LineSplittingOfBodies) {
    TMailMessage M;
    M.LoadText(
        "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "a=0Db=0Ac=0D=0A=0D=0Ad=00e\r\n");
    M.LocateBodies();
    EXPECT_EQ(M.TextLines, (TStringList{"a", "b", "c", "", "d"}));
}

TEST(MailModel, Progress) {
    TMailMessage M;
    std::vector<int> Currents;
    int Pumps = 0, Total = -1;
    M.OnProgress = [&](TMailMessage* Sender, int T, int Current) {
        EXPECT_EQ(Sender, &M);
        Total = T;
        Currents.push_back(Current);
    };
    M.OnProcessMessages = [&] { ++Pumps; };
    const std::string Text =
        Msg({"Content-Type: multipart/mixed; boundary=m", "", "--m", "", "x", "--m--"});
    M.LoadText(Text);
    EXPECT_EQ(Total, static_cast<int>(Text.size()));
    ASSERT_GE(Currents.size(), 3u);
    EXPECT_EQ(Currents.front(), 0);
    EXPECT_EQ(Currents[1], 1);
    EXPECT_EQ(Currents.back(), Total);
    EXPECT_EQ(Pumps, static_cast<int>(Currents.size()));
    for (std::size_t I = 1; I < Currents.size(); ++I) EXPECT_GT(Currents[I], Currents[I - 1]);
    EXPECT_EQ(M.SubParts.Count(), 1u);  // reporting changes nothing in the result
}

TEST(MailModel, DeepNestingIsCapped) {
    constexpr int Levels = 100000;
    std::string Text;
    Text.reserve(Levels * 64);
    // Boundaries of equal length, so that none is a prefix of another.
    auto Boundary = [](int I) {
        std::string Digits = std::to_string(I);
        return "b" + std::string(6 - Digits.size(), '0') + Digits;
    };
    for (int I = 0; I < Levels; ++I)
        Text += "Content-Type: multipart/mixed; boundary=" + Boundary(I) + "\r\n\r\n--" +
                Boundary(I) + "\r\n";
    Text += "Content-Type: text/plain\r\n\r\ninnermost\r\n";
    for (int I = Levels - 1; I >= 0; --I) Text += "--" + Boundary(I) + "--\r\n";

    TMailMessage M;
    M.LoadText(Text);
    M.LocateBodies();
    int Depth = 0;
    const TMailPart* P = &M;
    while (!P->SubParts.Empty()) {
        ASSERT_EQ(P->SubParts.Count(), 1u);
        P = P->SubParts.PartAt(0);
        ++Depth;
    }
    EXPECT_EQ(Depth, MaxPartDepth);
    // The deepest part keeps the rest of the nesting as its body.
    EXPECT_EQ(P->MediaType(), "multipart/mixed");
    EXPECT_NE(P->RawBody.find("innermost"), std::string::npos);
    EXPECT_EQ(M.Attachments.Count(), 1u);
    EXPECT_EQ(M.Attachments.PartAt(0), P);
}

}  // namespace
}  // namespace lumbrook
