#include "mime/MailHeaders.h"

#include <fstream>
#include <sstream>
#include <unordered_map>

#include "base/Ascii.h"
#include "mime/MailCodecs.h"

namespace lumbrook {

namespace {

// One enclosing pair of double quotes removed (a lone quote counts as a pair).
std::string_view stripDoubleQuotes(std::string_view s) {
    if (!s.empty() && s.front() == '"' && s.back() == '"')
        return s.size() >= 2 ? s.substr(1, s.size() - 2) : std::string_view{};
    return s;
}

// The scan shared by findParam and replaceParam over a line that ends in ";".
// Calls Take(char) for characters that belong to the value of the wanted
// parameter; returns the offset of the first matching "=" (npos when none).
template <typename TTake>
std::size_t scanParams(std::string_view s, std::string_view paramName, TTake&& take) {
    const std::string wanted = upperAscii(trimBlanks(paramName));
    bool quote = false, inValue = false, inParams = false, capture = false;
    std::size_t firstMatch = std::string_view::npos;
    std::string name;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') quote = !quote;
        if (!quote && c == ':' && !inValue && !inParams) {
            inValue = true;
            capture = false;
        } else if (!quote && c == ';' && (inValue || inParams)) {
            inParams = true;
            inValue = false;
            capture = false;
            name.clear();
        } else if (!quote && c == '=' && inParams) {
            capture = upperAscii(trimBlanks(name)) == wanted;
            if (capture && firstMatch == std::string_view::npos) firstMatch = i;
            name.clear();
        } else if (capture) {
            take(c);
        } else if (inParams) {
            name += c;
        }
    }
    return firstMatch;
}

std::string withFinalSemicolon(std::string_view line) {
    std::string s(trimBlanks(line));
    if (s.empty() || s.back() != ';') s += ';';
    return s;
}

using MediaTable = std::unordered_map<std::string, std::string>;

// Used only where /etc/mime.types is missing.
MediaTable builtInMediaTypes() {
    return {{"txt", "text/plain"},
            {"htm", "text/html"},
            {"html", "text/html"},
            {"css", "text/css"},
            {"csv", "text/csv"},
            {"xml", "application/xml"},
            {"rtf", "application/rtf"},
            {"pdf", "application/pdf"},
            {"zip", "application/zip"},
            {"doc", "application/msword"},
            {"xls", "application/vnd.ms-excel"},
            {"ppt", "application/vnd.ms-powerpoint"},
            {"gif", "image/gif"},
            {"jpg", "image/jpeg"},
            {"jpeg", "image/jpeg"},
            {"jpe", "image/jpeg"},
            {"png", "image/png"},
            {"bmp", "image/bmp"},
            {"tif", "image/tiff"},
            {"tiff", "image/tiff"},
            {"ico", "image/vnd.microsoft.icon"},
            {"wav", "audio/x-wav"},
            {"mp3", "audio/mpeg"},
            {"mid", "audio/midi"},
            {"avi", "video/x-msvideo"},
            {"mpg", "video/mpeg"},
            {"mpeg", "video/mpeg"},
            {"eml", "message/rfc822"}};
}

MediaTable loadMediaTypes() {
    MediaTable table;
    std::ifstream in("/etc/mime.types");
    std::string line;
    while (in && std::getline(in, line)) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::string type, ext;
        if (!(words >> type)) continue;
        while (words >> ext) {
            for (char& c : ext) c = lowerAscii(c);
            table.emplace(ext, type);  // the first entry of an extension wins
        }
    }
    if (table.empty()) table = builtInMediaTypes();
    return table;
}

}  // namespace

std::string normalizeHeaderLine(std::string_view line) {
    bool inLabel = true, inQuote = false;
    std::string label, value, quoted;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && !inLabel) {
            inQuote = !inQuote;
            if (inQuote)
                quoted.clear();
            else
                value += quoted;
        }
        if (inQuote) {
            quoted += c;
        } else if (inLabel) {
            if (label.empty() || label.back() == '-')
                label += upperAscii(c);
            else if (label.size() >= 2 && label.ends_with("-I") && upperAscii(c) == 'D' &&
                     i + 1 < line.size() && line[i + 1] == ':')
                label += 'D';
            else
                label += lowerAscii(c);
            if (c == ':') {
                inLabel = false;
                value.clear();
            }
        } else if (c == ' ') {
            value.resize(trimRight(value, isBlank).size());
            value += ' ';
        } else {
            value += c;
        }
    }
    std::string out(trimBlanks(label));
    out += ' ';
    out += trimBlanks(value);
    return out;
}

int findHeaderLine(const StringList& lines, std::string_view prefix, int occurrence) {
    int seen = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() < prefix.size()) continue;
        bool match = true;
        for (std::size_t j = 0; j < prefix.size() && match; ++j)
            match = upperAscii(l[j]) == upperAscii(prefix[j]);
        if (match && seen++ == occurrence) return static_cast<int>(i);
    }
    return -1;
}

std::string valueBeforeParams(std::string_view line) {
    bool quote = false, collect = false;
    std::string value;
    for (char c : line) {
        if (c == '"') quote = !quote;
        if (!quote && !collect && c == ':') {
            collect = true;
            continue;
        }
        if (!collect) continue;
        if (!quote && c == ';') break;
        value += c;
    }
    return std::string(stripDoubleQuotes(trimBlanks(value)));
}

std::string findParam(std::string_view line, std::string_view paramName) {
    std::string result;
    scanParams(withFinalSemicolon(line), paramName, [&result](char c) { result += c; });
    return std::string(stripDoubleQuotes(trimBlanks(result)));
}

std::string replaceValue(std::string_view line, std::string_view value) {
    bool quote = false;
    std::size_t colon = std::string_view::npos, semicolon = line.size();
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') quote = !quote;
        if (quote) continue;
        if (colon == std::string_view::npos) {
            if (c == ':') colon = i;
        } else if (c == ';') {
            semicolon = i;
            break;
        }
    }
    if (colon == std::string_view::npos) return std::string(line);
    std::string out(line.substr(0, colon + 1));
    out += ' ';
    out += trimBlanks(value);
    out += line.substr(semicolon);
    return out;
}

std::string replaceParam(std::string_view line, std::string_view paramName,
                         std::string_view value) {
    std::string s = withFinalSemicolon(line);
    const std::size_t equals = scanParams(s, paramName, [](char) {});
    s.pop_back();
    if (equals == std::string_view::npos) {
        std::string out(trimBlanks(s));
        out += "; ";
        out += trimBlanks(paramName);
        out += '=';
        out += trimBlanks(value);
        return out;
    }
    // The "=" stands outside quotes, so the quote state restarts clear after it.
    bool quote = false;
    std::size_t end = s.size();
    for (std::size_t i = equals + 1; i < s.size(); ++i) {
        if (s[i] == '"') quote = !quote;
        if (!quote && s[i] == ';') {
            end = i;
            break;
        }
    }
    std::string out = s.substr(0, equals + 1);
    out += trimBlanks(value);
    out += std::string_view(s).substr(end);
    return out;
}

std::string encodeWordQ(std::string_view text, std::string_view charset) {
    std::string encoded = qpEncode(text, true);
    if (encoded == text) return std::string(text);
    std::string out = "=?";
    out += charset;
    out += "?Q?";
    out += encoded;
    out += "?=";
    return out;
}

std::string mimeTypeForFile(std::string_view fileName) {
    static const MediaTable Table = loadMediaTypes();
    const std::size_t separator = fileName.find_last_of("\\:");
    const std::size_t dot = fileName.rfind('.');
    std::string ext;
    if (dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator))
        ext = fileName.substr(dot + 1);
    for (char& c : ext) c = lowerAscii(c);
    if (!ext.empty())
        if (auto it = Table.find(ext); it != Table.end() && !it->second.empty()) return it->second;
    return "application/octet-stream";
}

}  // namespace lumbrook
