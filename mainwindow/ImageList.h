#pragma once

// IconSet: the main window's 16 x 16 pictures shared by the tool bar, the tree
// and the list, and the bottom bar's pictures: small SVG drawings among the
// program's resources (mainwindow/icons), drawn into pixmaps once at start-up.

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <vector>

namespace lumbrook {

enum ImageIndex : int {
    ImgEnvelope = 0,
    ImgFolderSheet = 1,
    ImgPrinter = 2,
    ImgCancel = 3,
    ImgExport = 4,
    ImgSave = 5,
    ImgTools = 6,
    ImgTick = 7,
    // The message list's state marks.
    ImgReplied = 8,
    ImgForwarded = 9,
    ImgFlag = 10,
    ImgPriority = 11,
    ImgClip = 12,
    ImgDamaged = 13,  // a message that could not be read whole
    // Messages the folder's index does not list, found by a scan of its file.
    ImgDeleted = 14,
    ImgOrphaned = 15,
    ImageCount = 16,
};

class IconSet {
  public:
    IconSet();  // needs a QGuiApplication
    const QPixmap& picture(int index) const { return pictures.at(static_cast<std::size_t>(index)); }
    const QIcon& icon(int index) const { return icons.at(static_cast<std::size_t>(index)); }

  private:
    std::vector<QPixmap> pictures;
    std::vector<QIcon> icons;
};

// The two pictures of a bottom-bar picture button: up, and while pressed.
struct ButtonPictures {
    QPixmap up;
    QPixmap down;
};
// The bottom bar's buttons with their caption ("Info", "Exit" as drawn) in the
// window's language.
ButtonPictures aboutButtonPictures(const QString& caption);
ButtonPictures exitButtonPictures(const QString& caption);
// The little mark of the home-page button.
QPixmap homePagePicture();

}  // namespace lumbrook
