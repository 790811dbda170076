#include "search/SearchQuery.h"

#include <cstdint>
#include <ctime>
#include <vector>

#include "base/Ascii.h"
#include "base/FileTime.h"

namespace lumbrook {
namespace {

// Far more than anyone types; keeps the expression the index must parse small.
constexpr std::size_t MaxQueryBytes = 4096;
constexpr std::size_t MaxTerms = 64;

enum class Field { Any, From, To, Subject, Folder, Has, Before, After };

struct Term {
    Field field = Field::Any;
    std::string text;
    bool prefix = false;
};

// Control characters separate words as spaces do (the index never makes them part of
// a word), and a zero byte must never reach the full-text expression, which it would end.
bool isSpaceOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == '\x7F';
}

// Decodes one UTF-8 sequence at pos; a broken one counts as a single byte, which the
// index's tokenizer also treats as a word character.
char32_t decodeAt(std::string_view s, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    std::size_t len = b0 < 0x80 ? 1 : b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 1;
    if (len > s.size() - pos) len = 1;
    char32_t cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    pos += len;
    return cp;
}

// Whether the tokenizer makes a word of this character. It splits at everything but
// letters and digits; outside ASCII the common punctuation and symbol blocks are
// enough here, since a text of separators only would otherwise ask for an empty
// phrase, which matches nothing.
bool isWordCharacter(char32_t c) {
    if (c < 0x80) return (c >= '0' && c <= '9') || isAsciiLetter(static_cast<char>(c));
    if (c < 0xC0) return c == 0xAA || c == 0xB2 || c == 0xB3 || c == 0xB5 || c == 0xB9 || c == 0xBA ||
                         (c >= 0xBC && c <= 0xBE);
    if (c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x206F) return false;  // general punctuation
    if (c >= 0x20A0 && c <= 0x20CF) return false;  // currency
    if (c >= 0x2190 && c <= 0x2BFF) return false;  // arrows, maths, boxes, shapes
    if (c >= 0x3000 && c <= 0x3003) return false;  // CJK spaces and stops
    if (c >= 0xFF01 && c <= 0xFF0F) return false;  // full-width punctuation
    return true;
}

bool hasWordCharacter(std::string_view s) {
    std::size_t pos = 0;
    while (pos < s.size())
        if (isWordCharacter(decodeAt(s, pos))) return true;
    return false;
}

// User text inside an error message: control characters (a zero byte would end the
// message early) shown as '?', and a long text cut.
std::string shown(std::string_view s) {
    constexpr std::size_t MaxShown = 40;
    std::string out;
    std::size_t pos = 0, characters = 0;
    while (pos < s.size()) {
        if (++characters > MaxShown) return out + "…";
        const std::size_t start = pos;
        const char32_t c = decodeAt(s, pos);
        if (c < 0x20 || c == 0x7F)
            out += '?';
        else
            out.append(s.substr(start, pos - start));
    }
    return out;
}

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string termExpression(const Term& t) {
    std::string out;
    switch (t.field) {
        case Field::From: out = "sender : "; break;
        case Field::To: out = "recipients : "; break;
        case Field::Subject: out = "subject : "; break;
        case Field::Folder: out = "folder : "; break;
        default: break;
    }
    out += quoted(t.text);
    if (t.prefix) out += " *";
    return out;
}

bool validDate(int y, int m, int d) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1601 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= Days[m - 1] + (m == 2 && leap ? 1 : 0);
}

class Parser {
public:
    explicit Parser(std::string_view text) : input(text) {}

    SearchQuery parse();

private:
    std::size_t column(std::size_t pos) const {
        std::size_t col = 1;
        for (std::size_t i = 0; i < pos && i < input.size(); ++i)
            if ((static_cast<unsigned char>(input[i]) & 0xC0) != 0x80) ++col;
        return col;
    }
    [[noreturn]] void fail(const std::string& what, std::size_t pos) const {
        const std::size_t col = column(pos);
        throw SearchQueryError(what + " at column " + std::to_string(col), col);
    }
    bool atEnd() const { return position >= input.size(); }
    bool atTermEnd() const { return atEnd() || isSpaceOrControl(input[position]); }
    bool atOr() const {
        return input.substr(position, 2) == "OR" &&
               (position + 2 == input.size() || isSpaceOrControl(input[position + 2]));
    }
    Field readField();
    Term readTerm(bool negated);
    std::uint64_t readDate(std::string_view value, std::size_t valuePos) const;
    void applyFilter(const Term& t, bool negated, std::size_t valuePos);

    std::string_view input;
    std::size_t position = 0;
    SearchQuery parsed;
};

Field Parser::readField() {
    std::size_t end = position;
    while (end < input.size() && isAsciiLetter(input[end])) ++end;
    if (end == position || end >= input.size() || input[end] != ':') return Field::Any;
    // A link typed as a word is not a field.
    if (input.substr(end + 1, 2) == "//") return Field::Any;
    const bool nothingAfter = end + 1 == input.size() || isSpaceOrControl(input[end + 1]);
    std::string name;
    for (std::size_t i = position; i < end; ++i) name += lowerAscii(input[i]);
    static constexpr std::pair<std::string_view, Field> Names[] = {
        {"from", Field::From},     {"to", Field::To},   {"subject", Field::Subject},
        {"folder", Field::Folder}, {"has", Field::Has}, {"before", Field::Before},
        {"after", Field::After}};
    for (const auto& [n, f] : Names) {
        if (n == name) {
            const std::size_t fieldPos = position;
            position = end + 1;
            if (atTermEnd())
                fail("nothing after '" + shown(input.substr(fieldPos, end + 1 - fieldPos)) + "'",
                     fieldPos);
            return f;
        }
    }
    // "Subject:" alone is a word that happens to end in a colon.
    if (nothingAfter) return Field::Any;
    fail("unknown field '" + shown(input.substr(position, end + 1 - position)) + "'", position);
}

Term Parser::readTerm(bool negated) {
    Term t;
    t.field = readField();
    const std::size_t valuePos = position;
    const bool isFilter = t.field == Field::Has || t.field == Field::Before || t.field == Field::After;
    if (input[position] == '"') {
        const std::size_t close = input.find('"', position + 1);
        if (close == std::string_view::npos) fail("unclosed quote", position);
        t.text = input.substr(position + 1, close - position - 1);
        for (char& c : t.text)
            if (isSpaceOrControl(c)) c = ' ';
        position = close + 1;
        if (!isFilter && !atEnd() && input[position] == '*') {
            t.prefix = true;
            ++position;
        }
        if (t.text.empty()) fail("empty phrase", valuePos);
    } else {
        const std::size_t start = position;
        while (!atTermEnd()) ++position;
        t.text = input.substr(start, position - start);
        if (!isFilter && t.text.size() > 1 && t.text.back() == '*') {
            t.text.pop_back();
            t.prefix = true;
        } else if (!isFilter && t.text == "*") {
            fail("'*' needs letters before it", start);
        }
    }
    if (isFilter) applyFilter(t, negated, valuePos);
    return t;
}

std::uint64_t Parser::readDate(std::string_view value, std::size_t valuePos) const {
    auto bad = [&]() { fail("bad date '" + shown(value) + "' (use YYYY-MM-DD)", valuePos); };
    if (value.size() != 10 || value[4] != '-' || value[7] != '-') bad();
    int parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < lengths[i]; ++j) {
            const char c = value[starts[i] + j];
            if (c < '0' || c > '9') bad();
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    if (!validDate(parts[0], parts[1], parts[2])) bad();
    std::tm tm{};
    tm.tm_year = parts[0] - 1900;
    tm.tm_mon = parts[1] - 1;
    tm.tm_mday = parts[2];
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    const std::optional<std::uint64_t> fileTime = unixToFileTime(t);
    if (!fileTime) bad();
    return *fileTime;
}

void Parser::applyFilter(const Term& t, bool negated, std::size_t valuePos) {
    if (t.field == Field::Has) {
        std::string value;
        for (char c : t.text) value += lowerAscii(c);
        if (value != "attachment" && value != "attachments")
            fail("unknown value '" + shown(t.text) + "' for has: (only has:attachment)", valuePos);
        parsed.hasAttachment = !negated;
        return;
    }
    const std::uint64_t day = readDate(t.text, valuePos);
    // Not before a day is from that day on, and not after it is before it.
    const bool lower = (t.field == Field::After) != negated;
    if (lower) {
        if (!parsed.after || *parsed.after < day) parsed.after = day;
    } else {
        if (!parsed.before || *parsed.before > day) parsed.before = day;
    }
}

SearchQuery Parser::parse() {
    if (input.size() > MaxQueryBytes)
        throw SearchQueryError("the query is too long (at most " + std::to_string(MaxQueryBytes) +
                                   " characters)",
                               0);
    std::vector<std::vector<Term>> groups;  // all must match; each one of its terms
    std::vector<Term> excluded;
    std::size_t terms = 0;
    std::size_t orPos = std::string_view::npos;  // an OR waiting for its right side
    enum class Last { Nothing, Word, Other } last = Last::Nothing;
    std::size_t lastGroup = SIZE_MAX;  // the group the word before an OR went to
    while (true) {
        while (!atEnd() && isSpaceOrControl(input[position])) ++position;
        if (atEnd()) break;
        const std::size_t termPos = position;
        if (atOr()) {
            if (last != Last::Word || orPos != std::string_view::npos)
                fail("OR needs a word on each side", termPos);
            orPos = termPos;
            position += 2;
            continue;
        }
        bool negated = false;
        if (input[position] == '-') {
            negated = true;
            ++position;
            if (atTermEnd()) fail("nothing after '-'", termPos);
        }
        if (++terms > MaxTerms)
            fail("too many terms (at most " + std::to_string(MaxTerms) + ")", termPos);
        const Term t = readTerm(negated);
        const bool isFilter =
            t.field == Field::Has || t.field == Field::Before || t.field == Field::After;
        if (orPos != std::string_view::npos && (negated || isFilter))
            fail("OR joins words, not " + std::string(negated ? "exclusions" : "filters"), termPos);
        if (isFilter || negated) {
            // Punctuation alone makes no word to look for; leave it out, as the index does.
            if (negated && !isFilter && hasWordCharacter(t.text)) excluded.push_back(t);
            last = Last::Other;
            continue;
        }
        const bool searchable = hasWordCharacter(t.text);
        if (orPos != std::string_view::npos) {
            orPos = std::string_view::npos;
            if (searchable && lastGroup != SIZE_MAX) {
                groups[lastGroup].push_back(t);
            } else if (searchable) {
                groups.push_back({t});
                lastGroup = groups.size() - 1;
            }
        } else {
            lastGroup = SIZE_MAX;
            if (searchable) {
                groups.push_back({t});
                lastGroup = groups.size() - 1;
            }
        }
        last = Last::Word;
    }
    if (orPos != std::string_view::npos) fail("OR needs a word on each side", orPos);
    if (last == Last::Nothing) throw SearchQueryError("nothing to search for", 0);
    if (groups.empty() && excluded.empty() && !parsed.hasAttachment && !parsed.after &&
        !parsed.before)
        throw SearchQueryError("nothing to search for (only punctuation)", 0);

    for (const auto& group : groups) {
        for (const Term& t : group) parsed.hasPrefixTerm = parsed.hasPrefixTerm || t.prefix;
        if (!parsed.match.empty()) parsed.match += " AND ";
        if (group.size() == 1) {
            parsed.match += termExpression(group.front());
            continue;
        }
        parsed.match += '(';
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (i) parsed.match += " OR ";
            parsed.match += termExpression(group[i]);
        }
        parsed.match += ')';
    }
    for (std::size_t i = 0; i < excluded.size(); ++i) {
        parsed.hasPrefixTerm = parsed.hasPrefixTerm || excluded[i].prefix;
        if (i) parsed.exclude += " OR ";
        parsed.exclude += termExpression(excluded[i]);
    }
    return parsed;
}

}  // namespace

SearchQuery parseSearchQuery(std::string_view text) { return Parser(text).parse(); }

}  // namespace lumbrook
