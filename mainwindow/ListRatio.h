#pragma once

// The share of the right-hand panel that the message list takes (listRatio).

#include <cstdint>

namespace lumbrook {

inline constexpr std::int32_t MinListRatio = 10;
inline constexpr std::int32_t MaxListRatio = 90;

// onResized: the list's height for a panel height, truncating.
inline std::int32_t listHeightFor(std::int32_t panelHeight, std::int32_t listRatio) {
    return static_cast<std::int32_t>(std::int64_t{panelHeight} * listRatio / 100);
}

// onListSplitterMoved: the ratio the user's drag gives, kept within 10 to 90. A panel
// of no height says nothing about a ratio and leaves the old one.
inline std::int32_t ratioAfterDrag(std::int32_t listHeight, std::int32_t panelHeight,
                                   std::int32_t oldRatio) {
    if (panelHeight <= 0) return oldRatio;
    const std::int64_t ratio = std::int64_t{listHeight} * 100 / panelHeight;
    if (ratio < MinListRatio) return MinListRatio;
    if (ratio > MaxListRatio) return MaxListRatio;
    return static_cast<std::int32_t>(ratio);
}

}  // namespace lumbrook
