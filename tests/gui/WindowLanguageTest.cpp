// The window in the user's language: the English and German translations of its
// boxes with their plural forms, a first start without a store, a store that fails
// to open, and Enter on a row.

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/WindowLanguage.h"
#include "platform/browser/PageView.h"
#include "store/MailStore.h"
#include "tests/gui/WindowFixture.h"
#include "windows/MessageWindow.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

class WindowLanguageTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        writeFolders(store.path(), {{0, std::nullopt, "Outlook Express", std::nullopt, false},
                                    {1, 0, "Local Folders", std::nullopt, false},
                                    {4, 1, "Inbox", "Inbox.dbx", true}});
        writeMessages(store.path(), "Inbox.dbx",
                      {plainMessage(1, "a@example.org", "One", Jan2020, "ONE"),
                       plainMessage(2, "b@example.org", "Two", Jan2020 + 60, "TWO")});
        fs::create_directories(out);
    }
    void TearDown() override {
        WindowFixture::TearDown();
        installWindowLanguage(QLocale::c());
        ::unsetenv("LUMBROOK_REGISTRY");
    }

    // The completion box of saving Rows rows.
    std::string saveBox(int rows) {
        boxes.clear();
        ui->list->selectionModel()->select(
            QItemSelection(ui->model->index(0, 0), ui->model->index(rows - 1, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        child<QAction>(*form, "saveAction")->trigger();
        return boxes.size() == 1 ? boxes[0].text : "(no box)";
    }

    MessageWindow messageWindow;
};

TEST_F(WindowLanguageTest, BoxesSpeakTheUsersLanguageWithPluralsAndTheCLocaleTheSourceTexts) {
    struct Language {
        QLocale locale;
        const char* quit;
        const char* savedOne;
        const char* savedTwo;
        const char* cannotOpen;  // before the path
    };
    const Language languages[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "Quit", "1 message saved.",
         "2 messages saved.", "Cannot open the file "},
        {QLocale(QLocale::German, QLocale::Germany), "Beenden", "1 Nachricht gespeichert.",
         "2 Nachrichten gespeichert.", "Datei "},
        // A language the program does not speak gets English.
        {QLocale(QLocale::French, QLocale::France), "Quit", "1 message saved.",
         "2 messages saved.", "Cannot open the file "},
        {QLocale::c(), "Exit", "There became 1 messages saved!", "There became 2 messages saved!",
         "Datei "},
    };
    for (const Language& language : languages) {
        SCOPED_TRACE(language.locale.name().toStdString());
        EXPECT_EQ(installWindowLanguage(language.locale), language.locale != QLocale::c());
        errors.clear();
        open();
        waitForPage();
        EXPECT_EQ(child<QAction>(*form, "quitAction")->text().toStdString(), language.quit);
        EXPECT_EQ(saveBox(1), language.savedOne);
        EXPECT_EQ(saveBox(2), language.savedTwo);

        // A store that cannot be opened is said so, and the one on show stays.
        const std::string missing = store.path() + "missing";
        form->openStore(MailStore(missing));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].rfind(language.cannotOpen, 0), 0u) << errors[0];
        EXPECT_NE(errors[0].find(missing), std::string::npos) << errors[0];
        EXPECT_EQ(form->dbxStore().directory(), store.path());
        EXPECT_EQ(form->folderFile(), "Inbox.dbx");
        EXPECT_EQ(ui->model->rowCount(), 2);
        form.reset();
        fs::remove_all(out);
        fs::create_directories(out);
    }
}

TEST_F(WindowLanguageTest, AFirstStartWithoutAStoreShowsTheNoStorePageWithoutABox) {
    ::setenv("LUMBROOK_REGISTRY", (store.path() + "no-user.reg").c_str(), 1);
    open(openStore(std::nullopt));
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(child<QStackedWidget>(*form, "listStack")->currentWidget()->objectName(),
              QStringLiteral("storePlaceholder"));
    EXPECT_TRUE(child<QPushButton>(*form, "openStoreButton")->isVisible());
    // Nothing to export, search or save without a store.
    for (const char* action : {"exportStoreAction", "findAction", "saveAction", "printAction"})
        EXPECT_FALSE(child<QAction>(*form, action)->isEnabled()) << action;
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Harlstone Lumbrook 1.0"));
}

TEST_F(WindowLanguageTest, EnterOpensTheSelectedMessageInTheMessageWindow) {
    open();
    form->setMessageWindow(&messageWindow);
    waitForPage();
    QString shown;
    onDialog = [&](QDialog& dialog) {
        if (&dialog == &messageWindow) shown = messageWindow.subjectField->text();
        return int(QDialog::Rejected);
    };
    ui->list->setFocus();
    ui->list->selectionModel()->setCurrentIndex(
        ui->model->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(ui->list, Qt::Key_Return);
    EXPECT_EQ(shown, QStringLiteral("One"));
    EXPECT_EQ(dialogs, 1);
}

}  // namespace
}  // namespace lumbrook
