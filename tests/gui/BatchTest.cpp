// The batch commands driven through the real window: printing (into a directory
// of PDF files), saving and export, with the save/export dialog and the message
// boxes answered by the test.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "listing/MessageLabels.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/MessagePrinter.h"
#include "mainwindow/Modal.h"
#include "output/OutputNaming.h"
#include "page/Page.h"
#include "platform/browser/PageView.h"
#include "platform/browser/Printing.h"
#include "store/MailStore.h"
#include "tests/gui/WindowFixture.h"
#include "windows/MessageWindow.h"
#include "windows/SaveExportDialog.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> dirNames(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The text of a PDF file as pdftotext reads it; empty when the tool is missing.
std::string pdfText(const std::string& path) {
    const std::string txt = path + ".txt";
    const std::string command = "pdftotext -layout '" + path + "' '" + txt + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    std::string text = readFile(txt);
    std::remove(txt.c_str());
    return text;
}

bool havePdfToText() {
    return std::system("command -v pdftotext >/dev/null 2>&1") == 0;
}

class BatchTest : public WindowFixture {
  protected:
    void SetUp() override {
        ::unsetenv("LUMBROOK_PRINT_PDF_DIR");
        WindowFixture::SetUp();
        writeFolders(store.path(), {
                                       {0, std::nullopt, "Outlook Express", std::nullopt, false},
                                       {1, 0, "Local Folders", std::nullopt, false},
                                       {4, 1, "Inbox", "Inbox.dbx", true},
                                       {20, 1, "Other", "Other.dbx", false},
                                   });
        // Newest first in the list: rows 0 to 4 are Five, Four, Three, Two, One.
        std::vector<DbxMessage> inbox;
        const char* subjects[] = {"One", "Two", "Three", "Four", "Five"};
        for (int k = 0; k < 5; ++k) {
            const std::int64_t when = Jan2020 + k * 86400 + 3600 + k * 61;
            inbox.push_back(k % 2 == 1 ? htmlMessage(k + 1, "sender@example.org", subjects[k], when,
                                                     "<p>HTML-" + std::to_string(k + 1) + "</p>")
                                       : plainMessage(k + 1, "sender@example.org", subjects[k],
                                                      when, "TEXT-" + std::to_string(k + 1)));
        }
        writeMessages(store.path(), "Inbox.dbx", inbox);
        writeMessages(store.path(), "Other.dbx",
                      {plainMessage(9, "x@example.org", "Elsewhere", Jan2020, "OTHER")});
        fs::create_directories(out);
    }

    void TearDown() override {
        WindowFixture::TearDown();
        ::unsetenv("LUMBROOK_PRINT_PDF_DIR");
    }

    void open() {
        WindowFixture::open();
        form->setMessageWindow(&messageWindow);
        waitForPage();
        QObject::connect(progressBar(), &QProgressBar::valueChanged,
                         [this](int value) { progress.push_back(value); });
    }

    void selectRows(std::initializer_list<int> rows) {
        QItemSelectionModel* selection = ui->list->selectionModel();
        selection->clearSelection();
        for (int row : rows) {
            selection->select(ui->model->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    std::string rawOfRow(int row) const {
        return form->dbxStore().readMessageText(form->folderFile(), recordOfRow(row).dataOffset);
    }
    std::string stemOfRow(int row, bool withDate = true) const {
        return messageFileStem(recordOfRow(row), withDate);
    }

    QProgressBar* progressBar() const { return child<QProgressBar>(*form, "progressBar"); }

    void expectIdle() const {
        EXPECT_FALSE(form->batchRunning());
        EXPECT_FALSE(toolButton(*form, "cancelAction")->isEnabled());
        EXPECT_EQ(progressBar()->value(), 0);
    }

    // Presses Cancel as a user would: the click waits in the event queue until the
    // batch next lets window messages run.
    void queueCancelClick() const {
        QMetaObject::invokeMethod(toolButton(*form, "cancelAction"), "click", Qt::QueuedConnection);
    }

    MessageWindow messageWindow;
    std::vector<std::int32_t> progress;
};

TEST_F(BatchTest, SavingWritesEachSelectedMessageUnchanged) {
    open();
    selectRows({0, 2, 4});
    bool textOptionOff = false;
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, &saveExportDialog);
        EXPECT_TRUE(form->batchRunning());
        EXPECT_TRUE(toolButton(*form, "cancelAction")->isEnabled());
        textOptionOff = !saveExportDialog.textFormat->isEnabled();
        saveExportDialog.directoryEdit->setText(QString::fromStdString(outRoot.path() + "out/new/sub"));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    EXPECT_TRUE(textOptionOff);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(progress, (std::vector<std::int32_t>{33, 66, 100, 0}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes[0].caption, "Saving finished");
    EXPECT_EQ(boxes[0].text, "There became 3 messages saved!");
    expectIdle();

    // A directory without its separator, not there yet, is made with its parents;
    // each file is the store's raw text, byte for byte, named with the date text.
    const std::string dir = outRoot.path() + "out/new/sub/";
    EXPECT_EQ(stemOfRow(0), "Five 01_05_20 01_04_04");
    EXPECT_EQ(dirNames(dir),
              (std::vector<std::string>{"Five 01_05_20 01_04_04.eml", "One 01_01_20 01_00_00.eml",
                                        "Three 01_03_20 01_02_02.eml"}));
    for (int row : {0, 2, 4}) EXPECT_EQ(readFile(dir + stemOfRow(row) + ".eml"), rawOfRow(row));

    // Without the date, the same message twice: the second name gets the suffix.
    selectRows({1});
    onDialog = [&](QDialog&) {
        saveExportDialog.dateInNames->setChecked(false);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    EXPECT_TRUE(exists(dir + "Four.eml"));
    EXPECT_TRUE(exists(dir + "Four_0.eml"));
    EXPECT_EQ(readFile(dir + "Four_0.eml"), rawOfRow(1));
}

TEST_F(BatchTest, AFileThatCannotBeCreatedIsReportedAndSavingGoesOn) {
    // A message larger than the file size limit set below: its file runs out of
    // room as on a full disk.
    writeMessages(store.path(), "Inbox.dbx",
                  {plainMessage(1, "a@example.org", "First", Jan2020 + 300, "A"),
                   plainMessage(2, "a@example.org", "Big", Jan2020 + 200, std::string(65536, 'B')),
                   plainMessage(3, "a@example.org", "Third", Jan2020 + 100, "C")});
    open();
    selectRows({0, 1, 2});
    onDialog = [&](QDialog&) {
        saveExportDialog.directoryEdit->setText(QString::fromStdString(out));
        saveExportDialog.dateInNames->setChecked(false);
        return int(QDialog::Accepted);
    };
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = oldLimit;
    limit.rlim_cur = 16384;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].caption, "");  // the application's name stands as the title
    EXPECT_EQ(boxes[0].text, "The file \"" + out + "Big\" could not be created!");
    EXPECT_EQ(boxes[1].text, "There became 2 messages saved!");
    // The failed file is not counted, but the bar moves on after it as well.
    EXPECT_EQ(progress, (std::vector<std::int32_t>{33, 66, 0}));
    EXPECT_EQ(dirNames(out), (std::vector<std::string>{"First.eml", "Third.eml"}));
    EXPECT_TRUE(errors.empty());
    expectIdle();
}

TEST_F(BatchTest, ExportFollowsTheDialogAndTheOptionsStrip) {
    open();
    // Rows 0 (Five, plain) and 1 (Four, HTML).
    selectRows({0, 1});
    onDialog = [&](QDialog&) {
        EXPECT_TRUE(saveExportDialog.textFormat->isEnabled());
        saveExportDialog.directoryEdit->setText(QString::fromStdString(out));
        saveExportDialog.dateInNames->setChecked(false);
        saveExportDialog.sameFormat->setChecked(true);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "exportAction"), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Export finished");
    EXPECT_EQ(boxes[0].text, "There became 2 messages exported!");
    EXPECT_EQ(progress, (std::vector<std::int32_t>{50, 100, 0}));
    EXPECT_EQ(dirNames(out), (std::vector<std::string>{"Five.txt", "Four.HTM"}));
    EXPECT_EQ(readFile(out + "Five.txt"), "TEXT-5\r\n");
    // The design of the options strip: header table and the chosen template.
    std::string page = readFile(out + "Four.HTM");
    EXPECT_NE(page.find("<b>From:</b>"), std::string::npos);
    EXPECT_NE(page.find("<p>HTML-4</p>"), std::string::npos);
    EXPECT_NE(page.find("Four of sender@example.org to reader@example.org from "),
              std::string::npos);

    // "Show preview with complete design " cleared: the bare page; the text option
    // makes a text file of an HTML message.
    QTest::mouseClick(child<QCheckBox>(*form, "previewWithDesign"), Qt::LeftButton);
    onDialog = [&](QDialog&) {
        saveExportDialog.htmlFormat->setChecked(true);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "exportAction"), Qt::LeftButton);
    // Every page starts with its charset and policy.
    const std::string head = pageHeadElements() + "\r\n";
    EXPECT_EQ(readFile(out + "Four_0.HTM"), head + "<p>HTML-4</p>\r\n");
    EXPECT_EQ(readFile(out + "Five.HTM"), head + "TEXT-5<BR>\r\n");
    onDialog = [&](QDialog&) {
        saveExportDialog.textFormat->setChecked(true);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "exportAction"), Qt::LeftButton);
    EXPECT_EQ(readFile(out + "Four.txt"), "HTML-4\r\n");
    EXPECT_EQ(boxes.back().text, "There became 2 messages exported!");

    // A file that cannot be created ends the export with the standard error box,
    // without a completion box, and leaves the window idle.
    boxes.clear();
    writeFile(outRoot.path() + "blocker", "a file, not a directory");
    onDialog = [&](QDialog&) {
        saveExportDialog.directoryEdit->setText(QString::fromStdString(outRoot.path() + "blocker/x"));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "exportAction"), Qt::LeftButton);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0],
              "Datei " + outRoot.path() + "blocker/x/Five.txt kann nicht erstellt werden");
    EXPECT_TRUE(boxes.empty());
    expectIdle();
}

TEST_F(BatchTest, CancelTakesEffectBeforeTheNextMessage) {
    open();
    // Saving and export: Cancel pressed while the first of five is written is
    // handled before the second is written, after the second's cancel test: two.
    for (QToolButton* button : {toolButton(*form, "saveAction"), toolButton(*form, "exportAction")}) {
        fs::remove_all(out);
        selectRows({0, 1, 2, 3, 4});
        boxes.clear();
        bool pressed = false;
        const auto connection = QObject::connect(progressBar(), &QProgressBar::valueChanged, [&] {
            if (!std::exchange(pressed, true)) queueCancelClick();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QObject::disconnect(connection);
        EXPECT_EQ(dirNames(out).size(), 2u) << button->text().toStdString();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find("There became 2 messages "), std::string::npos);
        expectIdle();
    }

    // Printing: Cancel pressed while the first page is being printed; that page is
    // finished, no other is touched.
    ::setenv("LUMBROOK_PRINT_PDF_DIR", (outRoot.path() + "pdf").c_str(), 1);
    selectRows({0, 1, 2, 3, 4});
    boxes.clear();
    bool pressed = false;
    const auto connection =
        QObject::connect(child<PageView>(*form, "printView"), &PageView::downloadComplete, [&] {
            if (!std::exchange(pressed, true)) queueCancelClick();
        });
    QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
    QObject::disconnect(connection);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(dirNames(outRoot.path() + "pdf"), std::vector<std::string>{stemOfRow(0) + ".pdf"});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "There became 1 messages printed!");
    EXPECT_EQ(boxes[0].caption, "Printing finished");
    expectIdle();

    // A new batch clears the request left over.
    boxes.clear();
    selectRows({4});
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "There became 1 messages saved!");
}

TEST_F(BatchTest, QuittingStopsTheBatchWithoutAReport) {
    open();
    selectRows({0, 1, 2, 3, 4});
    bool pressed = false;
    const auto connection = QObject::connect(progressBar(), &QProgressBar::valueChanged, [&] {
        if (!std::exchange(pressed, true)) {
            QMetaObject::invokeMethod(child<QAction>(*form, "quitAction"), "trigger",
                                      Qt::QueuedConnection);
        }
    });
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    QObject::disconnect(connection);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dirNames(out).size(), 2u);
    EXPECT_TRUE(boxes.empty());
    expectIdle();
}

TEST_F(BatchTest, ARunningBatchIgnoresOtherBatchesAndKeepsItsFolder) {
    open();
    selectRows({0, 1});
    QTreeWidgetItem* inbox = ui->tree->currentItem();
    ASSERT_NE(inbox, nullptr);
    onDialog = [&](QDialog&) {
        // While the dialog is open the batch runs: every batch button is ignored,
        // and another folder is not listed under it.
        QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
        QTest::mouseClick(toolButton(*form, "exportAction"), Qt::LeftButton);
        QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
        const auto other = ui->tree->findItems(QStringLiteral("Other"),
                                                      Qt::MatchStartsWith | Qt::MatchRecursive);
        EXPECT_EQ(other.size(), 1);
        const QRect rect = ui->tree->visualItemRect(other.front());
        QTest::mouseClick(ui->tree->viewport(), Qt::LeftButton, {}, rect.center());
        EXPECT_EQ(form->folderFile(), "Inbox.dbx");
        EXPECT_EQ(ui->tree->currentItem(), inbox);
        EXPECT_EQ(ui->model->rowCount(), 5);
        saveExportDialog.directoryEdit->setText(QString::fromStdString(out));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    EXPECT_EQ(dialogs, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "There became 2 messages saved!");
    expectIdle();

    // Idle again: the folder can be changed.
    const auto other =
        ui->tree->findItems(QStringLiteral("Other"), Qt::MatchStartsWith | Qt::MatchRecursive);
    QTest::mouseClick(ui->tree->viewport(), Qt::LeftButton, {},
                      ui->tree->visualItemRect(other.front()).center());
    EXPECT_EQ(form->folderFile(), "Other.dbx");
}

TEST_F(BatchTest, ACancelledDialogOrNoSelectionEndsQuietly) {
    open();
    // The dialog closed with Cancel: nothing written, no completion box.
    selectRows({0});
    onDialog = [](QDialog&) { return int(QDialog::Rejected); };
    for (QToolButton* button : {toolButton(*form, "saveAction"), toolButton(*form, "exportAction")}) {
        QTest::mouseClick(button, Qt::LeftButton);
        expectIdle();
    }
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(dirNames(out).empty());

    // No selection: no dialog, no box, for every command.
    ::setenv("LUMBROOK_PRINT_PDF_DIR", (outRoot.path() + "pdf").c_str(), 1);
    ui->list->selectionModel()->clearSelection();
    for (QToolButton* button : {toolButton(*form, "saveAction"), toolButton(*form, "exportAction"), toolButton(*form, "printAction")}) {
        QTest::mouseClick(button, Qt::LeftButton);
        expectIdle();
    }
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(progress.empty());

    // And the next command works normally.
    selectRows({0});
    onDialog = [&](QDialog&) {
        saveExportDialog.directoryEdit->setText(QString::fromStdString(out));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(toolButton(*form, "saveAction"), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "There became 1 messages saved!");
}

TEST_F(BatchTest, PrintingWritesOnePdfPerMessageWithTheDressedPage) {
    if (!havePdfToText()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const std::string pdf = outRoot.path() + "pdf/";
    ::setenv("LUMBROOK_PRINT_PDF_DIR", pdf.c_str(), 1);
    open();
    // Printing dresses the page even with "Show preview with complete design " cleared.
    QTest::mouseClick(child<QCheckBox>(*form, "previewWithDesign"), Qt::LeftButton);
    QTest::qWait(200);
    const QString shown = ui->view->locationUrl();
    selectRows({0, 1, 3});
    QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes[0].caption, "Printing finished");
    EXPECT_EQ(boxes[0].text, "There became 3 messages printed!");
    EXPECT_EQ(progress, (std::vector<std::int32_t>{33, 66, 100, 0}));
    expectIdle();

    ASSERT_EQ(dirNames(pdf), (std::vector<std::string>{stemOfRow(0) + ".pdf", stemOfRow(1) + ".pdf",
                                                       stemOfRow(3) + ".pdf"}));
    const std::string five = pdfText(pdf + stemOfRow(0) + ".pdf");
    for (const char* part : {"From:", "To:", "Date:", "Subject:", "sender@example.org", "TEXT-5",
                             "Five of sender@example.org to reader@example.org from"}) {
        EXPECT_NE(five.find(part), std::string::npos) << part << " in\n" << five;
    }
    EXPECT_NE(five.find(messageDateText(recordOfRow(0))), std::string::npos);
    EXPECT_NE(pdfText(pdf + stemOfRow(1) + ".pdf").find("HTML-4"), std::string::npos);
    EXPECT_NE(pdfText(pdf + stemOfRow(3) + ".pdf").find("HTML-2"), std::string::npos);

    // The preview was not touched; the print page is a working file.
    EXPECT_EQ(ui->view->locationUrl(), shown);
    const auto& files = form->workingFiles().paths();
    EXPECT_NE(std::find(files.begin(), files.end(), program.paths.workDir + "print.htm"),
              files.end());

    // The same messages again: the names get the collision suffix.
    selectRows({0});
    QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
    EXPECT_TRUE(exists(pdf + stemOfRow(0) + "_0.pdf"));
}

TEST_F(BatchTest, PageSetupWithoutAPrinterChoosesThePdfPages) {
    const std::string pdf = outRoot.path() + "pdf/";
    ::setenv("LUMBROOK_PRINT_PDF_DIR", pdf.c_str(), 1);
    open();
    onDialog = [&](QDialog& dialog) {
        auto* setup = dynamic_cast<PageLayoutDialog*>(&dialog);
        EXPECT_NE(setup, nullptr);
        if (!setup) return int(QDialog::Rejected);
        EXPECT_EQ(setup->paperBox->currentText(), QPageSize::name(QPageSize::A4));
        setup->landscapeBtn->setChecked(true);
        setup->paperBox->setCurrentIndex(setup->paperBox->findText(QPageSize::name(QPageSize::A5)));
        setup->leftMargin->setValue(25);
        return int(QDialog::Accepted);
    };
    // No message needs to be selected for it.
    ui->list->selectionModel()->clearSelection();
    QTest::mouseClick(toolButton(*form, "printerSetupAction"), Qt::LeftButton);
    EXPECT_EQ(dialogs, 1);
    const QPageLayout layout = form->printer().setup().pageLayout();
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A5);
    EXPECT_DOUBLE_EQ(layout.margins(QPageLayout::Millimeter).left(), 25.0);

    // The next print follows it: an A5 page on its side (595 x 420 points).
    selectRows({0});
    QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
    ASSERT_EQ(dirNames(pdf).size(), 1u);
    const std::string info = outRoot.path() + "info.txt";
    if (std::system(
            ("pdfinfo '" + pdf + dirNames(pdf)[0] + "' > '" + info + "' 2>/dev/null").c_str()) ==
        0) {
        const std::string text = readFile(info);
        const auto at = text.find("Page size:");
        ASSERT_NE(at, std::string::npos) << text;
        double width = 0, height = 0;
        ASSERT_EQ(std::sscanf(text.c_str() + at, "Page size: %lf x %lf", &width, &height), 2);
        EXPECT_NEAR(width, 595.3, 1.0) << text;
        EXPECT_NEAR(height, 419.5, 1.0) << text;
    }
}

TEST_F(BatchTest, WithoutAPrinterPrintingSaysSoAndPrintsNothing) {
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) GTEST_SKIP() << "a printer is installed";
    open();
    selectRows({0, 1});
    QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_NE(boxes[0].text.find("No printer is installed"), std::string::npos);
    EXPECT_NE(boxes[0].text.find("LUMBROOK_PRINT_PDF_DIR"), std::string::npos);
    EXPECT_TRUE(progress.empty());
    EXPECT_FALSE(exists(program.paths.workDir + "print.htm"));
    expectIdle();

    QTest::mouseClick(toolButton(*form, "printerSetupAction"), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, boxes[0].text);
    EXPECT_EQ(dialogs, 0);
}

TEST_F(BatchTest, APageThatCannotBePrintedEndsTheBatchUncounted) {
    // The PDF directory lies under a file: nothing can be written there.
    writeFile(outRoot.path() + "blocker", "x");
    ::setenv("LUMBROOK_PRINT_PDF_DIR", (outRoot.path() + "blocker/pdf").c_str(), 1);
    open();
    selectRows({0, 1, 2});
    QTest::mouseClick(toolButton(*form, "printAction"), Qt::LeftButton);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Datei " + outRoot.path() + "blocker/pdf/" + stemOfRow(0) +
                             ".pdf kann nicht erstellt werden");
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(progress.empty() || progress == std::vector<std::int32_t>{0});
    expectIdle();
}

TEST_F(BatchTest, TheMessageWindowShowsThePreviewsPage) {
    open();
    writeMessages(store.path(), "Other.dbx",
                  {plainMessage(9, "x@example.org", "", Jan2020 + 7200, "NO-SUBJECT")});
    std::vector<std::string> seen;
    onDialog = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, &messageWindow);
        QSignalSpy loaded(messageWindow.pageView, &PageView::downloadComplete);
        EXPECT_TRUE(loaded.wait(15000));
        seen = {messageWindow.windowTitle().toStdString(),
                messageWindow.fromField->text().toStdString(),
                messageWindow.dateField->text().toStdString(),
                messageWindow.toField->text().toStdString(),
                messageWindow.subjectField->text().toStdString(),
                messageWindow.pageView->locationUrl().toStdString()};
        return int(QDialog::Rejected);
    };
    // With several rows selected, the first selected one in list order.
    QSignalSpy preview(ui->view, &PageView::downloadComplete);
    selectRows({3, 2});
    ASSERT_TRUE(preview.wait(15000));
    emit ui->list->doubleClicked(QModelIndex());
    ASSERT_EQ(dialogs, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"Three", "sender@example.org",
                                              messageDateText(recordOfRow(2)), "reader@example.org",
                                              "Three", program.mailPage()}));
    EXPECT_NE(readFile(program.mailPage()).find("TEXT-3"), std::string::npos);
    // Closed: its browser goes blank.
    QSignalSpy blank(messageWindow.pageView, &PageView::downloadComplete);
    ASSERT_TRUE(blank.wait(15000));
    EXPECT_TRUE(messageWindow.pageView->locationUrl().isEmpty());

    // An empty subject gives the caption "eMail message" and an empty field.
    const auto other =
        ui->tree->findItems(QStringLiteral("Other"), Qt::MatchStartsWith | Qt::MatchRecursive);
    QTest::mouseClick(ui->tree->viewport(), Qt::LeftButton, {},
                      ui->tree->visualItemRect(other.front()).center());
    QTreeView* list = ui->list;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(ui->model->index(0, 1)).center());
    ASSERT_TRUE(preview.wait(15000));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualRect(ui->model->index(0, 1)).center());
    ASSERT_EQ(dialogs, 2);
    EXPECT_EQ(seen[0], "eMail message");
    EXPECT_EQ(seen[4], "");
    EXPECT_NE(readFile(program.mailPage()).find("NO-SUBJECT"), std::string::npos);

    // A double click below the rows (no selection) opens nothing.
    ui->list->selectionModel()->clearSelection();
    emit ui->list->doubleClicked(QModelIndex());
    EXPECT_EQ(dialogs, 2);
}

}  // namespace
}  // namespace lumbrook
