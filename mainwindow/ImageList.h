#pragma once

// IconSet: the main window's 16 x 16 pictures shared by the tool bar, the tree
// and the list. Drawn once at start-up; only the indexes are fixed.

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace lumbrook {

enum ImageIndex : int {
    ImgEnvelope = 0,
    ImgFolderOpen = 1,
    ImgFolderClosed = 2,
    ImgFolderSheet = 3,
    ImgPrinter = 4,
    ImgCancel = 5,
    ImgExport = 6,
    ImgSave = 7,
    ImgTools = 8,
    ImgTick = 9,
    ImageCount = 10,
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
ButtonPictures aboutButtonPictures();
ButtonPictures exitButtonPictures();
// The little mark of the home-page button.
QPixmap homePagePicture();

}  // namespace lumbrook
