#pragma once

// The one order of the message list (and the text order the folder tree shares):
// plain code over the store's records, used by the window's list, its batches and
// lumbrook-cli, so that all of them walk the messages in the same order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/DbxReader.h"

namespace lumbrook {

// Byte-wise comparison of two texts already folded (upperAscii), as unsigned bytes,
// up to the first zero byte (the end of a C text): the difference of the first
// differing bytes, 0 when equal. A text that begins a longer one comes first.
int compareFolded(std::string_view a, std::string_view b);

// compareFolded of the two texts case-folded.
int compareText(std::string_view a, std::string_view b);

// The message list's columns.
enum ListColumn : std::int32_t { ColFrom = 0, ColTo = 1, ColSubject = 2, ColDate = 3 };

// The orders of one list of records. Texts compare folded, dates as converted
// date-time values (milliseconds count), not as texts. Each column's keys are made
// once, when the list is first sorted by it, so that a folder of 100,000 messages
// re-sorts quickly. The list must outlive the order and stay as it is.
class MessageOrder {
  public:
    explicit MessageOrder(const MessageList& list) : list(list) {}

    // Indexes into the list in the order of Column. Rows that compare equal keep
    // their record order in both directions, so the result is the same on every
    // run; a column out of range gives the record order.
    std::vector<std::size_t> sorted(std::int32_t column, bool descending);

  private:
    const MessageList& list;
    std::vector<double> dates;
    std::vector<std::string> foldedTexts[3];  // From, To, Subject
};

// MessageOrder(List).sorted(Column, Descending), for a single sort.
std::vector<std::size_t> sortedMessageOrder(const MessageList& list, std::int32_t sortColumn,
                                            bool sortDescending);

}  // namespace lumbrook
