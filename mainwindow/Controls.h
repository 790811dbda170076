#pragma once

// Small controls of the main window: the bottom bar's picture buttons and the
// splitter that reports its own resizes.

#include <QAbstractButton>
#include <QPixmap>
#include <QSplitter>

class QAction;

namespace lumbrook {

// Shows its second picture while the mouse button is held down over it; the hand
// pointer marks it as clickable. A click triggers Action, whose tip it shows.
class PictureButton : public QAbstractButton {
    Q_OBJECT

  public:
    PictureButton(QPixmap up, QPixmap down, QAction* action, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap up;
    QPixmap down;
};

// A splitter that says when its own size changed, after it laid out its parts.
class PanelSplitter : public QSplitter {
    Q_OBJECT

  public:
    using QSplitter::QSplitter;

  signals:
    void resized();

  protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace lumbrook
