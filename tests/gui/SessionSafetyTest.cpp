// A whole session of the window on a store of crafted messages: start-up, every
// folder listed, every message previewed, opened, saved, exported and printed.
// Afterwards the store is as it was, byte for byte and time for time, and
// nothing was written but the chosen directory, the working files and the options.

#include <gtest/gtest.h>

#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainUnit.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "platform/browser/WebBrowser.h"
#include "store/oexpress.h"
#include "tests/safety/SafetySupport.h"
#include "windows/ExportFUnit.h"
#include "windows/ShowMailFUnit.h"

namespace lumbrook::safety {
namespace {

class SessionSafetyTest : public TSafetyTest {
  protected:
    void SetUp() override {
        TSafetyTest::SetUp();
        Program = Root / "program";
        fs::create_directories(Program / "template");
        WriteText(Program / "template" / "sign.htm",
                  "%%UEBERSCHRIFT%%\r\n%%INHALT%%\r\n%%UNTERSCHRIFT%%\r\n");
        SetStoreRootOverride(Store.string());
        SetErrorReporter([this](QWidget*, const QString&) { ++Errors; });
        SetMessageBoxHook(
            [this](QWidget*, QMessageBox::Icon, const QString&, const QString&) { ++Boxes; });
        SetModalHook([this](QDialog& dialog) {
            if (&dialog == &ExportForm) {
                ExportForm.DirectoryEdit1->SetText(QString::fromStdString(Out.string()));
                Format = (Format + 1) % 3;
                (Format == 0   ? ExportForm.AllHTMLCheck
                 : Format == 1 ? ExportForm.TXTCheck
                               : ExportForm.MixedCheck)
                    ->setChecked(true);
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        });
        ::setenv("LUMBROOK_PRINT_PDF_DIR", Out.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("LUMBROOK_PRINT_PDF_DIR");
        SetModalHook({});
        SetMessageBoxHook({});
        SetErrorReporter({});
        SetStoreRootOverride(std::nullopt);
        TSafetyTest::TearDown();
    }

    fs::path Program;
    TExportForm ExportForm;
    TShowMailForm ShowMailForm;
    int Errors = 0;
    int Boxes = 0;
    int Format = 0;
};

// What may change outside the chosen directory: the options file and the files
// directly inside the working directory.
std::vector<std::string> Unexpected(const std::vector<std::string>& changes) {
    std::vector<std::string> left;
    for (const std::string& change : changes) {
        const std::string work = "new program/Message/";
        if (change == "new program/options.dat" || change == "new program/Message" ||
            change == "changed program" || change == "changed program/Message" ||
            (change.starts_with(work) && change.find('/', work.size()) == std::string::npos)) {
            continue;
        }
        left.push_back(change);
    }
    return left;
}

TEST_F(SessionSafetyTest, AWholeSessionLeavesTheStoreAsItWas) {
    std::vector<TCrafted> messages = CraftedMessages();
    messages.push_back({"plain", "Subject: plain\r\n\r\nHello\r\n"});
    WriteStore(Store, messages);
    const TSnapshot storeBefore = Snapshot(Store);
    const TSnapshot before = Snapshot(Root);

    {
        TMainForm form(TAppPaths::ForProgram(Program.string()));
        form.SetExportForm(&ExportForm);
        form.SetShowMailForm(&ShowMailForm);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        int previewed = 0;
        for (QTreeWidgetItemIterator it(form.TreeView1); *it; ++it) {
            const QRect node = form.TreeView1->visualItemRect(*it);
            QTest::mouseClick(form.TreeView1->viewport(), Qt::LeftButton, {}, node.center());
            QTreeView* list = form.ListView1;
            for (int row = 0; row < form.ListModel->rowCount(); ++row) {
                list->scrollTo(form.ListModel->index(row, 1));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualRect(form.ListModel->index(row, 1)).center());
                ++previewed;
                form.ListView1DblClick();
                for (QToolButton* button : {form.SaveBtn, form.ExportBtn, form.ExportBtn,
                                            form.ExportBtn, form.PrintBtn}) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    EXPECT_FALSE(form.BatchRunning);
                }
            }
            // And the whole folder at once.
            form.QuitBtnClick();
            for (QToolButton* button : {form.SaveBtn, form.ExportBtn, form.PrintBtn}) {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        EXPECT_EQ(previewed, static_cast<int>(messages.size()));
        QTest::qWait(300);
    }

    // The crafted Content-IDs were refused, each with a report.
    EXPECT_GT(Errors, 0);
    EXPECT_GT(Boxes, 0);
    const TSnapshot storeAfter = Snapshot(Store);
    EXPECT_EQ(storeAfter, storeBefore);
    EXPECT_EQ(Added(storeBefore, storeAfter), std::vector<std::string>{});
    EXPECT_EQ(Unexpected(ChangesOutside(before, Snapshot(Root), OutName)),
              std::vector<std::string>{});
    // Saving, export and printing all wrote into the chosen directory.
    bool eml = false, htm = false, txt = false, pdf = false;
    for (const auto& entry : fs::directory_iterator(Out)) {
        const std::string ext = entry.path().extension().string();
        eml |= ext == ".eml";
        htm |= ext == ".HTM";
        txt |= ext == ".txt";
        pdf |= ext == ".pdf";
    }
    EXPECT_TRUE(eml && htm && txt && pdf);
}

}  // namespace
}  // namespace lumbrook::safety
