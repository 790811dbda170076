#include "mainwindow/ErrorReport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include "base/Errors.h"
#include "platform/CodePage.h"

namespace lumbrook {

namespace {

// The texts a person reads when something fails in the window, in one context for
// Qt Linguist. The German source texts are the program's own and stay as they are.
class ErrorWords {
    Q_DECLARE_TR_FUNCTIONS(ErrorReport)

public:
    static QString pattern(ErrorKind kind) {
        switch (kind) {
            case ErrorKind::FileOpen:
                return tr("Datei %1 kann nicht geöffnet werden");
            case ErrorKind::FileCreate:
                return tr("Datei %1 kann nicht erstellt werden");
            case ErrorKind::InvalidRegistryType:
                return tr("Ungültiger Datentyp für '%1'");
            case ErrorKind::PartWithoutOwner:
                return tr("%1: MailPart must be owned by a MailMessage");
            case ErrorKind::StoppedBeforeComplete:
                return tr("Stopped before the file was complete.");
            case ErrorKind::PrinterBusy:
                return tr("The printer is still busy with the previous page.");
            case ErrorKind::NoPrinter:
                return tr(
                    "No printer is installed, so nothing can be printed.\n\n"
                    "Install a printer, or name a directory for PDF files in the environment "
                    "variable LUMBROOK_PRINT_PDF_DIR: each printed message then becomes a PDF "
                    "file there.");
            case ErrorKind::PrintFailed:
                return tr("The page could not be printed on the printer \"%1\".");
            case ErrorKind::SaveFailed:
                return tr("The file \"%1\" could not be created!");
            case ErrorKind::OutsideStore:
                return tr("%1 lies outside the store directory and is not read.");
        }
        return unknown();
    }
    static QString unknown() { return tr("Unknown error"); }
    static QString folderList(FolderListProblem::Kind kind) {
        switch (kind) {
            case FolderListProblem::Kind::Missing:
                return tr("No folder list %1: every folder file is listed by its file name.");
            case FolderListProblem::Kind::Unreadable:
                return tr("The folder list %1 is damaged: every folder file is listed by its "
                          "file name.");
        }
        return unknown();
    }
};

// Errors come from anywhere, not from one store: a text that is no UTF-8 (a path
// read from a store) is taken as the code page of the setting, the whole text as
// one, as it was put together.
QString fromProgramBytes(const std::string& text) {
    return QString::fromStdString(CodePage::fromEnvironment().asUtf8(text));
}

// The argument goes in as the bytes it is, before the text is decoded.
QString wordedError(const LumbrookError& error) {
    const QString pattern = ErrorWords::pattern(error.kind());
    const qsizetype at = pattern.indexOf(QLatin1String("%1"));
    if (at < 0) return pattern;
    return fromProgramBytes(pattern.left(at).toStdString() + error.argument() +
                            pattern.mid(at + 2).toStdString());
}

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

QString folderListProblemText(const FolderListProblem& problem) {
    return ErrorWords::folderList(problem.kind).arg(fromProgramBytes(problem.path));
}

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
    if (const auto* known = dynamic_cast<const LumbrookError*>(&error)) return wordedError(*known);
    return fromProgramBytes(error.what());
}

QString unknownErrorText() { return ErrorWords::unknown(); }

}  // namespace lumbrook
