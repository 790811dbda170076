#include "render/MessageOrder.h"

#include <algorithm>
#include <numeric>

namespace lumbrook {

namespace {
unsigned char Fold(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

int CompareDates(std::uint64_t a, std::uint64_t b) {
    const double d = FileTimeToLocalDateTime(a) - FileTimeToLocalDateTime(b);
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

const std::string& TextOf(const Toe5_MessageInfo& m, int column) {
    return column == colFrom ? m.From : (column == colTo ? m.To : m.Subject);
}
}  // namespace

int CompareFoldedText(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d = int(Fold(a[i])) - int(Fold(b[i]));
        if (d != 0) return d;
    }
    // The shorter text meets its terminating zero first.
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -int(Fold(b[n])) : int(Fold(a[n]));
}

int ListView1Compare(const Toe5_MessageInfo& a, const Toe5_MessageInfo& b, int SortColumn,
                     bool SortDescending) {
    const Toe5_MessageInfo& x = SortDescending ? b : a;
    const Toe5_MessageInfo& y = SortDescending ? a : b;
    if (SortColumn == colDate) return CompareDates(x.Date, y.Date);
    return CompareFoldedText(TextOf(x, SortColumn), TextOf(y, SortColumn));
}

std::vector<std::size_t> SortedMessageOrder(const TMessageList& List, int SortColumn,
                                            bool SortDescending) {
    std::vector<std::size_t> order(List.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (SortColumn == colDate) {
        // Convert each date once rather than twice per comparison.
        std::vector<double> keys(List.size());
        for (std::size_t i = 0; i < List.size(); ++i) keys[i] = FileTimeToLocalDateTime(List[i].Date);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
            return SortDescending ? keys[j] < keys[i] : keys[i] < keys[j];
        });
    } else {
        std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
            return ListView1Compare(List[i], List[j], SortColumn, SortDescending) < 0;
        });
    }
    return order;
}

}  // namespace lumbrook
