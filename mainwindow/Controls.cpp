#include "mainwindow/Controls.h"

#include <QPainter>

namespace lumbrook {

TPictureButton::TPictureButton(QPixmap up, QPixmap down, QWidget* parent)
    : QAbstractButton(parent), up(std::move(up)), down(std::move(down)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

QSize TPictureButton::sizeHint() const {
    return up.deviceIndependentSize().toSize();
}

void TPictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, isDown() ? down : up);
}

TStatusPanel::TStatusPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void TStatusPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!onDrawPanel) return;
    QPainter painter(this);
    onDrawPanel(painter, contentsRect());
}

void TPanelSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    emit resized();
}

}  // namespace lumbrook
