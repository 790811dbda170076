#pragma once

// The application's standard error report: a failure that ends an event handler is
// shown in one message box (error icon, one OK, the application's title) with its
// text, and the program goes on. Handlers run their bodies through runReported, so
// no exception ever crosses Qt's event loop.

#include <QString>
#include <exception>
#include <functional>
#include <utility>

#include "store/StoreReader.h"

class QWidget;

namespace lumbrook {

// Where reports go; the message box unless a test installs its own. Returns the
// reporter in place before.
using ErrorReporter = std::function<void(QWidget* parent, const QString& text)>;
ErrorReporter setErrorReporter(ErrorReporter reporter);

// Shows text as the standard error report.
void reportError(QWidget* parent, const QString& text);
// The window's words for a failure: a LumbrookError by its kind, with its path or
// name put in; any other failure by its what(). The text is taken as UTF-8 or else
// as the store's code page (file names in it may come from a message).
QString errorText(const std::exception& error);
// The words for a failure that is not even an exception.
QString unknownErrorText();
// Why the folders shown are the directory's folder files: for the status bar.
QString folderListProblemText(const FolderListProblem& problem);

// Runs body; a failure it throws is reported and swallowed. True when body ended
// normally.
template <typename F>
bool runReported(QWidget* parent, F&& body) noexcept {
    try {
        std::forward<F>(body)();
        return true;
    } catch (const std::exception& error) {
        reportError(parent, errorText(error));
    } catch (...) {
        reportError(parent, unknownErrorText());
    }
    return false;
}

// A slot that runs body through runReported, for connect(); the signal's
// arguments are not passed on.
template <typename F>
auto reported(QWidget* parent, F body) {
    return [parent, body = std::move(body)] { runReported(parent, body); };
}

}  // namespace lumbrook
