#include "convert/MailboxNaming.h"

#include "base/Ascii.h"
#include "base/Charset.h"
#include <cstdio>
#include <ctime>

namespace lumbrook {

std::string cutUtf8(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes) return std::string(utf8);
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
    return std::string(utf8.substr(0, cut));
}

std::string cleanFolderName(std::string_view utf8DisplayName) {
    std::string name = sanitizeUtf8(utf8DisplayName);
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    if (name.empty()) return "_";
    if (name.front() == '.') name.insert(name.begin(), '_');
    return name;
}

std::string cleanSubjectName(std::string_view utf8Subject) {
    std::string name = sanitizeUtf8(utf8Subject);
    for (char& c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            c = '_';
            continue;
        }
        switch (c) {
            case ':': case '/': case '\\': case '?': case '*':
            case '"': case '<': case '>': case '|':
                c = '_';
                break;
            default:
                break;
        }
    }
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos) return "(no subject)";
    name.erase(0, first);
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

std::string emlFileStem(std::int64_t unixTime, std::string_view utf8Subject,
                        std::size_t reserveBytes) {
    std::tm local{};
    const auto t = static_cast<std::time_t>(unixTime);
    if (::localtime_r(&t, &local) == nullptr) {
        const std::time_t epoch = 0;
        ::localtime_r(&epoch, &local);
    }
    char date[64];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d-%02d ", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    const std::string stem = date + cleanSubjectName(utf8Subject);
    return cutUtf8(stem, reserveBytes < MaxNameBytes ? MaxNameBytes - reserveBytes : 0);
}

SiblingNames::SiblingNames(std::string_view companionSuffix,
                           const std::vector<std::string>& reserved)
    : companionSuffix(companionSuffix) {
    for (const auto& name : reserved) taken.insert(lowerAscii(name));
}

bool SiblingNames::isFree(const std::string& name) const {
    const std::string key = lowerAscii(name);
    if (taken.count(key) != 0) return false;
    return companionSuffix.empty() || taken.count(key + lowerAscii(companionSuffix)) == 0;
}

void SiblingNames::claim(const std::string& name) {
    taken.insert(lowerAscii(name));
    if (!companionSuffix.empty()) taken.insert(lowerAscii(name + companionSuffix));
}

std::string SiblingNames::take(std::string_view utf8DisplayName) {
    const std::string clean = cleanFolderName(utf8DisplayName);
    const std::size_t room = MaxNameBytes - companionSuffix.size();
    // Every refused candidate is blocked by a different claimed name, so this ends.
    const std::size_t limit = taken.size() + 2;
    for (std::size_t k = 1; k <= limit; ++k) {
        const std::string suffix = k == 1 ? std::string() : " (" + std::to_string(k) + ")";
        std::string candidate = cutUtf8(clean, room - suffix.size()) + suffix;
        if (isFree(candidate)) {
            claim(candidate);
            return candidate;
        }
    }
    return {};  // not reached
}

}  // namespace lumbrook
