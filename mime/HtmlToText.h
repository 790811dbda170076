#pragma once

// The readable text of an HTML message body, for the text export and the search
// index: what a reader sees, laid out in lines.

#include <string>
#include <string_view>

namespace lumbrook {

// The text of a UTF-8 HTML page. Blocks (paragraphs, divisions, headings, list items,
// table rows, ...) and <br> start new lines, paragraphs and their kind are set off by
// one empty line; white space collapses to one space except in <pre>; scripts, style
// sheets, the head and the title are left out. A link reads "text <address>" unless
// the address is its text; an image reads as its alt text; list items start with
// "- " (indented two spaces per nested list); the cells of a table row are joined by
// " | ". Lines end in CR LF, never in a space; there is never more than one empty
// line in a row and none at the start or end. Ill-formed UTF-8 in the input becomes
// U+FFFD. Inputs above 2 GiB are read up to there.
std::string htmlToText(std::string_view utf8Html);

}  // namespace lumbrook
