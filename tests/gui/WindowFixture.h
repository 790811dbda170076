#pragma once

// The set-up most window tests share: a store directory and a program directory
// of their own, failures, message boxes and modal dialogs caught (the save/export
// dialog answered with the output directory and OK unless a test says otherwise),
// and the main window opened on the store as the program opens it.

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/ErrorReport.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Modal.h"
#include "tests/gui/GuiTestStore.h"
#include "windows/SaveExportDialog.h"

class QDialog;

namespace lumbrook {

inline constexpr std::int64_t Jan2020 = 1'577'836'800;

// A message box the window showed.
struct Box {
    QMessageBox::Icon icon;
    std::string caption;
    std::string text;
};

class WindowFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the window on the test's store (or another) and waits until it is shown.
    void open() { open(MailStore(store.path())); }
    void open(MailStore opened);
    // Waits for the preview's next page, unless it has come already.
    void waitForPage();
    // Clicks a folder of the tree by its name, whatever count follows it.
    void clickFolder(const QString& name);
    const MessageInfo& recordOfRow(int row) const;

    TempDir store;
    TestProgram program;
    TempDir outRoot;
    const std::string out = outRoot.path() + "out/";
    SaveExportDialog saveExportDialog;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<MainWindowControls> ui;
    std::unique_ptr<QSignalSpy> loaded;  // the preview's pages

    std::vector<std::string> errors;
    std::vector<Box> boxes;
    int dialogs = 0;
    // Answers each modal dialog; by default the save/export dialog with OK.
    std::function<int(QDialog&)> onDialog;

  private:
    ErrorReporter previousReporter;
    MessageBoxHook previousBoxHook;
    ModalHook previousModalHook;
};

}  // namespace lumbrook
