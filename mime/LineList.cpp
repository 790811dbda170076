#include "mime/LineList.h"

#include <algorithm>
#include <stdexcept>

namespace lumbrook {

namespace {

// The first CR or LF at or after From, or the end of the text.
std::size_t breakAt(std::string_view text, std::size_t from) {
    const char* p = text.data() + from;
    const char* end = text.data() + text.size();
    while (p < end && *p != '\r' && *p != '\n') ++p;
    return static_cast<std::size_t>(p - text.data());
}

// Where the line after the break at At starts.
std::size_t afterBreak(std::string_view text, std::size_t at) {
    if (at >= text.size()) return text.size();
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') return at + 2;
    return at + 1;
}

}  // namespace

LineList::Iterator::Iterator(std::string_view text, std::size_t start)
    : text(text), start(start), stop(start < text.size() ? breakAt(text, start) : text.size()) {}

LineList::Iterator& LineList::Iterator::operator++() {
    start = afterBreak(text, stop);
    stop = start < text.size() ? breakAt(text, start) : text.size();
    return *this;
}

LineList::LineList(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) push_back(line);
}

LineList::LineList(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) push_back(line);
}

LineList LineList::viewOf(std::string_view text) {
    LineList list;
    list.viewed = true;
    list.viewData = text.data();
    list.viewSize = text.size();
    list.indexFrom(0);
    return list;
}

void LineList::indexFrom(std::size_t offset) {
    const std::string_view bytes = text();
    for (std::size_t pos = offset; pos < bytes.size(); pos = afterBreak(bytes, breakAt(bytes, pos))) {
        if (count % Stride == 0) marks.push_back(pos);
        ++count;
    }
}

std::string_view LineList::at(std::size_t index) const {
    if (index >= count) throw std::out_of_range("LineList::at");
    Iterator it(text(), marks[index / Stride]);
    for (std::size_t k = index % Stride; k > 0; --k) ++it;
    return *it;
}

void LineList::makeOwned() {
    if (!viewed) return;
    owned.assign(viewData, viewSize);
    viewed = false;
    viewData = nullptr;
    viewSize = 0;
}

void LineList::push_back(std::string_view line) {
    makeOwned();
    // The last line gets its break first, so that the new one starts a line of its
    // own; that changes no line of the list.
    if (!owned.empty() && owned.back() == '\r') owned += '\n';
    else if (!owned.empty() && owned.back() != '\n') owned += "\r\n";
    const std::size_t offset = owned.size();
    owned += line;
    owned += "\r\n";
    indexFrom(offset);
}

void LineList::clear() {
    std::string().swap(owned);
    std::vector<std::size_t>().swap(marks);
    viewed = false;
    viewData = nullptr;
    viewSize = 0;
    count = 0;
}

std::string LineList::joined() const {
    std::string out;
    out.reserve(text().size() + 2 * count);
    for (std::string_view line : *this) {
        out += line;
        out += "\r\n";
    }
    return out;
}

bool operator==(const LineList& a, const LineList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

bool operator==(const LineList& a, const std::vector<std::string>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace lumbrook
