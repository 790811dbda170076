#include "render/MessageOrder.h"

#include <algorithm>
#include <numeric>

namespace lumbrook {

namespace {
// The part of a text a C comparison sees: everything before its first zero byte.
std::string_view UpToZero(std::string_view text) {
    const auto zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

int Sign(double value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

const std::string& FieldOf(const Toe5_MessageInfo& record, std::int32_t column) {
    return column == ColFrom ? record.From : (column == ColTo ? record.To : record.Subject);
}
}  // namespace

std::string FoldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

int CompareFolded(std::string_view a, std::string_view b) {
    a = UpToZero(a);
    b = UpToZero(b);
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

int CompareText(std::string_view a, std::string_view b) {
    return CompareFolded(FoldCase(a), FoldCase(b));
}

int ListView1Compare(const Toe5_MessageInfo& Row1, const Toe5_MessageInfo& Row2,
                     std::int32_t SortColumn, bool SortDescending) {
    const Toe5_MessageInfo& a = SortDescending ? Row2 : Row1;
    const Toe5_MessageInfo& b = SortDescending ? Row1 : Row2;
    switch (SortColumn) {
        case ColFrom:
        case ColTo:
        case ColSubject:
            return CompareText(FieldOf(a, SortColumn), FieldOf(b, SortColumn));
        case ColDate:
            return Sign(FileTimeToLocalDateTime(a.Date) - FileTimeToLocalDateTime(b.Date));
        default:
            return 0;
    }
}

std::vector<std::size_t> SortedMessageOrder(const TMessageList& List, std::int32_t SortColumn,
                                            bool SortDescending) {
    std::vector<std::size_t> order(List.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const bool desc = SortDescending;
    // Keys are made once, not twice per comparison.
    if (SortColumn == ColDate) {
        std::vector<double> dates(List.size());
        for (std::size_t i = 0; i < List.size(); ++i) dates[i] = FileTimeToLocalDateTime(List[i].Date);
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            if (dates[a] != dates[b]) return desc ? dates[b] < dates[a] : dates[a] < dates[b];
            return a < b;
        });
    } else if (SortColumn >= ColFrom && SortColumn <= ColSubject) {
        std::vector<std::string> keys(List.size());
        for (std::size_t i = 0; i < List.size(); ++i) keys[i] = FoldCase(FieldOf(List[i], SortColumn));
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const int c = desc ? CompareFolded(keys[b], keys[a]) : CompareFolded(keys[a], keys[b]);
            return c != 0 ? c < 0 : a < b;
        });
    }
    return order;
}

}  // namespace lumbrook
