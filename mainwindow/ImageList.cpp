#include "mainwindow/ImageList.h"

#include <QColor>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

namespace lumbrook {

namespace {

// The drawing of one picture at its own size.
QPixmap drawing(const char* name) {
    QSvgRenderer renderer(QStringLiteral(":/mainwindow/icons/%1.svg").arg(QLatin1String(name)));
    QPixmap pixmap(renderer.defaultSize());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

// A button's drawing with another caption than the one drawn in it: the drawing
// without its caption, and the caption painted where it stood (left edge 26, base
// line 18.5, bold 12 pixels), smaller where it would not fit the button.
QPixmap captionedDrawing(const char* name, const char* drawnCaption, const QString& caption,
                         const QColor& colour) {
    if (caption == QLatin1String(drawnCaption)) return drawing(name);
    QFile file(QStringLiteral(":/mainwindow/icons/%1.svg").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) return drawing(name);
    QByteArray svg = file.readAll();
    svg.replace(QByteArray(">") + drawnCaption + "</text>", QByteArray("></text>"));
    QSvgRenderer renderer(svg);
    QPixmap pixmap(renderer.defaultSize());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    QFont font(QStringLiteral("sans-serif"));
    font.setBold(true);
    font.setPixelSize(12);
    const int room = pixmap.width() - 26 - 3;
    while (font.pixelSize() > 7 && QFontMetrics(font).horizontalAdvance(caption) > room)
        font.setPixelSize(font.pixelSize() - 1);
    painter.setFont(font);
    painter.setPen(colour);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(QPointF(26, 18.5), caption);
    return pixmap;
}

}  // namespace

IconSet::IconSet() {
    // In the order of ImageIndex.
    for (const char* name :
         {"envelope", "folder", "printer", "cancel", "export", "save", "tools", "tick", "replied",
          "forwarded", "flag", "priority", "clip", "damaged", "deleted", "orphaned"}) {
        pictures.push_back(drawing(name));
        icons.emplace_back(pictures.back());
    }
}

ButtonPictures aboutButtonPictures(const QString& caption) {
    return {captionedDrawing("about-up", "Info", caption, QColor(0x1e, 0x1e, 0x1e)),
            captionedDrawing("about-down", "Info", caption, QColor(0xfa, 0xfa, 0xfa))};
}

ButtonPictures exitButtonPictures(const QString& caption) {
    return {captionedDrawing("exit-up", "Exit", caption, QColor(0x1e, 0x1e, 0x1e)),
            captionedDrawing("exit-down", "Exit", caption, QColor(0xfa, 0xfa, 0xfa))};
}

QPixmap homePagePicture() {
    return drawing("homepage");
}

}  // namespace lumbrook
