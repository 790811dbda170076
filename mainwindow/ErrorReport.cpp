#include "mainwindow/ErrorReport.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/CodePage.h"

namespace lumbrook {

namespace {
ErrorReporter& currentReporter() {
    static ErrorReporter reporter;
    return reporter;
}

void showErrorBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}
}  // namespace

ErrorReporter setErrorReporter(ErrorReporter reporter) {
    return std::exchange(currentReporter(), std::move(reporter));
}

void reportError(QWidget* parent, const QString& text) {
    // A report must never throw itself: it runs where a failure is being handled.
    try {
        if (currentReporter()) {
            currentReporter()(parent, text);
        } else {
            showErrorBox(parent, text);
        }
    } catch (...) {
    }
}

QString errorText(const std::exception& error) {
    // Errors come from anywhere, not from one store: texts that are no UTF-8 (a
    // path read from a store) are taken as the code page of the setting.
    return QString::fromStdString(CodePage::fromEnvironment().asUtf8(error.what()));
}

}  // namespace lumbrook
