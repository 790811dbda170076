#pragma once

// The search box's little language, read into what the index needs: one full-text
// expression for the words that must match, one for the words to leave out, and the
// filters that are plain values (dates, attachment) rather than words.
//
//   word            every word must match (in any of from, to, subject, folder,
//                   attachment names or body); accents and case do not matter
//   "a phrase"      the words in this order
//   pre*            any word starting with "pre" (also "a phrase"*)
//   a OR b          either; OR (upper case) binds tighter than the spaces between
//                   terms, so "x a OR b" is x and (a or b)
//   -word           messages without the word (also -"a phrase", -from:bob)
//   from: to: subject: folder:   the term only in that field (word, prefix, phrase)
//   has:attachment  only messages with attachments (-has:attachment: only without)
//   after:YYYY-MM-DD   sent on that day or later (from local midnight starting it)
//   before:YYYY-MM-DD  sent before that day (up to local midnight starting it)
//
// A query of filters or exclusions alone is fine: it lists every message that passes,
// newest first. Only a query with nothing at all in it is an error.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumbrook {

// A query the parser cannot read; the message is plain English for the user and says
// where, counted in characters from 1.
class SearchQueryError : public std::runtime_error {
public:
    SearchQueryError(const std::string& message, std::size_t column)
        : std::runtime_error(message), errorColumn(column) {}
    // 0 when the error is about the query as a whole ("nothing to search for").
    std::size_t column() const { return errorColumn; }

private:
    std::size_t errorColumn;
};

struct SearchQuery {
    // Full-text expression of the terms that must match, every user text quoted;
    // empty when the query has none.
    std::string match;
    // Expression of the terms whose messages are left out; empty when none.
    std::string exclude;
    std::optional<bool> hasAttachment;
    // File times (100 ns since 1601 UTC): a message passes when after <= time < before.
    std::optional<std::uint64_t> after;
    std::optional<std::uint64_t> before;
    // Whether match or exclude has a term ending in '*', which the index must expand to
    // every word it starts before it can look at a single message.
    bool hasPrefixTerm = false;
};

SearchQuery parseSearchQuery(std::string_view text);

}  // namespace lumbrook
