#include "listing/MessageOrder.h"

#include <algorithm>
#include <numeric>

#include "base/Ascii.h"

namespace lumbrook {

namespace {
// The part of a text a C comparison sees: everything before its first zero byte.
std::string_view upToZero(std::string_view text) {
    const auto zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

const std::string& fieldOf(const MessageInfo& record, std::int32_t column) {
    return column == ColFrom ? record.from : (column == ColTo ? record.to : record.subject);
}
}  // namespace

int compareFolded(std::string_view a, std::string_view b) {
    a = upToZero(a);
    b = upToZero(b);
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x - y;
    }
    // The shorter text meets its terminating zero first.
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -static_cast<unsigned char>(b[common])
                               : static_cast<unsigned char>(a[common]);
}

int compareText(std::string_view a, std::string_view b) {
    return compareFolded(upperAscii(a), upperAscii(b));
}

std::vector<std::size_t> MessageOrder::sorted(std::int32_t column, bool descending) {
    std::vector<std::size_t> order(list.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (column == ColDate) {
        if (dates.size() != list.size()) {
            dates.clear();
            dates.reserve(list.size());
            for (const MessageInfo& record : list)
                dates.push_back(fileTimeToLocalDateTime(record.date));
        }
        std::sort(order.begin(), order.end(), [this, descending](std::size_t a, std::size_t b) {
            if (dates[a] != dates[b]) return descending ? dates[b] < dates[a] : dates[a] < dates[b];
            return a < b;
        });
    } else if (column >= ColFrom && column <= ColSubject) {
        std::vector<std::string>& keys = foldedTexts[column];
        if (keys.size() != list.size()) {
            keys.clear();
            keys.reserve(list.size());
            for (const MessageInfo& record : list)
                keys.push_back(upperAscii(fieldOf(record, column)));
        }
        std::sort(order.begin(), order.end(), [&keys, descending](std::size_t a, std::size_t b) {
            const int c =
                descending ? compareFolded(keys[b], keys[a]) : compareFolded(keys[a], keys[b]);
            return c != 0 ? c < 0 : a < b;
        });
    }
    return order;
}

std::vector<std::size_t> sortedMessageOrder(const MessageList& list, std::int32_t sortColumn,
                                            bool sortDescending) {
    return MessageOrder(list).sorted(sortColumn, sortDescending);
}

}  // namespace lumbrook
