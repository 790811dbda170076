#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "render/MessageOrder.h"
#include "render/Options.h"
#include "render/Output.h"
#include "render/OutputNaming.h"
#include "tests/render/RenderTestSupport.h"

namespace lumbrook {
namespace {

using test::fileTimeUtc;
using test::readFileBytes;
using test::makeRecord;
using test::TempDir;

std::vector<std::string> dirEntries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutputNaming, CleanFileNameMapsEveryByteToOneCharacter) {
    EXPECT_EQ(cleanFileName("Re: Offer 3.5"), "Re_ Offer 3_5");
    EXPECT_EQ(cleanFileName("a/b\\c?d*e\"f<g>h|i\x7F"), "a_b_c_d_e_f_g_h|i\x7F");
    EXPECT_EQ(cleanFileName("Gr\xFC\xDF" "e\t\x01"), "Gr__e__");
    EXPECT_EQ(cleanFileName(""), "");
    EXPECT_EQ(messageFileStem(makeRecord("Hello"), true), "Hello 12_06_26 14_05_09");
    EXPECT_EQ(messageFileStem(makeRecord("Hello", "", "", fileTimeUtc(2026, 12, 6)), true), "Hello 12_06_26");
}

TEST(Output, SavingNeverOverwritesAndWritesTheRawTextUnchanged) {
    TempDir root;
    const std::string dir = prepareOutputDir(root / "new/sub");  // created, parents included
    EXPECT_EQ(dir, root / "new/sub/");
    const std::string raw = "Subject: x\r\n\r\nbody\x80\r\nno final break";
    for (int i = 0; i < 3; ++i) saveMessageAsEml(dir, makeRecord("Hello"), raw, false);
    saveMessageAsEml(dir, makeRecord(""), raw, false);
    saveMessageAsEml(dir, makeRecord(""), raw, false);
    EXPECT_EQ(dirEntries(dir),
              (std::vector<std::string>{".eml", "Hello.eml", "Hello_0.eml", "Hello_1.eml", "_0.eml"}));
    EXPECT_EQ(readFileBytes(dir + "Hello_1.eml"), raw);

    try {
        saveMessageAsEml(root / "missing-dir/", makeRecord("Hi"), raw, false);
        ADD_FAILURE() << "saved into a directory that does not exist";
    } catch (const SaveFailedError& e) {
        EXPECT_EQ(std::string(e.what()), "The file \"" + (root / "missing-dir/") + "Hi\" could not be created!");
    }
}

TEST(Output, ExportFormatFollowsTheOptionAndTheMessage) {
    const std::string html = "Content-Type: text/html\r\n\r\n<p>page</p>\r\n";
    const std::string plain = "Content-Type: text/plain\r\n\r\nline 1\r\nline 2\r\n";
    TempDir root;
    auto exportAll = [&](ExportFormat format, const std::string& sub) {
        ExportSettings settings;
        settings.dir = prepareOutputDir(root / sub);
        settings.dateInName = false;
        settings.format = format;
        exportMessage(settings, makeRecord("html"), html);
        exportMessage(settings, makeRecord("plain"), plain);
        return settings.dir;
    };
    const auto same = exportAll(ExportFormat::SameAsMail, "same");
    EXPECT_EQ(dirEntries(same), (std::vector<std::string>{"html.HTM", "plain.txt"}));
    EXPECT_EQ(readFileBytes(same + "plain.txt"), "line 1\r\nline 2\r\n");
    EXPECT_EQ(readFileBytes(same + "html.HTM"), pageHeadElements("windows-1252") + "\r\n<p>page</p>\r\n");

    const auto text = exportAll(ExportFormat::AlwaysText, "text");
    EXPECT_EQ(dirEntries(text), (std::vector<std::string>{"html.txt", "plain.txt"}));
    EXPECT_EQ(readFileBytes(text + "html.txt"), "page\r\n");

    const auto pages = exportAll(ExportFormat::AlwaysHtml, "pages");
    EXPECT_EQ(dirEntries(pages), (std::vector<std::string>{"html.HTM", "plain.HTM"}));
    EXPECT_EQ(readFileBytes(pages + "plain.HTM"),
              pageHeadElements("windows-1252") + "\r\nline 1<BR>\r\nline 2<BR>\r\n");
}

TEST(Output, ExportWritesContentIdFilesBesideThePageAndNeverOverwritesPages) {
    const std::string raw =
        "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
        "<img src=\"cid:pic\">\r\n--b\r\nContent-Type: image/png\r\nContent-ID: <pic>\r\n\r\n"
        "PNG\r\n--b--\r\n";
    TempDir root;
    ExportSettings settings;
    settings.dir = prepareOutputDir(root.str());
    settings.design.apply = true;
    settings.design.fields = HeaderFields{false, false, false, true};
    exportMessage(settings, makeRecord("Pic"), raw);
    exportMessage(settings, makeRecord("Pic"), raw);
    EXPECT_EQ(dirEntries(root.str()),
              (std::vector<std::string>{"Pic 12_06_26 14_05_09.HTM", "Pic 12_06_26 14_05_09_0.HTM",
                                        "pic", "pic_0"}));
    EXPECT_EQ(readFileBytes(root / "pic"), "PNG\r\n");
    // The second message's picture got a name of its own, and its page says so.
    EXPECT_EQ(readFileBytes(root / "pic_0"), "PNG\r\n");
    EXPECT_NE(readFileBytes(root / "Pic 12_06_26 14_05_09_0.HTM").find("<img src=\"pic_0\">"),
              std::string::npos);
    EXPECT_EQ(readFileBytes(root / "Pic 12_06_26 14_05_09.HTM"),
              pageHeadElements("windows-1252") + "\r\n"
              "<table><tr><td><b>Subject:</b></td><td>Pic</td></tr></table><hr><p>\r\n"
              "<img src=\"pic\">\r\n\r\n");
}

TEST(Options, FileRoundTripAndItsOddValues) {
    TempDir dir;
    const std::string path = dir / "options.dat";
    Options options;
    EXPECT_FALSE(openOptions(path, options));  // missing: the defaults stand
    EXPECT_EQ(options.designIndex, -1);
    EXPECT_TRUE(options.previewWithDesign && options.fromField && options.toField && options.subjectField &&
                options.dateField);

    // -1, 0, 1, 1, 0, 1: Subject before Date in the file.
    dir.write("options.dat", std::string("\xFF\xFF\xFF\xFF\0\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24));
    ASSERT_TRUE(openOptions(path, options));
    EXPECT_EQ(options.designIndex, -1);
    EXPECT_FALSE(options.previewWithDesign);
    EXPECT_TRUE(options.fromField);
    EXPECT_TRUE(options.toField);
    EXPECT_FALSE(options.subjectField);
    EXPECT_TRUE(options.dateField);

    // Any non-zero value checks a box and is written back as 1.
    dir.write("options.dat", std::string("\2\0\0\0\2\0\0\0", 8));
    ASSERT_TRUE(openOptions(path, options));
    EXPECT_EQ(options.designIndex, 2);
    EXPECT_TRUE(options.previewWithDesign);
    EXPECT_FALSE(options.subjectField);  // not in the short file: unchanged
    saveOptions(path, options);
    EXPECT_EQ(readFileBytes(path),
              std::string("\2\0\0\0\1\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24));
}

TEST(MessageOrder, FoldedTextAndDateOrder) {
    EXPECT_LT(compareText("a", "b"), 0);
    EXPECT_EQ(compareText("b", "B"), 0);
    EXPECT_LT(compareText("Al", "alpha"), 0);  // a prefix comes first
    EXPECT_GT(compareText("\xC4rger", "Zebra"), 0);  // bytes above 0x7F after A-Z
    EXPECT_LT(compareText("Zebra", "_x"), 0);      // "_" (0x5F) sorts after "Z" once folded

    MessageList list{makeRecord("b", "", "", fileTimeUtc(2020, 1, 1, 0, 0, 0, 2)),
                      makeRecord("a", "", "", fileTimeUtc(2020, 1, 1, 0, 0, 0, 1)),
                      makeRecord("C", "", "", fileTimeUtc(2021, 1, 1))};
    EXPECT_EQ(sortedMessageOrder(list, ColDate, true), (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_EQ(sortedMessageOrder(list, ColDate, false), (std::vector<std::size_t>{1, 0, 2}));
    EXPECT_EQ(sortedMessageOrder(list, ColSubject, false), (std::vector<std::size_t>{1, 0, 2}));
    EXPECT_EQ(sortedMessageOrder(list, ColSubject, true), (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_LT(listView1Compare(list[1], list[0], ColDate, false), 0);  // milliseconds count
    EXPECT_GT(listView1Compare(list[1], list[0], ColDate, true), 0);
}

}  // namespace
}  // namespace lumbrook
