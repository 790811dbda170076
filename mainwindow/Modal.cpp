#include "mainwindow/Modal.h"

#include <QApplication>
#include <QDialog>
#include <utility>

namespace lumbrook {

namespace {
MessageBoxHook& boxHook() {
    static MessageBoxHook hook;
    return hook;
}
ModalHook& dialogHook() {
    static ModalHook hook;
    return hook;
}
}  // namespace

void showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                    const QString& text) {
    if (boxHook()) {
        boxHook()(parent, icon, caption, text);
        return;
    }
    QMessageBox box(icon, caption.isEmpty() ? QApplication::applicationName() : caption, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

int showModal(QDialog& dialog) {
    if (dialogHook()) return dialogHook()(dialog);
    return dialog.exec();
}

MessageBoxHook setMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(boxHook(), std::move(hook));
}

ModalHook setModalHook(ModalHook hook) {
    return std::exchange(dialogHook(), std::move(hook));
}

}  // namespace lumbrook
