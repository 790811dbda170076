#include "mainwindow/Controls.h"

#include <QAction>
#include <QPainter>

namespace lumbrook {

PictureButton::PictureButton(QPixmap up, QPixmap down, QAction* action, QWidget* parent)
    : QAbstractButton(parent), up(std::move(up)), down(std::move(down)) {
    setToolTip(action->toolTip());
    connect(this, &QAbstractButton::clicked, action, &QAction::trigger);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

QSize PictureButton::sizeHint() const {
    return up.deviceIndependentSize().toSize();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, isDown() ? down : up);
}

void PanelSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    emit resized();
}

}  // namespace lumbrook
