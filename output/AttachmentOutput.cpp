#include "output/AttachmentOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/Charset.h"
#include "base/Errors.h"
#include "platform/FileWriter.h"

namespace lumbrook {

std::string formatByteSize(std::uint64_t size) {
    if (size == 1) return "1 byte";
    if (size < 1024) return std::to_string(size) + " bytes";
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    // Tenths of the unit, rounded; the unit grows while the value would show as 1024.
    std::size_t unit = 0;
    std::uint64_t scale = 1024;
    while (unit + 1 < std::size(units) && size / scale >= 1024) {
        scale *= 1024;
        ++unit;
    }
    unsigned __int128 tenths = (static_cast<unsigned __int128>(size) * 10 + scale / 2) / scale;
    // Rounded up to a whole 1024: the next unit, "1.0 MB" rather than "1024 KB".
    if (tenths >= 10235 && unit + 1 < std::size(units)) {
        scale *= 1024;
        ++unit;
        tenths = (static_cast<unsigned __int128>(size) * 10 + scale / 2) / scale;
    }
    std::string text;
    if (tenths < 100) {
        text = std::to_string(static_cast<std::uint64_t>(tenths / 10)) + "." +
               std::to_string(static_cast<std::uint64_t>(tenths % 10));
    } else {
        text = std::to_string(static_cast<std::uint64_t>((tenths + 5) / 10));
    }
    return text + " " + units[unit];
}

std::vector<AttachmentInfo> listedAttachments(MailMessage& message, std::string_view fallbackCharset) {
    std::vector<AttachmentInfo> all = listAttachments(message, fallbackCharset);
    std::vector<AttachmentInfo> listed;
    for (AttachmentInfo& a : all)
        if (!a.isInline) listed.push_back(std::move(a));
    return listed;
}

std::string htmlAsciiText(std::string_view utf8) {
    const std::string text = sanitizeUtf8(utf8);
    std::string out;
    out.reserve(text.size());
    std::string_view rest = text;
    while (!rest.empty()) {
        const unsigned char c = static_cast<unsigned char>(rest.front());
        if (c < 0x80) {
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                default:
                    // Control characters have no place in a name on a page.
                    if (c < 0x20 || c == 0x7F) out += "&#xFFFD;";
                    else out += static_cast<char>(c);
            }
            rest.remove_prefix(1);
            continue;
        }
        std::size_t length = utf8SequenceLength(rest);
        if (length < 2 || length > rest.size()) length = 1;
        char32_t code = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t i = 1; i < length; ++i)
            code = (code << 6) | (static_cast<unsigned char>(rest[i]) & 0x3F);
        out += "&#" + std::to_string(static_cast<std::uint32_t>(length == 1 ? 0xFFFD : code)) + ";";
        rest.remove_prefix(length);
    }
    return out;
}

std::string percentEncodePath(std::string_view utf8Path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8Path.size());
    for (const char ch : utf8Path) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

std::string writeAttachmentFile(const std::string& dir, OutputNames& names,
                                const std::string& fileName, std::string_view bytes) {
    // The extension stays at the end when the name is taken; one so long that no
    // suffix would fit beside it counts as part of the stem, which is cut.
    constexpr std::size_t SuffixRoom = 24;  // "_" and any count of names
    const std::size_t dot = fileName.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > 0 &&
                        fileName.size() - dot + SuffixRoom < MaxNameBytes;
    const std::string stem = hasExt ? fileName.substr(0, dot) : fileName;
    const std::string_view ext = hasExt ? std::string_view(fileName).substr(dot) : std::string_view();
    return writeFileUnique(dir, names, stem, ext, bytes);
}

void AttachmentFiles::remove() const {
    for (const std::string& path : paths) std::remove(path.c_str());
    // Only an empty directory goes: someone else's files in it stay.
    if (createdDir && !paths.empty()) {
        const std::string& first = paths.front();
        ::rmdir(first.substr(0, first.rfind('/')).c_str());
    }
}

AttachmentFiles writeAttachmentFiles(MailMessage& message, std::vector<AttachmentInfo> listed,
                                     const std::string& dir, const std::string& pageStem) {
    AttachmentFiles files;
    if (listed.empty()) return files;
    files.dirName = pageStem + std::string(AttachmentDirSuffix);
    const std::string filesDir = dir + files.dirName + "/";
    if (::mkdir(filesDir.c_str(), 0755) == 0) {
        files.createdDir = true;
    } else {
        // A directory already there is used as it is (its files are never
        // replaced); a link is not followed to somewhere else.
        struct stat st;
        if (errno != EEXIST || ::lstat(filesDir.substr(0, filesDir.size() - 1).c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode)) {
            for (const AttachmentInfo& a : listed)
                files.problems.push_back(FileCreateError(filesDir + a.fileName));
            return files;
        }
    }
    OutputNames names;
    try {
        for (AttachmentInfo& a : listed) {
            try {
                const std::string name =
                    writeAttachmentFile(filesDir, names, a.fileName, attachmentBytes(message, a.index));
                files.names.push_back(name);
                files.paths.push_back(filesDir + name);
                files.listed.push_back(std::move(a));
            } catch (const FileCreateError& e) {
                files.problems.push_back(e);
            }
        }
    } catch (...) {
        files.remove();
        throw;
    }
    if (files.createdDir && files.paths.empty()) ::rmdir(filesDir.c_str());
    return files;
}

std::string attachmentLinksHtml(const AttachmentFiles& files) {
    if (files.names.empty()) return {};
    std::string html = "<hr><p><b>Attachments:</b></p><ul>\r\n";
    for (std::size_t i = 0; i < files.names.size(); ++i) {
        html += "<li><a href=\"" + percentEncodePath(files.dirName + "/" + files.names[i]) + "\">";
        html += htmlAsciiText(files.names[i]);
        html += "</a> (" + formatByteSize(files.listed[i].size) + ")</li>\r\n";
    }
    html += "</ul>\r\n";
    return html;
}

std::string attachmentListHtml(const std::vector<AttachmentInfo>& listed) {
    if (listed.empty()) return {};
    std::string html = "<p><b>Attachments:</b> ";
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (i > 0) html += ", ";
        html += htmlAsciiText(listed[i].fileName) + " (" + formatByteSize(listed[i].size) + ")";
    }
    html += "</p><hr>";
    return html;
}

std::string attachmentListText(const AttachmentFiles& files) {
    if (files.names.empty()) return {};
    std::string text = "\r\nAttachments:\r\n";
    for (std::size_t i = 0; i < files.names.size(); ++i)
        text += "  " + files.dirName + "/" + files.names[i] + " (" +
                formatByteSize(files.listed[i].size) + ")\r\n";
    return text;
}

}  // namespace lumbrook
