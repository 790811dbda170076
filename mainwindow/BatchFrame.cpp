// The batch frame of TMainForm: guard, walk over the selected rows, progress and
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
#include "mainwindow/MainUnit.h"
#include "mainwindow/MessageListModel.h"
#include "mainwindow/Modal.h"

namespace lumbrook {

namespace {
const QColor Navy(0, 0, 128);

// Runs its action when it goes out of scope, by an exception too.
template <typename F>
class TOnExit {
  public:
    explicit TOnExit(F action) : action(std::move(action)) {}
    ~TOnExit() { action(); }
    TOnExit(const TOnExit&) = delete;
    TOnExit& operator=(const TOnExit&) = delete;

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

void TMainForm::statusBar1DrawPanel(QPainter& canvas, const QRect& rect) {
    drawProgressBar(canvas, rect, proStatus);
    proRect = rect;
}

void TMainForm::sBarPaintMore() {
    // Painting happens in paint events only: the panel paints its bar region now,
    // without waiting for the event loop, so that every step shows at once.
    statusPanel2->repaint(proRect.isNull() ? statusPanel2->contentsRect() : proRect);
}

void TMainForm::setProStatus(std::int32_t value) {
    if (value < proStatus) {
        // A shorter bar has to clear the longer one.
        proStatus = value;
        statusBar1->repaint();
    } else {
        proStatus = value;
        sBarPaintMore();
    }
    emit proStatusSet(value);
}

void TMainForm::cancelBtnClick() {
    cancelled = true;
}

int TMainForm::selectedRowCount() const {
    const QItemSelectionModel* selection = listView1->selectionModel();
    const int count = listModel->rowCount();
    int selected = 0;
    for (int i = 0; i < count; ++i) {
        if (selection->isRowSelected(i, QModelIndex())) ++selected;
    }
    return selected;
}

void TMainForm::runBatch(const TBatchCommand& command) {
    if (batchRunning) return;
    batchRunning = true;
    cancelled = false;
    cancelBtn->setEnabled(true);
    // However the batch ends, by an error too, the window is idle again before
    // anything is reported: bar empty, Cancel off, the next batch possible.
    const TOnExit idle([this] {
        if (proStatus != 0) setProStatus(0);
        cancelBtn->setEnabled(false);
        batchRunning = false;
    });
    try {
        if (firstSelectedRow() < 0) return;
        if (!command.setUp()) return;
        const int s = selectedRowCount();
        if (s == 0) return;

        std::int64_t n = 0;
        const int c = listModel->rowCount();
        const QItemSelectionModel* selection = listView1->selectionModel();
        for (int i = 0; i < c; ++i) {
            // Folder changes wait for the batch (TreeView1Click), so the list keeps
            // its rows; the walk still never reads past the rows on show.
            if (i >= listModel->rowCount()) break;
            if (!selection->isRowSelected(i, QModelIndex())) continue;
            if (cancelled) break;
            if (command.letMessagesRun) QCoreApplication::processEvents();
            const int index = listModel->recordIndex(i);
            if (index >= 0 && static_cast<std::size_t>(index) < messageList.size()) {
                // A copy: printing lets window messages run while it works.
                const Toe5_MessageInfo record = messageList[static_cast<std::size_t>(index)];
                if (command.work(record)) ++n;
            }
            setProStatus(static_cast<std::int32_t>(n * 100 / s));
        }
        setProStatus(0);
        // A window closed under the batch (the quit button, the close box) ends
        // the program: no report after it.
        if (isVisible()) {
            showMessageBox(this, QMessageBox::Information, command.caption,
                           QStringLiteral("There became %1").arg(n) + command.suffix);
        }
    } catch (const TBatchAbandoned&) {
    }
}

}  // namespace lumbrook
