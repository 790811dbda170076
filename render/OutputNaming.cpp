#include "render/OutputNaming.h"

#include <sys/stat.h>

#include "platform/DateTime.h"

namespace lumbrook {

std::string cleanFileName(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7F) {
            c = '_';
            continue;
        }
        switch (c) {
            case ':': case '.': case '/': case '\\': case '?':
            case '*': case '"': case '<': case '>':
                c = '_';
                break;
            default:
                break;
        }
    }
    return out;
}

std::string messageDateText(const MessageInfo& record) {
    return formatDateText(fileTimeToLocalDateTime(record.date));
}

std::string messageFileStem(const MessageInfo& record, bool withDate) {
    return cleanFileName(withDate ? record.subject + " " + messageDateText(record)
                                  : record.subject);
}

namespace {
// lstat, so that a dangling symbolic link also counts as taken.
bool nameTaken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}
}  // namespace

std::string uniqueStem(const std::string& dir, const std::string& stem, std::string_view ext) {
    if (!nameTaken(dir + stem + std::string(ext))) return stem;
    for (unsigned long k = 0;; ++k) {
        std::string candidate = stem + "_" + std::to_string(k);
        if (!nameTaken(dir + candidate + std::string(ext))) return candidate;
    }
}

}  // namespace lumbrook
