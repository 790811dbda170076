#include "render/MessageOrder.h"

#include <algorithm>
#include <numeric>

namespace lumbrook {

namespace {
// The part of a text a C comparison sees: everything before its first zero byte.
std::string_view upToZero(std::string_view text) {
    const auto zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

int sign(double value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

const std::string& fieldOf(const MessageInfo& record, std::int32_t column) {
    return column == ColFrom ? record.from : (column == ColTo ? record.to : record.subject);
}
}  // namespace

std::string foldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

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
    return compareFolded(foldCase(a), foldCase(b));
}

int listView1Compare(const MessageInfo& row1, const MessageInfo& row2,
                     std::int32_t sortColumn, bool sortDescending) {
    const MessageInfo& a = sortDescending ? row2 : row1;
    const MessageInfo& b = sortDescending ? row1 : row2;
    switch (sortColumn) {
        case ColFrom:
        case ColTo:
        case ColSubject:
            return compareText(fieldOf(a, sortColumn), fieldOf(b, sortColumn));
        case ColDate:
            return sign(fileTimeToLocalDateTime(a.date) - fileTimeToLocalDateTime(b.date));
        default:
            return 0;
    }
}

std::vector<std::size_t> sortedMessageOrder(const MessageList& list, std::int32_t sortColumn,
                                            bool sortDescending) {
    std::vector<std::size_t> order(list.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const bool desc = sortDescending;
    // Keys are made once, not twice per comparison.
    if (sortColumn == ColDate) {
        std::vector<double> dates(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) dates[i] = fileTimeToLocalDateTime(list[i].date);
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            if (dates[a] != dates[b]) return desc ? dates[b] < dates[a] : dates[a] < dates[b];
            return a < b;
        });
    } else if (sortColumn >= ColFrom && sortColumn <= ColSubject) {
        std::vector<std::string> keys(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) keys[i] = foldCase(fieldOf(list[i], sortColumn));
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const int c = desc ? compareFolded(keys[b], keys[a]) : compareFolded(keys[a], keys[b]);
            return c != 0 ? c < 0 : a < b;
        });
    }
    return order;
}

}  // namespace lumbrook
