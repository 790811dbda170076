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

using test::FileTimeUtc;
using test::ReadFileBytes;
using test::Record;
using test::TTempDir;

std::vector<std::string> DirEntries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutputNaming, CleanFileNameMapsEveryByteToOneCharacter) {
    EXPECT_EQ(CleanFileName("Re: Offer 3.5"), "Re_ Offer 3_5");
    EXPECT_EQ(CleanFileName("a/b\\c?d*e\"f<g>h|i\x7F"), "a_b_c_d_e_f_g_h|i\x7F");
    EXPECT_EQ(CleanFileName("Gr\xFC\xDF" "e\t\x01"), "Gr__e__");
    EXPECT_EQ(CleanFileName(""), "");
    EXPECT_EQ(MessageFileStem(Record("Hello"), true), "Hello 12_06_26 14_05_09");
    EXPECT_EQ(MessageFileStem(Record("Hello", "", "", FileTimeUtc(2026, 12, 6)), true), "Hello 12_06_26");
}

TEST(Output, SavingNeverOverwritesAndWritesTheRawTextUnchanged) {
    TTempDir root;
    const std::string dir = PrepareOutputDir(root / "new/sub");  // created, parents included
    EXPECT_EQ(dir, root / "new/sub/");
    const std::string raw = "Subject: x\r\n\r\nbody\x80\r\nno final break";
    for (int i = 0; i < 3; ++i) SaveMessageAsEml(dir, Record("Hello"), raw, false);
    SaveMessageAsEml(dir, Record(""), raw, false);
    SaveMessageAsEml(dir, Record(""), raw, false);
    EXPECT_EQ(DirEntries(dir),
              (std::vector<std::string>{".eml", "Hello.eml", "Hello_0.eml", "Hello_1.eml", "_0.eml"}));
    EXPECT_EQ(ReadFileBytes(dir + "Hello_1.eml"), raw);

    try {
        SaveMessageAsEml(root / "missing-dir/", Record("Hi"), raw, false);
        ADD_FAILURE() << "saved into a directory that does not exist";
    } catch (const ESaveFailed& e) {
        EXPECT_EQ(std::string(e.what()), "The file \"" + (root / "missing-dir/") + "Hi\" could not be created!");
    }
}

TEST(Output, ExportFormatFollowsTheOptionAndTheMessage) {
    const std::string html = "Content-Type: text/html\r\n\r\n<p>page</p>\r\n";
    const std::string plain = "Content-Type: text/plain\r\n\r\nline 1\r\nline 2\r\n";
    TTempDir root;
    auto exportAll = [&](TExportFormat format, const std::string& sub) {
        TExportSettings settings;
        settings.Dir = PrepareOutputDir(root / sub);
        settings.DateInName = false;
        settings.Format = format;
        ExportMessage(settings, Record("html"), html);
        ExportMessage(settings, Record("plain"), plain);
        return settings.Dir;
    };
    const auto same = exportAll(TExportFormat::SameAsMail, "same");
    EXPECT_EQ(DirEntries(same), (std::vector<std::string>{"html.HTM", "plain.txt"}));
    EXPECT_EQ(ReadFileBytes(same + "plain.txt"), "line 1\r\nline 2\r\n");
    EXPECT_EQ(ReadFileBytes(same + "html.HTM"), "<p>page</p>\r\n");

    const auto text = exportAll(TExportFormat::AlwaysText, "text");
    EXPECT_EQ(DirEntries(text), (std::vector<std::string>{"html.txt", "plain.txt"}));
    EXPECT_EQ(ReadFileBytes(text + "html.txt"), "");

    const auto pages = exportAll(TExportFormat::AlwaysHtml, "pages");
    EXPECT_EQ(DirEntries(pages), (std::vector<std::string>{"html.HTM", "plain.HTM"}));
    EXPECT_EQ(ReadFileBytes(pages + "plain.HTM"), "line 1<BR>\r\nline 2<BR>\r\n");
}

TEST(Output, ExportWritesContentIdFilesBesideThePageAndNeverOverwritesPages) {
    const std::string raw =
        "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
        "<img src=\"cid:pic\">\r\n--b\r\nContent-Type: image/png\r\nContent-ID: <pic>\r\n\r\n"
        "PNG\r\n--b--\r\n";
    TTempDir root;
    TExportSettings settings;
    settings.Dir = PrepareOutputDir(root.Str());
    settings.Design.Apply = true;
    settings.Design.Fields = THeaderFields{false, false, false, true};
    ExportMessage(settings, Record("Pic"), raw);
    ExportMessage(settings, Record("Pic"), raw);
    EXPECT_EQ(DirEntries(root.Str()),
              (std::vector<std::string>{"Pic 12_06_26 14_05_09.HTM", "Pic 12_06_26 14_05_09_0.HTM", "pic"}));
    EXPECT_EQ(ReadFileBytes(root / "pic"), "PNG\r\n");
    EXPECT_EQ(ReadFileBytes(root / "Pic 12_06_26 14_05_09.HTM"),
              "<table><tr><td><b>Subject:</b></td><td>Pic</td></tr></table><hr><p>\r\n"
              "<img src=\"pic\">\r\n\r\n");
}

TEST(Options, FileRoundTripAndItsOddValues) {
    TTempDir dir;
    const std::string path = dir / "options.dat";
    TOptions options;
    EXPECT_FALSE(OpenOptions(path, options));  // missing: the defaults stand
    EXPECT_EQ(options.DesignIndex, -1);
    EXPECT_TRUE(options.ShowHead && options.FromField && options.ToField && options.SubjectField &&
                options.DateField);

    // -1, 0, 1, 1, 0, 1: Subject before Date in the file.
    dir.Write("options.dat", std::string("\xFF\xFF\xFF\xFF\0\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24));
    ASSERT_TRUE(OpenOptions(path, options));
    EXPECT_EQ(options.DesignIndex, -1);
    EXPECT_FALSE(options.ShowHead);
    EXPECT_TRUE(options.FromField);
    EXPECT_TRUE(options.ToField);
    EXPECT_FALSE(options.SubjectField);
    EXPECT_TRUE(options.DateField);

    // Any non-zero value checks a box and is written back as 1.
    dir.Write("options.dat", std::string("\2\0\0\0\2\0\0\0", 8));
    ASSERT_TRUE(OpenOptions(path, options));
    EXPECT_EQ(options.DesignIndex, 2);
    EXPECT_TRUE(options.ShowHead);
    EXPECT_FALSE(options.SubjectField);  // not in the short file: unchanged
    SaveOptions(path, options);
    EXPECT_EQ(ReadFileBytes(path),
              std::string("\2\0\0\0\1\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\1\0\0\0", 24));
}

TEST(MessageOrder, FoldedTextAndDateOrder) {
    EXPECT_LT(CompareText("a", "b"), 0);
    EXPECT_EQ(CompareText("b", "B"), 0);
    EXPECT_LT(CompareText("Al", "alpha"), 0);  // a prefix comes first
    EXPECT_GT(CompareText("\xC4rger", "Zebra"), 0);  // bytes above 0x7F after A-Z
    EXPECT_LT(CompareText("Zebra", "_x"), 0);      // "_" (0x5F) sorts after "Z" once folded

    TMessageList list{Record("b", "", "", FileTimeUtc(2020, 1, 1, 0, 0, 0, 2)),
                      Record("a", "", "", FileTimeUtc(2020, 1, 1, 0, 0, 0, 1)),
                      Record("C", "", "", FileTimeUtc(2021, 1, 1))};
    EXPECT_EQ(SortedMessageOrder(list, ColDate, true), (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_EQ(SortedMessageOrder(list, ColDate, false), (std::vector<std::size_t>{1, 0, 2}));
    EXPECT_EQ(SortedMessageOrder(list, ColSubject, false), (std::vector<std::size_t>{1, 0, 2}));
    EXPECT_EQ(SortedMessageOrder(list, ColSubject, true), (std::vector<std::size_t>{2, 0, 1}));
    EXPECT_LT(ListView1Compare(list[1], list[0], ColDate, false), 0);  // milliseconds count
    EXPECT_GT(ListView1Compare(list[1], list[0], ColDate, true), 0);
}

}  // namespace
}  // namespace lumbrook
