#pragma once

// Small controls of the main window: the bottom bar's picture buttons, the status
// bar's owner-drawn panel and the splitter that reports its own resizes.

#include <QAbstractButton>
#include <QFrame>
#include <QPixmap>
#include <QSplitter>
#include <functional>

namespace lumbrook {

// Shows its second picture while the mouse button is held down over it; the hand
// pointer marks it as clickable.
class PictureButton : public QAbstractButton {
    Q_OBJECT

  public:
    PictureButton(QPixmap up, QPixmap down, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap up;
    QPixmap down;
};

// A status bar panel that its owner draws: onDrawPanel gets the panel's painter and
// rectangle after the panel has been erased.
class ProgressPanel : public QFrame {
    Q_OBJECT

  public:
    explicit ProgressPanel(QWidget* parent = nullptr);
    std::function<void(QPainter&, const QRect&)> onDrawPanel;

  protected:
    void paintEvent(QPaintEvent* event) override;
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
