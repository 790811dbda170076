#pragma once

// BatchRun: the walk of one batch command (printing, saving, export) over the
// messages chosen, without widgets: the window drives it with the selection it
// had when the batch started, and lumbrook-cli can drive it with a folder.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/DbxReader.h"

namespace lumbrook {

class BatchRun {
  public:
    // The work for one message; true when it counts as done. A failure it throws
    // ends the walk and goes to the caller; what was counted stays counted.
    using Work = std::function<bool(const MessageInfo& record)>;
    // The share of the messages walked so far, in percent, after each message.
    using Progress = std::function<void(std::int32_t percent)>;
    // Runs before each message, after the cancel test (the window lets its
    // pending events run there, a Cancel click among them).
    using BeforeEach = std::function<void()>;

    // Messages: the ones to walk, in the order of the list they were chosen from.
    explicit BatchRun(MessageList messages) : messages(std::move(messages)) {}

    // Walks the messages until the end or a cancel request and returns how many
    // were done. A request made before the walk stops it before the first message.
    std::int64_t run(const Work& work, const Progress& progress = {},
                     const BeforeEach& beforeEach = {});

    // Takes effect before the next message; the one being worked on is finished.
    void cancel() { cancelRequested = true; }
    bool cancelled() const { return cancelRequested; }

    std::size_t total() const { return messages.size(); }
    std::int64_t done() const { return doneCount; }

  private:
    MessageList messages;
    bool cancelRequested = false;
    std::int64_t doneCount = 0;
};

}  // namespace lumbrook
