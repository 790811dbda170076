#include "output/BatchRun.h"

namespace lumbrook {

std::int64_t BatchRun::run(const Work& work, const Progress& progress,
                           const BeforeEach& beforeEach) {
    const auto total = static_cast<std::int64_t>(messages.size());
    for (const MessageInfo& record : messages) {
        if (cancelRequested) break;
        if (beforeEach) beforeEach();
        if (work(record)) ++doneCount;
        // A message that failed moves the bar on as well.
        if (progress) progress(static_cast<std::int32_t>(doneCount * 100 / total));
    }
    return doneCount;
}

}  // namespace lumbrook
