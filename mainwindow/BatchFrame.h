#pragma once

// What printing, saving and export share: the batch frame that MainWindow::runBatch
// runs over the selected rows, the waits of printing, and the progress bar.

#include <QEventLoop>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "store/DbxReader.h"

class QPainter;
class QRect;

namespace lumbrook {

// One command's part of a batch.
struct BatchCommand {
    // The completion box: "There became N" + Suffix, under Caption.
    QString suffix;
    QString caption;
    // Saving and export let pending window messages run before each message;
    // printing lets them run while it waits for its page.
    bool letMessagesRun = false;
    // Before the walk; false ends the batch without a completion box.
    std::function<bool()> setUp;
    // The work for one message; true when it counts as done.
    std::function<bool(const MessageInfo& record)> work;
};

// Thrown when a wait ends because the program is quitting under the batch: the
// batch stops without a word.
struct BatchAbandoned {};

// The bar for Percent drawn into Rect: navy, from the left, as wide as Percent of
// the rectangle (never wider, whatever Percent says); nothing at 0 or below.
void drawProgressBar(QPainter& canvas, const QRect& rect, std::int32_t percent);

// Lets window messages run until Sender has emitted Signal and Done() holds,
// blocked in an event loop in between, not polling. Throws BatchAbandoned when
// the loop is ended from outside, which is what quitting the program does to
// every running loop.
template <typename Sender, typename Signal>
void waitFor(const Sender* source, Signal theSignal, const std::function<bool()>& done) {
    while (!done()) {
        QEventLoop loop;
        bool signalled = false;
        QObject::connect(source, theSignal, &loop, [&] {
            signalled = true;
            loop.quit();
        });
        loop.exec();
        if (!signalled) throw BatchAbandoned();
    }
}

}  // namespace lumbrook
