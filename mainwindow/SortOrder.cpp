#include "mainwindow/SortOrder.h"

namespace lumbrook {

namespace {
// The part of a text a C comparison sees: everything before its first zero byte.
std::string_view UpToZero(std::string_view text) {
    const auto zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

int Sign(double value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
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
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
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

int TreeView1Compare(const Toe5_FolderInfo& A, const Toe5_FolderInfo& B) {
    if (!A.IsSpecial && !B.IsSpecial) return CompareText(A.Name, B.Name);
    if (A.IsSpecial && !B.IsSpecial) return -1;
    if (!A.IsSpecial && B.IsSpecial) return 1;
    // The difference taken in 64 bits: a 32-bit one wraps for ids far apart and
    // would make the order contradict itself.
    const std::int64_t diff = std::int64_t{A.FolderId} - std::int64_t{B.FolderId};
    return diff < 0 ? -1 : (diff > 0 ? 1 : 0);
}

int ListView1Compare(const Toe5_MessageInfo& Row1, const Toe5_MessageInfo& Row2,
                     std::int32_t SortColumn, bool SortDescending) {
    const Toe5_MessageInfo& a = SortDescending ? Row2 : Row1;
    const Toe5_MessageInfo& b = SortDescending ? Row1 : Row2;
    switch (SortColumn) {
        case ColFrom:
            return CompareText(a.From, b.From);
        case ColTo:
            return CompareText(a.To, b.To);
        case ColSubject:
            return CompareText(a.Subject, b.Subject);
        case ColDate:
            return Sign(FileTimeToLocalDateTime(a.Date) - FileTimeToLocalDateTime(b.Date));
        default:
            return 0;
    }
}

}  // namespace lumbrook
