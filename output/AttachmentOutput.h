#pragma once

// Attachments beside the pages and text files the program writes: the files, the
// lists that name them, and the sizes as people read them. Shared by export, the
// window's attachment bar and printing.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Errors.h"
#include "mime/MailAttachments.h"
#include "output/OutputNaming.h"

namespace lumbrook {

// "0 bytes", "1 byte", "900 bytes", "1.5 KB", "12 KB", "3.4 MB", "2.0 GB": steps of
// 1024, one decimal below ten, always a point whatever the locale.
std::string formatByteSize(std::uint64_t size);

// The attachments a page lists: all but the pictures it shows in place.
std::vector<AttachmentInfo> listedAttachments(MailMessage& message, std::string_view fallbackCharset);

// UTF-8 text as HTML made of ASCII only (&, <, >, " as entities, every other
// character as &#N;), so that it reads the same in a page of any charset.
std::string htmlAsciiText(std::string_view utf8);

// A relative path as an href: every byte but letters, digits, "-._~" and "/" as %XX.
std::string percentEncodePath(std::string_view utf8Path);

// Writes bytes as a new file in dir (ending with a separator) under fileName, or,
// when that is taken, with "_0", "_1", ... before its extension ("Bild_0.jpg").
// Never replaces anything; returns the name the file got. Throws FileCreateError.
std::string writeAttachmentFile(const std::string& dir, OutputNames& names,
                                const std::string& fileName, std::string_view bytes);

// What the directory of a page's attachments is named: the page's stem and this.
inline constexpr std::string_view AttachmentDirSuffix = "_files";

// The attachments written beside a page, in the order listed.
struct AttachmentFiles {
    std::string dirName;                // "<page stem>_files"
    std::vector<AttachmentInfo> listed; // those written
    std::vector<std::string> names;     // the file names in dirName, by listed
    std::vector<std::string> paths;     // full paths of the files written
    std::vector<FileCreateError> problems;  // one per attachment that could not be written
    bool createdDir = false;            // the directory was made for them
    // Removes what was written (and the directory, when made for them and empty).
    void remove() const;
};

// Writes the attachments into dir + pageStem + "_files/", making the directory when
// it is not there; a directory of that name that is a link or not a directory is
// refused. Nothing listed: nothing written, no directory. An attachment that cannot
// be written is left out and named in problems, the others are written; a stop
// removes what was written and throws StopRequestedError.
AttachmentFiles writeAttachmentFiles(MailMessage& message, std::vector<AttachmentInfo> listed,
                                     const std::string& dir, const std::string& pageStem);

// The list a page ends with: a rule, "Attachments:" and one line per file, linked
// to it relatively. Empty when nothing was written.
std::string attachmentLinksHtml(const AttachmentFiles& files);
// The list printing puts under the header table: names and sizes, no links. Empty
// for an empty list.
std::string attachmentListHtml(const std::vector<AttachmentInfo>& listed);
// The list a text file ends with, lines ended by CR LF, in UTF-8: each file's
// relative path and size.
std::string attachmentListText(const AttachmentFiles& files);

}  // namespace lumbrook
