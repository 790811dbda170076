// Whatever a message says, the page pipeline, saving and export write only into
// the directory they were given, and a file they cannot write is an error.
#include <gtest/gtest.h>

#include "base/Errors.h"
#include "render/Output.h"
#include "render/Render.h"
#include "tests/safety/SafetySupport.h"

namespace lumbrook::safety {
namespace {

Toe5_MessageInfo RecordFor(const TCrafted& m) {
    Toe5_MessageInfo r;
    r.Subject = m.Subject;
    r.From = "../from";
    r.To = "/to";
    r.Date = UnixTimeToFileTime(1'200'000'000);
    r.DataOffset = 1;
    return r;
}

TEST_F(TSafetyTest, RenderSaveAndExportWriteOnlyIntoTheChosenDirectory) {
    const std::string dir = Out.string() + "/";
    const std::string design = (Root / "design.htm").string();
    WriteText(design, "%%UEBERSCHRIFT%%\r\n%%INHALT%%\r\n%%UNTERSCHRIFT%%\r\n");
    const TSnapshot before = Snapshot(Root);

    int refused = 0;
    for (const auto& m : CraftedMessages()) {
        SCOPED_TRACE("subject " + m.Subject);
        const Toe5_MessageInfo record = RecordFor(m);
        for (bool apply : {false, true}) {
            TDesign d;
            d.Apply = apply;
            d.TemplatePath = apply ? design : std::string();
            try {
                RenderMessagePage(m.RawText, record, d, dir, "mail.htm", nullptr);
            } catch (const EFCreateError& e) {
                // A refused Content-ID names the path it would have had.
                EXPECT_NE(std::string(e.what()).find(dir), std::string::npos) << e.what();
                ++refused;
            }
        }
        for (bool date : {false, true}) {
            SaveMessageAsEml(dir, record, m.RawText, date);
            for (auto format : {TExportFormat::AlwaysHtml, TExportFormat::AlwaysText,
                                TExportFormat::SameAsMail}) {
                TExportSettings s{dir, date, format, {}};
                try {
                    ExportMessage(s, record, m.RawText);
                } catch (const EFCreateError&) {
                }
            }
        }
    }
    // Seven messages carry a Content-ID that would leave the directory; each page is refused.
    EXPECT_EQ(refused, 14);
    const TSnapshot after = Snapshot(Root);
    EXPECT_EQ(ChangesOutside(before, after, OutName), std::vector<std::string>{});
    EXPECT_TRUE(after.contains(OutName + "/logo.gif"));
    EXPECT_TRUE(after.contains(OutName + "/mail.htm"));
    // Refused parts leave no file under any name; subjects become harmless names.
    for (const auto& name : Added(before, after)) {
        for (const char* part : {"cid-escape", "quoted-cid", "win-cid", "uu-escape", "/b"})
            EXPECT_EQ(name.find(part), std::string::npos) << name;
    }
    EXPECT_FALSE(fs::exists("/tmp/lumbrook-absolute-cid"));
}

// As root, permission bits stop nothing; /proc refuses new files to everyone, a
// regular file cannot hold files, and /dev/full fails every write as a full disk does.
TEST_F(TSafetyTest, FilesThatCannotBeWrittenAreErrors) {
    const TCrafted sound = CraftedMessages()[7];
    const Toe5_MessageInfo record = RecordFor(sound);
    WriteText(Root / "plain-file", "x");
    const std::string underFile = (Root / "plain-file").string() + "/";

    for (const std::string& dir : {underFile, std::string("/proc/self/")}) {
        SCOPED_TRACE(dir);
        if (!fs::exists(dir.substr(0, dir.size() - 1))) continue;
        EXPECT_THROW(SaveMessageAsEml(dir, record, sound.RawText, false), ESaveFailed);
        for (auto format : {TExportFormat::AlwaysHtml, TExportFormat::AlwaysText}) {
            TExportSettings s{dir, false, format, {}};
            EXPECT_THROW(ExportMessage(s, record, sound.RawText), EFCreateError);
        }
        EXPECT_THROW(RenderMessagePage(sound.RawText, record, {}, dir, "mail.htm", nullptr),
                     EFCreateError);
    }
    if (fs::exists("/dev/full")) {
        EXPECT_THROW(
            RenderMessagePage("Subject: x\r\n\r\nbody\r\n", record, {}, "/dev/", "full", nullptr),
            EFCreateError);
    }
}

}  // namespace
}  // namespace lumbrook::safety
