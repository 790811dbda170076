#include "mainwindow/ImageList.h"

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

ButtonPictures aboutButtonPictures() {
    return {drawing("about-up"), drawing("about-down")};
}

ButtonPictures exitButtonPictures() {
    return {drawing("exit-up"), drawing("exit-down")};
}

QPixmap homePagePicture() {
    return drawing("homepage");
}

}  // namespace lumbrook
