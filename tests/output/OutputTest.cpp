#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/Charset.h"
#include "platform/FileWriter.h"

#include "listing/MessageOrder.h"
#include "platform/Options.h"
#include "output/Output.h"
#include "output/OutputNaming.h"
#include "tests/support/RecordTestSupport.h"

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
        EXPECT_EQ(e.kind(), ErrorKind::SaveFailed);
        EXPECT_EQ(e.argument(), (root / "missing-dir/") + "Hi");
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
    EXPECT_EQ(readFileBytes(same + "html.HTM"), pageHeadElements() + "\r\n<p>page</p>\r\n");

    const auto text = exportAll(ExportFormat::AlwaysText, "text");
    EXPECT_EQ(dirEntries(text), (std::vector<std::string>{"html.txt", "plain.txt"}));
    EXPECT_EQ(readFileBytes(text + "html.txt"), "page\r\n");

    const auto pages = exportAll(ExportFormat::AlwaysHtml, "pages");
    EXPECT_EQ(dirEntries(pages), (std::vector<std::string>{"html.HTM", "plain.HTM"}));
    EXPECT_EQ(readFileBytes(pages + "plain.HTM"),
              pageHeadElements() + "\r\nline 1<BR>\r\nline 2<BR>\r\n");
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
    EXPECT_EQ(readFileBytes(root / "pic"), "PNG");
    // The second message's picture got a name of its own, and its page says so.
    EXPECT_EQ(readFileBytes(root / "pic_0"), "PNG");
    EXPECT_NE(readFileBytes(root / "Pic 12_06_26 14_05_09_0.HTM").find("<img src=\"pic_0\">"),
              std::string::npos);
    EXPECT_EQ(readFileBytes(root / "Pic 12_06_26 14_05_09.HTM"),
              pageHeadElements() + "\r\n"
              "<table><tr><td><b>Subject:</b></td><td>Pic</td></tr></table><hr><p>\r\n"
              "<img src=\"pic\">\r\n\r\n");
}

// Names that would not fit, names someone took and a file that cannot be written
// each cost at most their own attachment, never the export.
TEST(Output, AttachmentsBesideLongPagesTakenNamesAndUnwritableFilesNeverStopTheExport) {
    auto withFiles = [](const std::vector<std::string>& names) {
        std::string text = "Content-Type: multipart/mixed; boundary=m\r\n\r\n"
                           "--m\r\nContent-Type: text/html\r\n\r\n<p>Body</p>\r\n";
        for (const std::string& name : names)
            text += "--m\r\nContent-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n" +
                    name.substr(0, 8) + "\r\n";
        return text + "--m--\r\n";
    };
    TempDir root;
    ExportSettings settings;
    settings.dir = prepareOutputDir(root / "out");
    settings.dateInName = false;
    settings.attachments = true;
    // "taken_files" is someone's file, "taken_0_files" a link: the page and its
    // directory take the next suffix together, nothing goes through the link.
    std::ofstream(root / "out/taken_files") << "theirs";
    std::filesystem::create_directory_symlink(root.str(), root / "out/taken_0_files");
    const std::string longName = "a." + std::string(252, 'x');  // no room for a suffix
    exportMessage(settings, makeRecord(std::string(300, 'S')), withFiles({longName, longName}));
    exportMessage(settings, makeRecord("taken"), withFiles({"one.txt"}));
    const std::string stem = settings.dir + std::string(MaxNameBytes - 6, 'S');
    EXPECT_TRUE(std::filesystem::is_regular_file(stem + ".HTM"));
    EXPECT_EQ(readFileBytes(stem + "_files/" + longName), "a.xxxxxx");
    EXPECT_EQ(readFileBytes(stem + "_files/" + longName.substr(0, 253) + "_0"), "a.xxxxxx");
    EXPECT_EQ(readFileBytes(settings.dir + "taken_1_files/one.txt"), "one.txt");
    EXPECT_EQ(readFileBytes(settings.dir + "taken_files"), "theirs");
    EXPECT_FALSE(std::filesystem::exists(root / "one.txt"));
    EXPECT_TRUE(settings.problems.empty());

    // So deep that the long attachment's path is more than the system takes, while
    // the page and the short one fit.
    std::string deep = "deep";
    while (deep.size() < 3950)
        deep += "/" + std::string(std::min<std::size_t>(200, 3950 - deep.size() - 1), 'd');
    settings.dir = prepareOutputDir(root / deep);
    const std::string tooLong = std::string(300, 'n') + ".pdf";
    exportMessage(settings, makeRecord("deep"), withFiles({tooLong, "ok.txt"}));
    ASSERT_EQ(settings.problems.size(), 1u);
    EXPECT_NE(settings.problems[0].path().find(tooLong.substr(0, 200)), std::string::npos);
    const std::string page = readFileBytes(settings.dir + "deep.HTM");
    EXPECT_NE(page.find("deep_files/ok.txt"), std::string::npos) << page;
    EXPECT_EQ(page.find("nnnn"), std::string::npos);
}

TEST(Output, PartFilesNeverReplaceAFileAndRefusedPartsAreSkipped) {
    // A picture whose Content-ID is the page name of another message, one whose id
    // climbs out, and a sound one.
    const std::string raw =
        "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
        "<img src=\"cid:Report.HTM\"><img src=\"cid:../up\"><img src=\"cid:ok\">\r\n"
        "--b\r\nContent-ID: <Report.HTM>\r\n\r\nPART\r\n"
        "--b\r\nContent-ID: <../up>\r\n\r\nUP\r\n"
        "--b\r\nContent-ID: <ok>\r\n\r\nOK\r\n--b--\r\n";
    TempDir root;
    root.write("Report.HTM", "the user's page");
    ExportSettings settings;
    settings.dir = prepareOutputDir(root.str());
    settings.dateInName = false;
    const std::string page = exportMessage(settings, makeRecord("Report"), raw);
    EXPECT_EQ(readFileBytes(root / "Report.HTM"), "the user's page");
    EXPECT_EQ(readFileBytes(root / "Report_0.HTM"), "PART");
    EXPECT_EQ(page, root / "Report_1.HTM");
    EXPECT_NE(readFileBytes(page).find("<img src=\"Report_0.HTM\"><img src=\"cid:../up\">"
                                       "<img src=\"ok\">"),
              std::string::npos);
    ASSERT_EQ(settings.problems.size(), 1u);
    EXPECT_EQ(settings.problems[0].path(), root / "../up");
    EXPECT_FALSE(std::filesystem::exists(root / "../up"));
    // The export goes on: the next message is written as usual.
    settings.problems.clear();
    EXPECT_EQ(exportMessage(settings, makeRecord("Next"), raw), root / "Next.HTM");
    EXPECT_EQ(readFileBytes(root / "Report_2.HTM"), "PART");
}

TEST(OutputNaming, LongNamesAreShortenedAtACharacterBoundary) {
    const std::string ascii(300, 'a');
    const std::string umlauts = [] {
        std::string s;
        for (int i = 0; i < 150; ++i) s += "\xC3\xA4";
        return s;
    }();
    struct Case {
        std::string stem, suffix, ext;
        std::size_t size;
    } cases[] = {
        {ascii, "", ".eml", 255}, {ascii, "_12", ".eml", 255}, {"short", "_0", ".txt", 11},
        {umlauts, "", ".HTM", 254},  // 255 would split a character
        {umlauts, "_0", ".HTM", 254},
    };
    for (const auto& c : cases) {
        const std::string name = fitName(c.stem, c.suffix, c.ext);
        EXPECT_EQ(name.size(), c.size) << c.suffix << c.ext;
        EXPECT_TRUE(name.ends_with(c.suffix + c.ext));
        EXPECT_TRUE(isValidUtf8(name));
    }

    // A subject of 300 bytes is saved, twice, under names the file system takes.
    TempDir root;
    const std::string dir = prepareOutputDir(root.str());
    OutputNames names;
    const std::string first = saveMessageAsEml(dir, makeRecord(ascii), "x", false, names);
    const std::string second = saveMessageAsEml(dir, makeRecord(ascii), "y", false, names);
    EXPECT_EQ(first, dir + std::string(251, 'a') + ".eml");
    EXPECT_EQ(second, dir + std::string(249, 'a') + "_0.eml");
    EXPECT_EQ(readFileBytes(second), "y");
}

TEST(Output, TwoRunsIntoOneDirectoryTakeTheNextNameInsteadOfFailing) {
    TempDir root;
    const std::string dir = prepareOutputDir(root.str());
    constexpr int PerRun = 300;
    std::atomic<int> failures{0};
    auto run = [&](char tag) {
        OutputNames names;  // each run remembers only its own names
        for (int i = 0; i < PerRun; ++i) {
            try {
                saveMessageAsEml(dir, makeRecord("Same"), std::string(1000, tag), false, names);
            } catch (const SaveFailedError&) {
                ++failures;
            }
        }
    };
    std::thread a(run, 'a'), b(run, 'b');
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    const auto names = dirEntries(dir);
    EXPECT_EQ(names.size(), 2u * PerRun);
    for (const auto& name : names) {
        const std::string bytes = readFileBytes(dir + name);
        EXPECT_TRUE(bytes == std::string(1000, 'a') || bytes == std::string(1000, 'b')) << name;
    }
}

TEST(Output, AStopLeavesNoFileCutOffAndNoHalfOfAMessage) {
    const std::string raw =
        "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
        "<img src=\"cid:pic\">\r\n--b\r\nContent-ID: <pic>\r\n\r\nPNG\r\n--b--\r\n";
    TempDir root;
    const std::string dir = prepareOutputDir(root.str());
    ExportSettings settings;
    settings.dir = dir;
    requestStop(SIGTERM);
    EXPECT_THROW(saveMessageAsEml(dir, makeRecord("Saved"), "text", false), StopRequestedError);
    EXPECT_THROW(exportMessage(settings, makeRecord("Page"), raw), StopRequestedError);
    EXPECT_THROW(writeFileNew(dir + "new", std::string(3 << 20, 'x')), StopRequestedError);
    EXPECT_EQ(stopRequested(), SIGTERM);
    clearStopRequest();
    EXPECT_EQ(dirEntries(dir), std::vector<std::string>{});

    // Without a stop (a new batch), the same calls write whole files and nothing else.
    settings.names = OutputNames();
    saveMessageAsEml(dir, makeRecord("Saved"), "text", false);
    exportMessage(settings, makeRecord("Page"), raw);
    writeFileNew(dir + "new", std::string(3 << 20, 'x'));
    EXPECT_THROW(writeFileNew(dir + "new", "other"), FileCreateError);
    EXPECT_EQ(dirEntries(dir),
              (std::vector<std::string>{"Page 12_06_26 14_05_09.HTM", "Saved.eml", "new", "pic"}));
    EXPECT_EQ(std::filesystem::file_size(dir + "new"), 3u << 20);
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
    EXPECT_EQ(sortedMessageOrder(list, ColDate, false), (std::vector<std::size_t>{1, 0, 2}));  // milliseconds count
    EXPECT_EQ(sortedMessageOrder(list, ColSubject, false), (std::vector<std::size_t>{1, 0, 2}));
    EXPECT_EQ(sortedMessageOrder(list, ColSubject, true), (std::vector<std::size_t>{2, 0, 1}));
}

}  // namespace
}  // namespace lumbrook
