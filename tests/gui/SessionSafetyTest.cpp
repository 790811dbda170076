// A whole session of the window on a store of crafted messages: start-up, every
// folder listed, every message previewed, opened, saved, exported and printed.
// Afterwards the store is as it was, byte for byte and time for time, and
// nothing was written but the chosen directory, the working files and the options.

#include <gtest/gtest.h>

#include <QAction>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "platform/browser/PageView.h"
#include "store/MailStore.h"
#include "tests/gui/GuiTestStore.h"
#include "tests/safety/SafetySupport.h"
#include "windows/SaveExportDialog.h"
#include "windows/MessageWindow.h"

namespace lumbrook::safety {
namespace {

class SessionSafetyTest : public SafetyTest {
  protected:
    void SetUp() override {
        SafetyTest::SetUp();
        program = root / "program";
        fs::create_directories(program / "template");
        writeText(program / "template" / "sign.htm",
                  "%%UEBERSCHRIFT%%\r\n%%INHALT%%\r\n%%UNTERSCHRIFT%%\r\n");
        setErrorReporter([this](QWidget*, const QString&) { ++errors; });
        setMessageBoxHook(
            [this](QWidget*, QMessageBox::Icon, const QString&, const QString&) { ++boxes; });
        setModalHook([this](QDialog& dialog) {
            if (&dialog == &saveExportDialog) {
                saveExportDialog.directoryEdit->setText(QString::fromStdString(out.string()));
                format = (format + 1) % 3;
                (format == 0   ? saveExportDialog.htmlFormat
                 : format == 1 ? saveExportDialog.textFormat
                               : saveExportDialog.sameFormat)
                    ->setChecked(true);
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        });
        ::setenv("LUMBROOK_PRINT_PDF_DIR", out.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("LUMBROOK_PRINT_PDF_DIR");
        setModalHook({});
        setMessageBoxHook({});
        setErrorReporter({});
        SafetyTest::TearDown();
    }

    fs::path program;
    SaveExportDialog saveExportDialog;
    MessageWindow messageWindow;
    int errors = 0;
    int boxes = 0;
    int format = 0;
};

// What may change outside the chosen directory: the options file and the files
// directly inside the working directory; inside it, export's "<page>_files"
// directories of attachments, one level deep.
std::vector<std::string> unexpected(const std::vector<std::string>& changes) {
    std::vector<std::string> left;
    auto attachmentsDir = [](const std::string& change) {
        const std::string out = "new home/user/out/";
        if (!change.starts_with(out)) return false;
        const std::string rest = change.substr(out.size());
        const std::size_t slash = rest.find('/');
        const std::string dir = rest.substr(0, slash);
        return dir.ends_with("_files") &&
               (slash == std::string::npos || rest.find('/', slash + 1) == std::string::npos);
    };
    for (const std::string& change : changes) {
        const std::string work = "new program/Message/";
        if (change == "new program/options.dat" || change == "new program/Message" ||
            change == "changed program" || change == "changed program/Message" ||
            (change.starts_with(work) && change.find('/', work.size()) == std::string::npos) ||
            attachmentsDir(change)) {
            continue;
        }
        left.push_back(change);
    }
    return left;
}

TEST_F(SessionSafetyTest, AWholeSessionLeavesTheStoreAsItWas) {
    std::vector<Crafted> messages = craftedMessages();
    messages.push_back({"plain", "Subject: plain\r\n\r\nHello\r\n"});
    writeStore(store, messages);
    const Snapshot storeBefore = snapshot(store);
    const Snapshot before = snapshot(root);

    {
        MainWindow form(MailStore(store.string()), AppPaths::forProgram(program.string()));
        const MainWindowControls ui(form);
        form.setSaveExportDialog(&saveExportDialog);
        form.setMessageWindow(&messageWindow);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        int previewed = 0;
        for (QTreeWidgetItemIterator it(ui.tree); *it; ++it) {
            const QRect node = ui.tree->visualItemRect(*it);
            QTest::mouseClick(ui.tree->viewport(), Qt::LeftButton, {}, node.center());
            QTreeView* list = ui.list;
            for (int row = 0; row < ui.model->rowCount(); ++row) {
                list->scrollTo(ui.model->index(row, 1));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualRect(ui.model->index(row, 1)).center());
                ++previewed;
                emit ui.list->doubleClicked(QModelIndex());
                for (QToolButton* button : {toolButton(form, "saveAction"), toolButton(form, "exportAction"), toolButton(form, "exportAction"),
                                            toolButton(form, "exportAction"), toolButton(form, "printAction")}) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    EXPECT_FALSE(form.batchRunning());
                }
            }
            // And the whole folder at once.
            child<QAction>(form, "selectAllAction")->trigger();
            for (QToolButton* button : {toolButton(form, "saveAction"), toolButton(form, "exportAction"), toolButton(form, "printAction")}) {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        EXPECT_EQ(previewed, static_cast<int>(messages.size()));
        QTest::qWait(300);
    }

    // The crafted Content-IDs were refused, each with a report.
    EXPECT_GT(errors, 0);
    EXPECT_GT(boxes, 0);
    const Snapshot storeAfter = snapshot(store);
    EXPECT_EQ(storeAfter, storeBefore);
    EXPECT_EQ(added(storeBefore, storeAfter), std::vector<std::string>{});
    EXPECT_EQ(unexpected(changesOutside(before, snapshot(root), outName)),
              std::vector<std::string>{});
    // Saving, export and printing all wrote into the chosen directory.
    bool eml = false, htm = false, txt = false, pdf = false;
    for (const auto& entry : fs::directory_iterator(out)) {
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
