#pragma once

// The lines of a text, kept as the text itself instead of one string per line: a
// body of short lines costs its own bytes (or nothing, when viewed) plus a few bytes
// per 64 lines, where a string per line cost 32 bytes and more each.

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace lumbrook {

// Lines split at CR LF, CR or LF; a final line break adds no empty line, and an
// empty text has no lines. The text is either viewed (a part's decoded body, which
// must then outlive the list unchanged) or held by the list; adding a line to a
// viewed list copies the text first.
class LineList {
  public:
    class Iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::string_view*;
        using reference = std::string_view;

        Iterator() = default;
        std::string_view operator*() const { return text.substr(start, stop - start); }
        Iterator& operator++();
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const { return start == other.start; }

      private:
        friend class LineList;
        Iterator(std::string_view text, std::size_t start);
        std::string_view text;
        std::size_t start = 0;
        std::size_t stop = 0;  // where the line's break (or the text) begins
    };

    LineList() = default;
    LineList(std::initializer_list<std::string_view> lines);
    explicit LineList(const std::vector<std::string>& lines);

    // The lines of Text up to its first zero byte, without copying it.
    static LineList viewOf(std::string_view text);

    bool empty() const { return count == 0; }
    std::size_t size() const { return count; }
    // Walks at most 63 lines from the nearest mark; throws std::out_of_range
    // outside the list.
    std::string_view at(std::size_t index) const;
    std::string_view operator[](std::size_t index) const { return at(index); }
    Iterator begin() const { return Iterator(text(), 0); }
    Iterator end() const { return Iterator(text(), text().size()); }

    // Adds Line and a CR LF after it; line breaks inside Line make several lines.
    void push_back(std::string_view line);
    void clear();

    // The bytes the lines come from, with their line breaks as they were.
    std::string_view text() const { return viewed ? std::string_view(viewData, viewSize) : owned; }
    // Every line followed by CR LF.
    std::string joined() const;

    friend bool operator==(const LineList& a, const LineList& b);
    friend bool operator==(const LineList& a, const std::vector<std::string>& b);

  private:
    static constexpr std::size_t Stride = 64;
    // Counts and marks the lines of the text from Offset on, which starts a line.
    void indexFrom(std::size_t offset);
    void makeOwned();

    std::string owned;
    const char* viewData = nullptr;
    std::size_t viewSize = 0;
    bool viewed = false;
    std::size_t count = 0;
    std::vector<std::size_t> marks;  // where lines 0, Stride, 2 Stride, ... start
};

}  // namespace lumbrook
