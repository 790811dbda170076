// Whatever a message says, the page pipeline, saving and export write only into
// the directory they were given, and a file they cannot write is an error.
#include <gtest/gtest.h>

#include "base/Errors.h"
#include "output/Output.h"
#include "page/Page.h"
#include "tests/safety/SafetySupport.h"

namespace lumbrook::safety {
namespace {

MessageInfo recordFor(const Crafted& m) {
    MessageInfo r;
    r.subject = m.subject;
    r.from = "../from";
    r.to = "/to";
    r.date = unixTimeToFileTime(1'200'000'000);
    r.dataOffset = 1;
    return r;
}

TEST_F(SafetyTest, RenderSaveAndExportWriteOnlyIntoTheChosenDirectory) {
    const std::string dir = out.string() + "/";
    const std::string design = (root / "design.htm").string();
    writeText(design, "%%UEBERSCHRIFT%%\r\n%%INHALT%%\r\n%%UNTERSCHRIFT%%\r\n");
    const Snapshot before = snapshot(root);

    int refused = 0;
    for (const auto& m : craftedMessages()) {
        SCOPED_TRACE("subject " + m.subject);
        const MessageInfo record = recordFor(m);
        for (bool apply : {false, true}) {
            Design d;
            d.apply = apply;
            d.templatePath = apply ? design : std::string();
            try {
                renderMessagePage(m.rawText, record, d, dir, "mail.htm", nullptr);
            } catch (const FileCreateError& e) {
                // A refused Content-ID names the path it would have had.
                EXPECT_NE(e.path().find(dir), std::string::npos) << e.path();
                ++refused;
            }
        }
        for (bool date : {false, true}) {
            saveMessageAsEml(dir, record, m.rawText, date);
            for (auto format : {ExportFormat::AlwaysHtml, ExportFormat::AlwaysText,
                                ExportFormat::SameAsMail}) {
                ExportSettings s{dir, date, format, {}, {}, {}};
                try {
                    exportMessage(s, record, m.rawText);
                } catch (const FileCreateError&) {
                }
            }
        }
    }
    // Seven messages carry a Content-ID that would leave the directory; each page is refused.
    EXPECT_EQ(refused, 14);
    const Snapshot after = snapshot(root);
    EXPECT_EQ(changesOutside(before, after, outName), std::vector<std::string>{});
    EXPECT_TRUE(after.contains(outName + "/logo.gif"));
    EXPECT_TRUE(after.contains(outName + "/mail.htm"));
    // Refused parts leave no file under any name; subjects become harmless names.
    for (const auto& name : added(before, after)) {
        for (const char* part : {"cid-escape", "quoted-cid", "win-cid", "uu-escape", "/b"})
            EXPECT_EQ(name.find(part), std::string::npos) << name;
    }
    EXPECT_FALSE(fs::exists("/tmp/lumbrook-absolute-cid"));
}

// As root, permission bits stop nothing; /proc refuses new files to everyone, a
// regular file cannot hold files, and /dev/full fails every write as a full disk does.
TEST_F(SafetyTest, FilesThatCannotBeWrittenAreErrors) {
    const Crafted sound = craftedMessages()[7];
    const MessageInfo record = recordFor(sound);
    writeText(root / "plain-file", "x");
    const std::string underFile = (root / "plain-file").string() + "/";

    for (const std::string& dir : {underFile, std::string("/proc/self/")}) {
        SCOPED_TRACE(dir);
        if (!fs::exists(dir.substr(0, dir.size() - 1))) continue;
        EXPECT_THROW(saveMessageAsEml(dir, record, sound.rawText, false), SaveFailedError);
        for (auto format : {ExportFormat::AlwaysHtml, ExportFormat::AlwaysText}) {
            ExportSettings s{dir, false, format, {}, {}, {}};
            EXPECT_THROW(exportMessage(s, record, sound.rawText), FileCreateError);
        }
        EXPECT_THROW(renderMessagePage(sound.rawText, record, {}, dir, "mail.htm", nullptr),
                     FileCreateError);
    }
    if (fs::exists("/dev/full")) {
        EXPECT_THROW(
            renderMessagePage("Subject: x\r\n\r\nbody\r\n", record, {}, "/dev/", "full", nullptr),
            FileCreateError);
    }
}

}  // namespace
}  // namespace lumbrook::safety
