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
void showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                    const QString& text);

// Shows Dialog modally and returns its result (QDialog::Accepted or Rejected).
int showModal(QDialog& dialog);

// Test hooks; each returns the hook in place before. An empty hook restores the
// real box or dialog.
using MessageBoxHook = std::function<void(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& caption, const QString& text)>;
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);
using ModalHook = std::function<int(QDialog& dialog)>;
ModalHook setModalHook(ModalHook hook);

}  // namespace lumbrook
