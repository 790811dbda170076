#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "store/oexpress.h"

namespace lumbrook {

// The folder tree's and the message list's text order: "a"-"z" folded to capitals,
// every other byte as it is, compared as unsigned bytes; a prefix comes first.
int CompareFoldedText(std::string_view a, std::string_view b);

// Message list columns.
enum TMessageColumn : int { colFrom = 0, colTo = 1, colSubject = 2, colDate = 3 };

// The list's order of two records for a sort column: the texts by the folded
// comparison, dates as converted local date-time values (milliseconds count).
// Descending compares the second against the first.
int ListView1Compare(const Toe5_MessageInfo& a, const Toe5_MessageInfo& b, int SortColumn,
                     bool SortDescending);

// Indexes into List in the list's order. Equal records keep their index order,
// so the result is the same on every run.
std::vector<std::size_t> SortedMessageOrder(const TMessageList& List, int SortColumn,
                                            bool SortDescending);

}  // namespace lumbrook
