#include "mainwindow/Controls.h"

#include <QPainter>

namespace lumbrook {

TPictureButton::TPictureButton(QPixmap Up, QPixmap Down, QWidget* parent)
    : QAbstractButton(parent), Up(std::move(Up)), Down(std::move(Down)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

QSize TPictureButton::sizeHint() const {
    return Up.deviceIndependentSize().toSize();
}

void TPictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, isDown() ? Down : Up);
}

TStatusPanel::TStatusPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void TStatusPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!OnDrawPanel) return;
    QPainter painter(this);
    OnDrawPanel(painter, contentsRect());
}

void TPanelSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    emit Resized();
}

}  // namespace lumbrook
