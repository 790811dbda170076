#pragma once

// The message boxes and modal dialogs the commands show. Everything goes through
// these two calls, so that a test can answer them the way ErrorReport's reporter
// takes error reports, without a person at the screen.

#include <QMessageBox>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace lumbrook {

// An application message box: Icon, Text and one OK button. An empty Caption
// leaves the application's name ("Lumbrook") as the title.
void ShowMessageBox(QWidget* parent, QMessageBox::Icon Icon, const QString& Caption,
                    const QString& Text);

// Shows Dialog modally and returns its result (QDialog::Accepted or Rejected).
int ShowModal(QDialog& Dialog);

// Test hooks; each returns the hook in place before. An empty hook restores the
// real box or dialog.
using TMessageBoxHook = std::function<void(QWidget* parent, QMessageBox::Icon Icon,
                                           const QString& Caption, const QString& Text)>;
TMessageBoxHook SetMessageBoxHook(TMessageBoxHook Hook);
using TModalHook = std::function<int(QDialog& Dialog)>;
TModalHook SetModalHook(TModalHook Hook);

}  // namespace lumbrook
