#include "mainwindow/Controls.h"

#include <QPainter>

namespace lumbrook {

PictureButton::PictureButton(QPixmap up, QPixmap down, QWidget* parent)
    : QAbstractButton(parent), up(std::move(up)), down(std::move(down)) {
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

ProgressPanel::ProgressPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void ProgressPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!onDrawPanel) return;
    QPainter painter(this);
    onDrawPanel(painter, contentsRect());
}

void PanelSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    emit resized();
}

}  // namespace lumbrook
