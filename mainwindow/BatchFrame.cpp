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
    explicit TOnExit(F action) : Action(std::move(action)) {}
    ~TOnExit() { Action(); }
    TOnExit(const TOnExit&) = delete;
    TOnExit& operator=(const TOnExit&) = delete;

  private:
    F Action;
};
}  // namespace

void DrawProgressBar(QPainter& Canvas, const QRect& Rect, std::int32_t Percent) {
    if (Percent <= 0 || Rect.width() <= 0) return;
    const std::int64_t width =
        std::min<std::int64_t>(std::int64_t{Rect.width()} * Percent / 100, Rect.width());
    if (width <= 0) return;
    Canvas.fillRect(QRect(Rect.left(), Rect.top(), static_cast<int>(width), Rect.height()), Navy);
}

void TMainForm::StatusBar1DrawPanel(QPainter& Canvas, const QRect& Rect) {
    DrawProgressBar(Canvas, Rect, ProStatus);
    ProRect = Rect;
}

void TMainForm::SBarPaintMore() {
    // Painting happens in paint events only: the panel paints its bar region now,
    // without waiting for the event loop, so that every step shows at once.
    StatusPanel2->repaint(ProRect.isNull() ? StatusPanel2->contentsRect() : ProRect);
}

void TMainForm::SetProStatus(std::int32_t Value) {
    if (Value < ProStatus) {
        // A shorter bar has to clear the longer one.
        ProStatus = Value;
        StatusBar1->repaint();
    } else {
        ProStatus = Value;
        SBarPaintMore();
    }
    emit ProStatusSet(Value);
}

void TMainForm::CancelBtnClick() {
    Cancelled = true;
}

int TMainForm::SelectedRowCount() const {
    const QItemSelectionModel* selection = ListView1->selectionModel();
    const int count = ListModel->rowCount();
    int selected = 0;
    for (int i = 0; i < count; ++i) {
        if (selection->isRowSelected(i, QModelIndex())) ++selected;
    }
    return selected;
}

void TMainForm::RunBatch(const TBatchCommand& Command) {
    if (BatchRunning) return;
    BatchRunning = true;
    Cancelled = false;
    CancelBtn->setEnabled(true);
    // However the batch ends, by an error too, the window is idle again before
    // anything is reported: bar empty, Cancel off, the next batch possible.
    const TOnExit idle([this] {
        if (ProStatus != 0) SetProStatus(0);
        CancelBtn->setEnabled(false);
        BatchRunning = false;
    });
    try {
        if (FirstSelectedRow() < 0) return;
        if (!Command.SetUp()) return;
        const int S = SelectedRowCount();
        if (S == 0) return;

        std::int64_t N = 0;
        const int C = ListModel->rowCount();
        const QItemSelectionModel* selection = ListView1->selectionModel();
        for (int i = 0; i < C; ++i) {
            // Folder changes wait for the batch (TreeView1Click), so the list keeps
            // its rows; the walk still never reads past the rows on show.
            if (i >= ListModel->rowCount()) break;
            if (!selection->isRowSelected(i, QModelIndex())) continue;
            if (Cancelled) break;
            if (Command.LetMessagesRun) QCoreApplication::processEvents();
            const int index = ListModel->RecordIndex(i);
            if (index >= 0 && static_cast<std::size_t>(index) < MessageList.size()) {
                // A copy: printing lets window messages run while it works.
                const Toe5_MessageInfo record = MessageList[static_cast<std::size_t>(index)];
                if (Command.Work(record)) ++N;
            }
            SetProStatus(static_cast<std::int32_t>(N * 100 / S));
        }
        SetProStatus(0);
        // A window closed under the batch (the quit button, the close box) ends
        // the program: no report after it.
        if (isVisible()) {
            ShowMessageBox(this, QMessageBox::Information, Command.Caption,
                           QStringLiteral("There became %1").arg(N) + Command.Suffix);
        }
    } catch (const TBatchAbandoned&) {
    }
}

}  // namespace lumbrook
