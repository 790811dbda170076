// The batch commands driven through the real window: printing (into a directory
// of PDF files), saving and export, with the save/export dialog and the message
// boxes answered by the test.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPainter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "mainwindow/BatchFrame.h"
#include "mainwindow/Controls.h"
#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainUnit.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"
#include "platform/browser/Printing.h"
#include "platform/browser/WebBrowser.h"
#include "render/OutputNaming.h"
#include "store/oexpress.h"
#include "tests/gui/GuiTestStore.h"
#include "windows/ExportFUnit.h"
#include "windows/ShowMailFUnit.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t Jan2020 = 1'577'836'800;

struct TBox {
    QMessageBox::Icon Icon;
    std::string Caption;
    std::string Text;
};

std::vector<std::string> DirNames(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The text of a PDF file as pdftotext reads it; empty when the tool is missing.
std::string PdfText(const std::string& path) {
    const std::string txt = path + ".txt";
    const std::string command = "pdftotext -layout '" + path + "' '" + txt + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    std::string text = ReadFile(txt);
    std::remove(txt.c_str());
    return text;
}

bool HavePdfToText() {
    return std::system("command -v pdftotext >/dev/null 2>&1") == 0;
}

class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::unsetenv("LUMBROOK_PRINT_PDF_DIR");
        SetStoreRootOverride(Store.Path());
        PreviousReporter = SetErrorReporter(
            [this](QWidget*, const QString& text) { Errors.push_back(text.toStdString()); });
        PreviousBoxHook = SetMessageBoxHook(
            [this](QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text) {
                Boxes.push_back({icon, caption.toStdString(), text.toStdString()});
            });
        PreviousModalHook = SetModalHook([this](QDialog& dialog) {
            ++Dialogs;
            return OnDialog ? OnDialog(dialog) : int(QDialog::Rejected);
        });
        // By default the dialog is answered with the output directory and OK.
        OnDialog = [this](QDialog& dialog) {
            if (&dialog != &ExportForm) return int(QDialog::Rejected);
            ExportForm.DirectoryEdit1->SetText(QString::fromStdString(Out));
            return int(QDialog::Accepted);
        };
        WriteFolders(Store.Path(), {
                                       {0, std::nullopt, "Outlook Express", std::nullopt, false},
                                       {1, 0, "Local Folders", std::nullopt, false},
                                       {4, 1, "Inbox", "Inbox.dbx", true},
                                       {20, 1, "Other", "Other.dbx", false},
                                   });
        // Newest first in the list: rows 0 to 4 are Five, Four, Three, Two, One.
        std::vector<TDbxMessage> inbox;
        const char* subjects[] = {"One", "Two", "Three", "Four", "Five"};
        for (int k = 0; k < 5; ++k) {
            const std::int64_t when = Jan2020 + k * 86400 + 3600 + k * 61;
            inbox.push_back(k % 2 == 1 ? HtmlMessage(k + 1, "sender@example.org", subjects[k], when,
                                                     "<p>HTML-" + std::to_string(k + 1) + "</p>")
                                       : PlainMessage(k + 1, "sender@example.org", subjects[k],
                                                      when, "TEXT-" + std::to_string(k + 1)));
        }
        WriteMessages(Store.Path(), "Inbox.dbx", inbox);
        WriteMessages(Store.Path(), "Other.dbx",
                      {PlainMessage(9, "x@example.org", "Elsewhere", Jan2020, "OTHER")});
        fs::create_directories(Out);
    }

    void TearDown() override {
        Form.reset();
        SetModalHook(PreviousModalHook);
        SetMessageBoxHook(PreviousBoxHook);
        SetErrorReporter(PreviousReporter);
        SetStoreRootOverride(std::nullopt);
        ::unsetenv("LUMBROOK_PRINT_PDF_DIR");
    }

    void Open() {
        Form = std::make_unique<TMainForm>(Program.Paths);
        Form->SetExportForm(&ExportForm);
        Form->SetShowMailForm(&ShowMailForm);
        QSignalSpy loaded(Form->WebBrowser1, &TWebBrowser::DownloadComplete);
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        if (loaded.isEmpty()) {
            ASSERT_TRUE(loaded.wait(15000));
        }
        QObject::connect(Form.get(), &TMainForm::ProStatusSet,
                         [this](std::int32_t value) { Progress.push_back(value); });
    }

    void SelectRows(std::initializer_list<int> rows) {
        QItemSelectionModel* selection = Form->ListView1->selectionModel();
        selection->clearSelection();
        for (int row : rows) {
            selection->select(Form->ListModel->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    const Toe5_MessageInfo& RecordOfRow(int row) const {
        return Form->MessageList[Form->ListModel->RecordIndex(row)];
    }
    std::string RawOfRow(int row) const {
        return ReadMessageText(Form->FolderFile, RecordOfRow(row).DataOffset);
    }
    std::string StemOfRow(int row, bool withDate = true) const {
        return MessageFileStem(RecordOfRow(row), withDate);
    }

    void ExpectIdle() const {
        EXPECT_FALSE(Form->BatchRunning);
        EXPECT_FALSE(Form->CancelBtn->isEnabled());
        EXPECT_EQ(Form->ProStatus, 0);
    }

    // Presses Cancel as a user would: the click waits in the event queue until the
    // batch next lets window messages run.
    void QueueCancelClick() const {
        QMetaObject::invokeMethod(Form->CancelBtn, "click", Qt::QueuedConnection);
    }

    TTempDir Store;
    TTestProgram Program;
    TTempDir OutRoot;
    const std::string Out = OutRoot.Path() + "out/";
    TExportForm ExportForm;
    TShowMailForm ShowMailForm;
    std::unique_ptr<TMainForm> Form;

    std::vector<std::string> Errors;
    std::vector<TBox> Boxes;
    std::vector<std::int32_t> Progress;
    int Dialogs = 0;
    std::function<int(QDialog&)> OnDialog;

    TErrorReporter PreviousReporter;
    TMessageBoxHook PreviousBoxHook;
    TModalHook PreviousModalHook;
};

TEST_F(BatchTest, SavingWritesEachSelectedMessageUnchanged) {
    Open();
    SelectRows({0, 2, 4});
    bool textOptionOff = false;
    OnDialog = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, &ExportForm);
        EXPECT_TRUE(Form->BatchRunning);
        EXPECT_TRUE(Form->CancelBtn->isEnabled());
        textOptionOff = !ExportForm.TXTCheck->isEnabled();
        ExportForm.DirectoryEdit1->SetText(QString::fromStdString(OutRoot.Path() + "out/new/sub"));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    EXPECT_TRUE(textOptionOff);
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(Progress, (std::vector<std::int32_t>{33, 66, 100, 0}));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Icon, QMessageBox::Information);
    EXPECT_EQ(Boxes[0].Caption, "Saving finished");
    EXPECT_EQ(Boxes[0].Text, "There became 3 messages saved!");
    ExpectIdle();

    // A directory without its separator, not there yet, is made with its parents;
    // each file is the store's raw text, byte for byte, named with the date text.
    const std::string dir = OutRoot.Path() + "out/new/sub/";
    EXPECT_EQ(StemOfRow(0), "Five 01_05_20 01_04_04");
    EXPECT_EQ(DirNames(dir),
              (std::vector<std::string>{"Five 01_05_20 01_04_04.eml", "One 01_01_20 01_00_00.eml",
                                        "Three 01_03_20 01_02_02.eml"}));
    for (int row : {0, 2, 4}) EXPECT_EQ(ReadFile(dir + StemOfRow(row) + ".eml"), RawOfRow(row));

    // Without the date, the same message twice: the second name gets the suffix.
    SelectRows({1});
    OnDialog = [&](QDialog&) {
        ExportForm.datecheck->setChecked(false);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    EXPECT_TRUE(Exists(dir + "Four.eml"));
    EXPECT_TRUE(Exists(dir + "Four_0.eml"));
    EXPECT_EQ(ReadFile(dir + "Four_0.eml"), RawOfRow(1));
}

TEST_F(BatchTest, AFileThatCannotBeCreatedIsReportedAndSavingGoesOn) {
    // A subject too long for a file name.
    WriteMessages(Store.Path(), "Inbox.dbx",
                  {PlainMessage(1, "a@example.org", "First", Jan2020 + 300, "A"),
                   PlainMessage(2, "a@example.org", std::string(300, 'L'), Jan2020 + 200, "B"),
                   PlainMessage(3, "a@example.org", "Third", Jan2020 + 100, "C")});
    Open();
    SelectRows({0, 1, 2});
    OnDialog = [&](QDialog&) {
        ExportForm.DirectoryEdit1->SetText(QString::fromStdString(Out));
        ExportForm.datecheck->setChecked(false);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(Boxes[0].Caption, "");  // the application's name stands as the title
    EXPECT_EQ(Boxes[0].Text,
              "The file \"" + Out + std::string(300, 'L') + "\" could not be created!");
    EXPECT_EQ(Boxes[1].Text, "There became 2 messages saved!");
    // The failed file is not counted, but the bar moves on after it as well.
    EXPECT_EQ(Progress, (std::vector<std::int32_t>{33, 33, 66, 0}));
    EXPECT_EQ(DirNames(Out), (std::vector<std::string>{"First.eml", "Third.eml"}));
    EXPECT_TRUE(Errors.empty());
    ExpectIdle();
}

TEST_F(BatchTest, ExportFollowsTheDialogAndTheOptionsStrip) {
    Open();
    // Rows 0 (Five, plain) and 1 (Four, HTML).
    SelectRows({0, 1});
    OnDialog = [&](QDialog&) {
        EXPECT_TRUE(ExportForm.TXTCheck->isEnabled());
        ExportForm.DirectoryEdit1->SetText(QString::fromStdString(Out));
        ExportForm.datecheck->setChecked(false);
        ExportForm.MixedCheck->setChecked(true);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->ExportBtn, Qt::LeftButton);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, "Export finished");
    EXPECT_EQ(Boxes[0].Text, "There became 2 messages exported!");
    EXPECT_EQ(Progress, (std::vector<std::int32_t>{50, 100, 0}));
    EXPECT_EQ(DirNames(Out), (std::vector<std::string>{"Five.txt", "Four.HTM"}));
    EXPECT_EQ(ReadFile(Out + "Five.txt"), "TEXT-5\r\n");
    // The design of the options strip: header table and the chosen template.
    std::string page = ReadFile(Out + "Four.HTM");
    EXPECT_NE(page.find("<b>From:</b>"), std::string::npos);
    EXPECT_NE(page.find("<p>HTML-4</p>"), std::string::npos);
    EXPECT_NE(page.find("Four of sender@example.org to reader@example.org from "),
              std::string::npos);

    // "Show preview with complete design " cleared: the bare page; the text option
    // makes a text file of an HTML message.
    QTest::mouseClick(Form->ShowHead, Qt::LeftButton);
    OnDialog = [&](QDialog&) {
        ExportForm.AllHTMLCheck->setChecked(true);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->ExportBtn, Qt::LeftButton);
    EXPECT_EQ(ReadFile(Out + "Four_0.HTM"), "<p>HTML-4</p>\r\n");
    EXPECT_EQ(ReadFile(Out + "Five.HTM"), "TEXT-5<BR>\r\n");
    OnDialog = [&](QDialog&) {
        ExportForm.TXTCheck->setChecked(true);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->ExportBtn, Qt::LeftButton);
    EXPECT_EQ(ReadFile(Out + "Four.txt"), "");
    EXPECT_EQ(Boxes.back().Text, "There became 2 messages exported!");

    // A file that cannot be created ends the export with the standard error box,
    // without a completion box, and leaves the window idle.
    Boxes.clear();
    WriteFile(OutRoot.Path() + "blocker", "a file, not a directory");
    OnDialog = [&](QDialog&) {
        ExportForm.DirectoryEdit1->SetText(QString::fromStdString(OutRoot.Path() + "blocker/x"));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->ExportBtn, Qt::LeftButton);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0],
              "Datei " + OutRoot.Path() + "blocker/x/Five.txt kann nicht erstellt werden");
    EXPECT_TRUE(Boxes.empty());
    ExpectIdle();
}

TEST_F(BatchTest, CancelTakesEffectBeforeTheNextMessage) {
    Open();
    // Saving and export: Cancel pressed while the first of five is written is
    // handled before the second is written, after the second's cancel test: two.
    for (QToolButton* button : {Form->SaveBtn, Form->ExportBtn}) {
        fs::remove_all(Out);
        SelectRows({0, 1, 2, 3, 4});
        Boxes.clear();
        bool pressed = false;
        const auto connection = QObject::connect(Form.get(), &TMainForm::ProStatusSet, [&] {
            if (!std::exchange(pressed, true)) QueueCancelClick();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QObject::disconnect(connection);
        EXPECT_EQ(DirNames(Out).size(), 2u) << button->text().toStdString();
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_NE(Boxes[0].Text.find("There became 2 messages "), std::string::npos);
        ExpectIdle();
    }

    // Printing: Cancel pressed while the first page is being printed; that page is
    // finished, no other is touched.
    ::setenv("LUMBROOK_PRINT_PDF_DIR", (OutRoot.Path() + "pdf").c_str(), 1);
    SelectRows({0, 1, 2, 3, 4});
    Boxes.clear();
    bool pressed = false;
    const auto connection =
        QObject::connect(Form->PrintBrowser, &TWebBrowser::DownloadComplete, [&] {
            if (!std::exchange(pressed, true)) QueueCancelClick();
        });
    QTest::mouseClick(Form->PrintBtn, Qt::LeftButton);
    QObject::disconnect(connection);
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(DirNames(OutRoot.Path() + "pdf"), std::vector<std::string>{StemOfRow(0) + ".pdf"});
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "There became 1 messages printed!");
    EXPECT_EQ(Boxes[0].Caption, "Printing finished");
    ExpectIdle();

    // A new batch clears the request left over.
    Boxes.clear();
    SelectRows({4});
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "There became 1 messages saved!");
}

TEST_F(BatchTest, QuittingStopsTheBatchWithoutAReport) {
    Open();
    SelectRows({0, 1, 2, 3, 4});
    bool pressed = false;
    const auto connection = QObject::connect(Form.get(), &TMainForm::ProStatusSet, [&] {
        if (!std::exchange(pressed, true)) {
            QMetaObject::invokeMethod(Form->endebtn, "click", Qt::QueuedConnection);
        }
    });
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    QObject::disconnect(connection);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(DirNames(Out).size(), 2u);
    EXPECT_TRUE(Boxes.empty());
    ExpectIdle();
}

TEST_F(BatchTest, ARunningBatchIgnoresOtherBatchesAndKeepsItsFolder) {
    Open();
    SelectRows({0, 1});
    QTreeWidgetItem* inbox = Form->TreeView1->currentItem();
    ASSERT_NE(inbox, nullptr);
    OnDialog = [&](QDialog&) {
        // While the dialog is open the batch runs: every batch button is ignored,
        // and another folder is not listed under it.
        QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
        QTest::mouseClick(Form->ExportBtn, Qt::LeftButton);
        QTest::mouseClick(Form->PrintBtn, Qt::LeftButton);
        const auto other = Form->TreeView1->findItems(QStringLiteral("Other"),
                                                      Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(other.size(), 1);
        const QRect rect = Form->TreeView1->visualItemRect(other.front());
        QTest::mouseClick(Form->TreeView1->viewport(), Qt::LeftButton, {}, rect.center());
        EXPECT_EQ(Form->FolderFile, "Inbox.dbx");
        EXPECT_EQ(Form->TreeView1->currentItem(), inbox);
        EXPECT_EQ(Form->ListModel->rowCount(), 5);
        ExportForm.DirectoryEdit1->SetText(QString::fromStdString(Out));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    EXPECT_EQ(Dialogs, 1);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "There became 2 messages saved!");
    ExpectIdle();

    // Idle again: the folder can be changed.
    const auto other =
        Form->TreeView1->findItems(QStringLiteral("Other"), Qt::MatchExactly | Qt::MatchRecursive);
    QTest::mouseClick(Form->TreeView1->viewport(), Qt::LeftButton, {},
                      Form->TreeView1->visualItemRect(other.front()).center());
    EXPECT_EQ(Form->FolderFile, "Other.dbx");
}

TEST_F(BatchTest, ACancelledDialogOrNoSelectionEndsQuietly) {
    Open();
    // The dialog closed with Cancel: nothing written, no completion box.
    SelectRows({0});
    OnDialog = [](QDialog&) { return int(QDialog::Rejected); };
    for (QToolButton* button : {Form->SaveBtn, Form->ExportBtn}) {
        QTest::mouseClick(button, Qt::LeftButton);
        ExpectIdle();
    }
    EXPECT_EQ(Dialogs, 2);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(DirNames(Out).empty());

    // No selection: no dialog, no box, for every command.
    ::setenv("LUMBROOK_PRINT_PDF_DIR", (OutRoot.Path() + "pdf").c_str(), 1);
    Form->ListView1->selectionModel()->clearSelection();
    for (QToolButton* button : {Form->SaveBtn, Form->ExportBtn, Form->PrintBtn}) {
        QTest::mouseClick(button, Qt::LeftButton);
        ExpectIdle();
    }
    EXPECT_EQ(Dialogs, 2);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(Progress.empty());

    // And the next command works normally.
    SelectRows({0});
    OnDialog = [&](QDialog&) {
        ExportForm.DirectoryEdit1->SetText(QString::fromStdString(Out));
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "There became 1 messages saved!");
}

TEST_F(BatchTest, PrintingWritesOnePdfPerMessageWithTheDressedPage) {
    if (!HavePdfToText()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const std::string pdf = OutRoot.Path() + "pdf/";
    ::setenv("LUMBROOK_PRINT_PDF_DIR", pdf.c_str(), 1);
    Open();
    // Printing dresses the page even with "Show preview with complete design " cleared.
    QTest::mouseClick(Form->ShowHead, Qt::LeftButton);
    QTest::qWait(200);
    const QString shown = Form->WebBrowser1->LocationURL();
    SelectRows({0, 1, 3});
    QTest::mouseClick(Form->PrintBtn, Qt::LeftButton);
    EXPECT_TRUE(Errors.empty());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Icon, QMessageBox::Information);
    EXPECT_EQ(Boxes[0].Caption, "Printing finished");
    EXPECT_EQ(Boxes[0].Text, "There became 3 messages printed!");
    EXPECT_EQ(Progress, (std::vector<std::int32_t>{33, 66, 100, 0}));
    ExpectIdle();

    ASSERT_EQ(DirNames(pdf), (std::vector<std::string>{StemOfRow(0) + ".pdf", StemOfRow(1) + ".pdf",
                                                       StemOfRow(3) + ".pdf"}));
    const std::string five = PdfText(pdf + StemOfRow(0) + ".pdf");
    for (const char* part : {"From:", "To:", "Date:", "Subject:", "sender@example.org", "TEXT-5",
                             "Five of sender@example.org to reader@example.org from"}) {
        EXPECT_NE(five.find(part), std::string::npos) << part << " in\n" << five;
    }
    EXPECT_NE(five.find(MessageDateText(RecordOfRow(0))), std::string::npos);
    EXPECT_NE(PdfText(pdf + StemOfRow(1) + ".pdf").find("HTML-4"), std::string::npos);
    EXPECT_NE(PdfText(pdf + StemOfRow(3) + ".pdf").find("HTML-2"), std::string::npos);

    // The preview was not touched; the print page is a working file.
    EXPECT_EQ(Form->WebBrowser1->LocationURL(), shown);
    const auto& files = Form->TempFiles.Paths();
    EXPECT_NE(std::find(files.begin(), files.end(), Program.Paths.WorkDir + "print.htm"),
              files.end());

    // The same messages again: the names get the collision suffix.
    SelectRows({0});
    QTest::mouseClick(Form->PrintBtn, Qt::LeftButton);
    EXPECT_TRUE(Exists(pdf + StemOfRow(0) + "_0.pdf"));
}

TEST_F(BatchTest, PageSetupWithoutAPrinterChoosesThePdfPages) {
    const std::string pdf = OutRoot.Path() + "pdf/";
    ::setenv("LUMBROOK_PRINT_PDF_DIR", pdf.c_str(), 1);
    Open();
    OnDialog = [&](QDialog& dialog) {
        auto* setup = dynamic_cast<TPageLayoutDialog*>(&dialog);
        EXPECT_NE(setup, nullptr);
        if (!setup) return int(QDialog::Rejected);
        EXPECT_EQ(setup->PaperBox->currentText(), QPageSize::name(QPageSize::A4));
        setup->LandscapeBtn->setChecked(true);
        setup->PaperBox->setCurrentIndex(setup->PaperBox->findText(QPageSize::name(QPageSize::A5)));
        setup->LeftMargin->setValue(25);
        return int(QDialog::Accepted);
    };
    // No message needs to be selected for it.
    Form->ListView1->selectionModel()->clearSelection();
    QTest::mouseClick(Form->PrinterSetupBtn, Qt::LeftButton);
    EXPECT_EQ(Dialogs, 1);
    const QPageLayout layout = Form->PrinterSettings.PageLayout();
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A5);
    EXPECT_DOUBLE_EQ(layout.margins(QPageLayout::Millimeter).left(), 25.0);

    // The next print follows it: an A5 page on its side (595 x 420 points).
    SelectRows({0});
    QTest::mouseClick(Form->PrintBtn, Qt::LeftButton);
    ASSERT_EQ(DirNames(pdf).size(), 1u);
    const std::string info = OutRoot.Path() + "info.txt";
    if (std::system(
            ("pdfinfo '" + pdf + DirNames(pdf)[0] + "' > '" + info + "' 2>/dev/null").c_str()) ==
        0) {
        const std::string text = ReadFile(info);
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
    Open();
    SelectRows({0, 1});
    QTest::mouseClick(Form->PrintBtn, Qt::LeftButton);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_NE(Boxes[0].Text.find("No printer is installed"), std::string::npos);
    EXPECT_NE(Boxes[0].Text.find("LUMBROOK_PRINT_PDF_DIR"), std::string::npos);
    EXPECT_TRUE(Progress.empty());
    EXPECT_FALSE(Exists(Program.Paths.WorkDir + "print.htm"));
    ExpectIdle();

    QTest::mouseClick(Form->PrinterSetupBtn, Qt::LeftButton);
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1].Text, Boxes[0].Text);
    EXPECT_EQ(Dialogs, 0);
}

TEST_F(BatchTest, APageThatCannotBePrintedEndsTheBatchUncounted) {
    // The PDF directory lies under a file: nothing can be written there.
    WriteFile(OutRoot.Path() + "blocker", "x");
    ::setenv("LUMBROOK_PRINT_PDF_DIR", (OutRoot.Path() + "blocker/pdf").c_str(), 1);
    Open();
    SelectRows({0, 1, 2});
    QTest::mouseClick(Form->PrintBtn, Qt::LeftButton);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Datei " + OutRoot.Path() + "blocker/pdf/" + StemOfRow(0) +
                             ".pdf kann nicht erstellt werden");
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(Progress.empty() || Progress == std::vector<std::int32_t>{0});
    ExpectIdle();
}

TEST_F(BatchTest, TheProgressBarGrowsAtOnceAndFallsByARepaint) {
    Open();
    const QColor navy(0, 0, 128);
    auto bar = [&] { return Form->StatusPanel2->grab().toImage(); };
    const QRect inner = Form->StatusPanel2->contentsRect();
    Form->SetProStatus(66);
    EXPECT_EQ(Form->ProRect, inner);
    QImage image = bar();
    const int filled = inner.width() * 66 / 100;
    EXPECT_EQ(image.pixelColor(inner.left(), inner.center().y()), navy);
    EXPECT_EQ(image.pixelColor(inner.left() + filled - 1, inner.center().y()), navy);
    EXPECT_NE(image.pixelColor(inner.left() + filled, inner.center().y()), navy);
    // Past 100 the bar stays within its panel.
    Form->SetProStatus(250);
    image = bar();
    EXPECT_EQ(image.pixelColor(inner.right(), inner.center().y()), navy);
    EXPECT_NE(image.pixelColor(inner.right() + 1, inner.center().y()), navy);
    Form->SetProStatus(0);
    image = bar();
    EXPECT_NE(image.pixelColor(inner.left(), inner.center().y()), navy);

    // The drawing itself, on a canvas of its own.
    QImage canvas(100, 10, QImage::Format_RGB32);
    for (const auto& [percent, width] : std::vector<std::pair<int, int>>{
             {0, 0}, {-5, 0}, {1, 1}, {33, 33}, {100, 100}, {1000, 100}, {0x7FFFFFFF, 100}}) {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        DrawProgressBar(painter, QRect(0, 0, 100, 10), percent);
        painter.end();
        int drawn = 0;
        while (drawn < 100 && canvas.pixelColor(drawn, 5) == navy) ++drawn;
        EXPECT_EQ(drawn, width) << percent;
    }
}

TEST_F(BatchTest, TheMessageWindowShowsThePreviewsPage) {
    Open();
    WriteMessages(Store.Path(), "Other.dbx",
                  {PlainMessage(9, "x@example.org", "", Jan2020 + 7200, "NO-SUBJECT")});
    std::vector<std::string> seen;
    OnDialog = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, &ShowMailForm);
        QSignalSpy loaded(ShowMailForm.WebBrowser1, &TWebBrowser::DownloadComplete);
        EXPECT_TRUE(loaded.wait(15000));
        seen = {ShowMailForm.windowTitle().toStdString(),
                ShowMailForm.Edit1->text().toStdString(),
                ShowMailForm.Edit2->text().toStdString(),
                ShowMailForm.Edit3->text().toStdString(),
                ShowMailForm.Edit4->text().toStdString(),
                ShowMailForm.WebBrowser1->LocationURL().toStdString()};
        return int(QDialog::Rejected);
    };
    // With several rows selected, the first selected one in list order.
    QSignalSpy preview(Form->WebBrowser1, &TWebBrowser::DownloadComplete);
    SelectRows({3, 2});
    ASSERT_TRUE(preview.wait(15000));
    Form->ListView1DblClick();
    ASSERT_EQ(Dialogs, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"Three", "sender@example.org",
                                              MessageDateText(RecordOfRow(2)), "reader@example.org",
                                              "Three", Program.MailPage()}));
    EXPECT_NE(ReadFile(Program.MailPage()).find("TEXT-3"), std::string::npos);
    // Closed: its browser goes blank.
    QSignalSpy blank(ShowMailForm.WebBrowser1, &TWebBrowser::DownloadComplete);
    ASSERT_TRUE(blank.wait(15000));
    EXPECT_TRUE(ShowMailForm.WebBrowser1->LocationURL().isEmpty());

    // An empty subject gives the caption "eMail message" and an empty field.
    const auto other =
        Form->TreeView1->findItems(QStringLiteral("Other"), Qt::MatchExactly | Qt::MatchRecursive);
    QTest::mouseClick(Form->TreeView1->viewport(), Qt::LeftButton, {},
                      Form->TreeView1->visualItemRect(other.front()).center());
    QTreeView* list = Form->ListView1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(Form->ListModel->index(0, 1)).center());
    ASSERT_TRUE(preview.wait(15000));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualRect(Form->ListModel->index(0, 1)).center());
    ASSERT_EQ(Dialogs, 2);
    EXPECT_EQ(seen[0], "eMail message");
    EXPECT_EQ(seen[4], "");
    EXPECT_NE(ReadFile(Program.MailPage()).find("NO-SUBJECT"), std::string::npos);

    // A double click below the rows (no selection) opens nothing.
    Form->ListView1->selectionModel()->clearSelection();
    Form->ListView1DblClick();
    EXPECT_EQ(Dialogs, 2);
}

}  // namespace
}  // namespace lumbrook
