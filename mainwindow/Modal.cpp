#include "mainwindow/Modal.h"

#include <QApplication>
#include <QDialog>
#include <utility>

namespace lumbrook {

namespace {
TMessageBoxHook& boxHook() {
    static TMessageBoxHook hook;
    return hook;
}
TModalHook& dialogHook() {
    static TModalHook hook;
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

TMessageBoxHook setMessageBoxHook(TMessageBoxHook hook) {
    return std::exchange(boxHook(), std::move(hook));
}

TModalHook setModalHook(TModalHook hook) {
    return std::exchange(dialogHook(), std::move(hook));
}

}  // namespace lumbrook
