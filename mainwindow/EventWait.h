#pragma once

// The waits of printing: window messages run while the view loads and prints.

#include <QEventLoop>
#include <QObject>
#include <functional>

namespace lumbrook {

// Thrown when a wait ends because the program is quitting under the batch: the
// batch stops without a word.
struct BatchAbandoned {};

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
