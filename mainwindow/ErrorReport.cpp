#include "mainwindow/ErrorReport.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/CodePage.h"

namespace lumbrook {

namespace {
TErrorReporter& Reporter() {
    static TErrorReporter reporter;
    return reporter;
}

void ShowErrorBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}
}  // namespace

TErrorReporter SetErrorReporter(TErrorReporter reporter) {
    return std::exchange(Reporter(), std::move(reporter));
}

void ReportError(QWidget* parent, const QString& text) {
    // A report must never throw itself: it runs where a failure is being handled.
    try {
        if (Reporter()) {
            Reporter()(parent, text);
        } else {
            ShowErrorBox(parent, text);
        }
    } catch (...) {
    }
}

QString ErrorText(const std::exception& error) {
    return QString::fromStdString(ToUtf8(error.what()));
}

}  // namespace lumbrook
