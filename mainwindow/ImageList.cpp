#include "mainwindow/ImageList.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>

namespace lumbrook {

namespace {

const QColor Outline(60, 60, 60);
const QColor FolderYellow(240, 200, 80);
const QColor FolderDark(200, 150, 40);

QPixmap draw(int w, int h, const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return pixmap;
}

void pen(QPainter& p, const QColor& c, qreal width = 1.0) {
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void envelope(QPainter& p) {
    pen(p, Outline);
    p.setBrush(QColor(255, 250, 235));
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawPolyline(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 9), QPointF(14.5, 3.5)}));
}

void closedFolder(QPainter& p) {
    pen(p, FolderDark.darker(130));
    p.setBrush(FolderYellow);
    QPainterPath path;
    path.moveTo(1.5, 4.5);
    path.lineTo(6, 4.5);
    path.lineTo(7.5, 6);
    path.lineTo(14.5, 6);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
    p.drawLine(QPointF(1.5, 7.5), QPointF(14.5, 7.5));
}

void openFolder(QPainter& p) {
    pen(p, FolderDark.darker(130));
    p.setBrush(FolderDark);
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(13.5, 5);
    back.lineTo(13.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(FolderYellow.lighter(110));
    p.drawPolygon(
        QPolygonF({QPointF(4, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
}

void folderWithSheet(QPainter& p) {
    pen(p, QColor(120, 120, 120));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 1.5, 8, 8));
    pen(p, QColor(150, 170, 210));
    for (qreal y = 3.5; y < 7; y += 2) p.drawLine(QPointF(7, y), QPointF(12, y));
    closedFolder(p);
}

void printer(QPainter& p) {
    pen(p, Outline);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(170, 170, 180));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    pen(p, QColor(40, 170, 40));
    p.drawPoint(QPointF(12.5, 8.5));
}

void redCross(QPainter& p) {
    pen(p, QColor(200, 20, 20), 3.0);
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void sheet(QPainter& p, const QRectF& r) {
    pen(p, QColor(110, 110, 110));
    p.setBrush(Qt::white);
    const qreal fold = 3;
    p.drawPolygon(QPolygonF({r.topLeft(), QPointF(r.right() - fold, r.top()),
                             QPointF(r.right(), r.top() + fold), r.bottomRight(), r.bottomLeft()}));
    p.drawPolyline(
        QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                   QPointF(r.right(), r.top() + fold)}));
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c) {
    pen(p, c, 2.0);
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::max(1.0, std::hypot(d.x(), d.y()));
    const QPointF u(d.x() / len, d.y() / len);
    const QPointF n(-u.y(), u.x());
    p.setBrush(c);
    pen(p, c, 1.0);
    p.drawPolygon(QPolygonF({to + u * 1.5, to - u * 3 + n * 3, to - u * 3 - n * 3}));
}

void sheetWithArrow(QPainter& p) {
    sheet(p, QRectF(1.5, 1.5, 9, 13));
    arrow(p, QPointF(5, 9), QPointF(13, 9), QColor(210, 30, 30));
}

void sheetOntoDisk(QPainter& p) {
    sheet(p, QRectF(1.5, 0.5, 7, 8));
    pen(p, QColor(20, 40, 90));
    p.setBrush(QColor(50, 90, 180));
    p.drawRect(QRectF(6.5, 7.5, 8, 8));
    p.setBrush(QColor(220, 220, 230));
    p.drawRect(QRectF(8.5, 7.5, 4, 3));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 12, 5, 3.5));
    arrow(p, QPointF(4.5, 6), QPointF(7.5, 11), QColor(30, 140, 30));
}

void tools(QPainter& p) {
    // A screwdriver and a spanner crossed.
    pen(p, QColor(120, 120, 130), 2.0);
    p.drawLine(QPointF(3, 13), QPointF(10, 6));
    pen(p, QColor(180, 30, 30), 3.5);
    p.drawLine(QPointF(10.5, 5.5), QPointF(13.5, 2.5));
    pen(p, QColor(90, 90, 100), 2.5);
    p.drawLine(QPointF(4.5, 4.5), QPointF(12.5, 12.5));
    p.setBrush(QColor(150, 150, 160));
    pen(p, QColor(90, 90, 100), 1.0);
    p.drawEllipse(QPointF(4, 4), 2.8, 2.8);
    p.setBrush(Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawEllipse(QPointF(3.2, 3.2), 1.1, 1.1);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void greenTick(QPainter& p) {
    pen(p, QColor(20, 150, 40), 3.0);
    p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
}

// A raised or pressed plate with a symbol and a word, as the old picture buttons had.
QPixmap buttonPicture(bool down, const QString& word, const QColor& tint,
                      const std::function<void(QPainter&, const QRectF&)>& symbol) {
    constexpr int W = 76, H = 28;
    return draw(W, H, [&](QPainter& p) {
        const QRectF plate(0.5, 0.5, W - 1, H - 1);
        QLinearGradient shade(plate.topLeft(), plate.bottomLeft());
        shade.setColorAt(0, down ? tint.darker(115) : tint.lighter(135));
        shade.setColorAt(1, down ? tint.lighter(110) : tint.darker(105));
        pen(p, tint.darker(170));
        p.setBrush(shade);
        p.drawRoundedRect(plate, 5, 5);
        const qreal shift = down ? 1 : 0;
        symbol(p, QRectF(5 + shift, 5 + shift, 18, 18));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(12);
        p.setFont(font);
        p.setPen(down ? QColor(250, 250, 250) : QColor(30, 30, 30));
        p.drawText(QRectF(26 + shift, shift, W - 30, H), Qt::AlignVCenter | Qt::AlignLeft, word);
    });
}

}  // namespace

IconSet::IconSet() {
    const std::function<void(QPainter&)> painters[ImageCount] = {
        envelope, openFolder,     closedFolder,  folderWithSheet, printer,
        redCross, sheetWithArrow, sheetOntoDisk, tools,           greenTick,
    };
    for (const auto& paint : painters) {
        pictures.push_back(draw(16, 16, paint));
        icons.emplace_back(pictures.back());
    }
}

ButtonPictures aboutButtonPictures() {
    auto symbol = [](QPainter& p, const QRectF& r) {
        pen(p, QColor(20, 50, 130));
        p.setBrush(QColor(40, 90, 200));
        p.drawEllipse(r);
        QFont font = p.font();
        font.setBold(true);
        font.setFamily("serif");
        font.setPixelSize(14);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, "i");
    };
    const QColor tint(200, 215, 240);
    return {buttonPicture(false, "Info", tint, symbol), buttonPicture(true, "Info", tint, symbol)};
}

ButtonPictures exitButtonPictures() {
    auto symbol = [](QPainter& p, const QRectF& r) {
        // A door standing open with an arrow leaving through it.
        pen(p, QColor(90, 50, 20));
        p.setBrush(QColor(150, 90, 40));
        p.drawRect(r.adjusted(1, 0, -8, 0));
        arrow(p, QPointF(r.left() + 6, r.center().y()), QPointF(r.right(), r.center().y()),
              QColor(200, 30, 30));
    };
    const QColor tint(240, 210, 200);
    return {buttonPicture(false, "Exit", tint, symbol), buttonPicture(true, "Exit", tint, symbol)};
}

QPixmap homePagePicture() {
    return draw(16, 16, [](QPainter& p) {
        pen(p, QColor(20, 80, 140));
        p.setBrush(QColor(120, 180, 230));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
    });
}

}  // namespace lumbrook
