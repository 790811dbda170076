#pragma once

// The orders of the message list (and the text order the folder tree shares):
// plain functions over the store's records, used by the window's list and by
// lumbrook-cli, so that both walk the messages in the same order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/DbxReader.h"

namespace lumbrook {

// Only "a" to "z" become capitals; every other byte, letters with diacritics
// included, stays as it is.
std::string foldCase(std::string_view text);

// Byte-wise comparison of two texts already folded, as unsigned bytes, up to the
// first zero byte (the end of a C text): the difference of the first differing
// bytes, 0 when equal. A text that begins a longer one comes first.
int compareFolded(std::string_view a, std::string_view b);

// compareFolded of the two texts case-folded.
int compareText(std::string_view a, std::string_view b);

// The message list's columns.
enum ListColumn : std::int32_t { ColFrom = 0, ColTo = 1, ColSubject = 2, ColDate = 3 };

// Two message rows by sortColumn; with sortDescending the rows change places
// before comparing. Dates compare as converted date-time values, not as texts.
int listView1Compare(const MessageInfo& row1, const MessageInfo& row2,
                     std::int32_t sortColumn, bool sortDescending);

// Indexes into List in the list's order. Rows that compare equal keep their
// record order in both directions, so the result is the same on every run.
std::vector<std::size_t> sortedMessageOrder(const MessageList& list, std::int32_t sortColumn,
                                            bool sortDescending);

}  // namespace lumbrook
