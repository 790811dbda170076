#pragma once

// ImageList1: the main window's 16 x 16 pictures shared by the tool bar, the tree
// and the list. Drawn once at start-up; only the indexes are fixed.

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace lumbrook {

enum TImageIndex : int {
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

class TImageList {
  public:
    TImageList();  // needs a QGuiApplication
    const QPixmap& Picture(int index) const { return Pictures.at(static_cast<std::size_t>(index)); }
    const QIcon& Icon(int index) const { return Icons.at(static_cast<std::size_t>(index)); }

  private:
    std::vector<QPixmap> Pictures;
    std::vector<QIcon> Icons;
};

// The two pictures of a bottom-bar picture button: up, and while pressed.
struct TButtonPictures {
    QPixmap Up;
    QPixmap Down;
};
TButtonPictures AboutButtonPictures();
TButtonPictures ExitButtonPictures();
// The little mark of the home-page button.
QPixmap HomePagePicture();

}  // namespace lumbrook
