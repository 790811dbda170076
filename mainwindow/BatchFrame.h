#pragma once

// What printing, saving and export share: the batch frame that TMainForm::RunBatch
// runs over the selected rows, the waits of printing, and the progress bar.

#include <QEventLoop>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "store/oexpress.h"

class QPainter;
class QRect;

namespace lumbrook {

// One command's part of a batch.
struct TBatchCommand {
    // The completion box: "There became N" + Suffix, under Caption.
    QString Suffix;
    QString Caption;
    // Saving and export let pending window messages run before each message;
    // printing lets them run while it waits for its page.
    bool LetMessagesRun = false;
    // Before the walk; false ends the batch without a completion box.
    std::function<bool()> SetUp;
    // The work for one message; true when it counts as done.
    std::function<bool(const Toe5_MessageInfo& Record)> Work;
};

// Thrown when a wait ends because the program is quitting under the batch: the
// batch stops without a word.
struct TBatchAbandoned {};

// The bar for Percent drawn into Rect: navy, from the left, as wide as Percent of
// the rectangle (never wider, whatever Percent says); nothing at 0 or below.
void DrawProgressBar(QPainter& Canvas, const QRect& Rect, std::int32_t Percent);

// Lets window messages run until Sender has emitted Signal and Done() holds,
// blocked in an event loop in between, not polling. Throws TBatchAbandoned when
// the loop is ended from outside, which is what quitting the program does to
// every running loop.
template <typename Sender, typename Signal>
void WaitFor(const Sender* Source, Signal TheSignal, const std::function<bool()>& Done) {
    while (!Done()) {
        QEventLoop loop;
        bool signalled = false;
        QObject::connect(Source, TheSignal, &loop, [&] {
            signalled = true;
            loop.quit();
        });
        loop.exec();
        if (!signalled) throw TBatchAbandoned();
    }
}

}  // namespace lumbrook
