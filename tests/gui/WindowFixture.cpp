#include "tests/gui/WindowFixture.h"

#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

#include "mainwindow/MessageListModel.h"
#include "platform/browser/PageView.h"

namespace lumbrook {

void WindowFixture::SetUp() {
    previousReporter = setErrorReporter(
        [this](QWidget*, const QString& text) { errors.push_back(text.toStdString()); });
    previousBoxHook = setMessageBoxHook(
        [this](QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text) {
            boxes.push_back({icon, caption.toStdString(), text.toStdString()});
        });
    previousModalHook = setModalHook([this](QDialog& dialog) {
        ++dialogs;
        return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
    });
    onDialog = [this](QDialog& dialog) {
        if (&dialog != &saveExportDialog) return int(QDialog::Rejected);
        saveExportDialog.directoryEdit->setText(QString::fromStdString(out));
        return int(QDialog::Accepted);
    };
}

void WindowFixture::TearDown() {
    form.reset();
    setModalHook(previousModalHook);
    setMessageBoxHook(previousBoxHook);
    setErrorReporter(previousReporter);
}

void WindowFixture::open(MailStore opened) {
    form = std::make_unique<MainWindow>(std::move(opened), program.paths);
    ui = std::make_unique<MainWindowControls>(*form);
    form->setSaveExportDialog(&saveExportDialog);
    loaded = std::make_unique<QSignalSpy>(ui->view, &PageView::downloadComplete);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void WindowFixture::waitForPage() {
    if (loaded->isEmpty()) {
        ASSERT_TRUE(loaded->wait(15000));
    }
    loaded->clear();
}

void WindowFixture::clickFolder(const QString& name) {
    const auto items = ui->tree->findItems(
        QStringLiteral("^%1( \\(.*\\))?$").arg(QRegularExpression::escape(name)),
        Qt::MatchRegularExpression | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1);
    QTest::mouseClick(ui->tree->viewport(), Qt::LeftButton, {},
                      ui->tree->visualItemRect(items.front()).center());
}

const MessageInfo& WindowFixture::recordOfRow(int row) const {
    return form->messages()[static_cast<std::size_t>(ui->model->recordIndex(row))];
}

}  // namespace lumbrook
