#include "mainwindow/Modal.h"

#include <QApplication>
#include <QDialog>
#include <utility>

namespace lumbrook {

namespace {
TMessageBoxHook& BoxHook() {
    static TMessageBoxHook hook;
    return hook;
}
TModalHook& DialogHook() {
    static TModalHook hook;
    return hook;
}
}  // namespace

void ShowMessageBox(QWidget* parent, QMessageBox::Icon Icon, const QString& Caption,
                    const QString& Text) {
    if (BoxHook()) {
        BoxHook()(parent, Icon, Caption, Text);
        return;
    }
    QMessageBox box(Icon, Caption.isEmpty() ? QApplication::applicationName() : Caption, Text,
                    QMessageBox::Ok, parent);
    box.exec();
}

int ShowModal(QDialog& Dialog) {
    if (DialogHook()) return DialogHook()(Dialog);
    return Dialog.exec();
}

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook Hook) {
    return std::exchange(BoxHook(), std::move(Hook));
}

TModalHook SetModalHook(TModalHook Hook) {
    return std::exchange(DialogHook(), std::move(Hook));
}

}  // namespace lumbrook
