// The batch frame of MainWindow: guard, walk over the selected rows, progress and
// cancel, completion box.

#include "mainwindow/BatchFrame.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "mainwindow/Controls.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"

namespace lumbrook {

namespace {
const QColor Navy(0, 0, 128);

// Runs its action when it goes out of scope, by an exception too.
template <typename F>
class OnExit {
  public:
    explicit OnExit(F action) : action(std::move(action)) {}
    ~OnExit() { action(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

  private:
    F action;
};
}  // namespace

void drawProgressBar(QPainter& canvas, const QRect& rect, std::int32_t percent) {
    if (percent <= 0 || rect.width() <= 0) return;
    const std::int64_t width =
        std::min<std::int64_t>(std::int64_t{rect.width()} * percent / 100, rect.width());
    if (width <= 0) return;
    canvas.fillRect(QRect(rect.left(), rect.top(), static_cast<int>(width), rect.height()), Navy);
}

void MainWindow::drawProgressPanel(QPainter& canvas, const QRect& rect) {
    drawProgressBar(canvas, rect, progress);
    progressRect = rect;
}

void MainWindow::repaintProgress() {
    // Painting happens in paint events only: the panel paints its bar region now,
    // without waiting for the event loop, so that every step shows at once.
    progressPanel->repaint(progressRect.isNull() ? progressPanel->contentsRect() : progressRect);
}

void MainWindow::setProgress(std::int32_t value) {
    if (value < progress) {
        // A shorter bar has to clear the longer one.
        progress = value;
        statusLine->repaint();
    } else {
        progress = value;
        repaintProgress();
    }
    emit progressSet(value);
}

void MainWindow::onCancelClicked() {
    cancelled = true;
}

int MainWindow::selectedRowCount() const {
    const QItemSelectionModel* selection = messageList->selectionModel();
    const int count = messageModel->rowCount();
    int selected = 0;
    for (int i = 0; i < count; ++i) {
        if (selection->isRowSelected(i, QModelIndex())) ++selected;
    }
    return selected;
}

void MainWindow::runBatch(const BatchCommand& command) {
    if (batchRunning) return;
    batchRunning = true;
    cancelled = false;
    cancelButton->setEnabled(true);
    // However the batch ends, by an error too, the window is idle again before
    // anything is reported: bar empty, Cancel off, the next batch possible.
    const OnExit idle([this] {
        if (progress != 0) setProgress(0);
        cancelButton->setEnabled(false);
        batchRunning = false;
    });
    try {
        if (firstSelectedRow() < 0) return;
        if (!command.setUp()) return;
        const int s = selectedRowCount();
        if (s == 0) return;

        std::int64_t n = 0;
        const int c = messageModel->rowCount();
        const QItemSelectionModel* selection = messageList->selectionModel();
        for (int i = 0; i < c; ++i) {
            // Folder changes wait for the batch (onFolderClicked), so the list keeps
            // its rows; the walk still never reads past the rows on show.
            if (i >= messageModel->rowCount()) break;
            if (!selection->isRowSelected(i, QModelIndex())) continue;
            if (cancelled) break;
            if (command.letMessagesRun) QCoreApplication::processEvents();
            const int index = messageModel->recordIndex(i);
            if (index >= 0 && static_cast<std::size_t>(index) < messages.size()) {
                // A copy: printing lets window messages run while it works.
                const MessageInfo record = messages[static_cast<std::size_t>(index)];
                if (command.work(record)) ++n;
            }
            setProgress(static_cast<std::int32_t>(n * 100 / s));
        }
        setProgress(0);
        // A window closed under the batch (the quit button, the close box) ends
        // the program: no report after it.
        if (isVisible()) {
            showMessageBox(this, QMessageBox::Information, command.caption,
                           QStringLiteral("There became %1").arg(n) + command.suffix);
        }
    } catch (const BatchAbandoned&) {
    }
}

}  // namespace lumbrook
