#include "output/Output.h"

#include <cstdio>
#include <memory>

#include "base/Charset.h"
#include "mime/HtmlToText.h"
#include "platform/Files.h"
#include "output/AttachmentOutput.h"
#include "platform/FileWriter.h"
#include "output/OutputNaming.h"

namespace lumbrook {

std::string prepareOutputDir(const std::string& dirText) {
    std::string dir = dirText.empty() ? dirText : includeTrailingPathDelimiter(dirText);
    if (!dir.empty()) forceDirectories(dir);
    return dir;
}

std::string saveMessageAsEml(const std::string& dir, const MessageInfo& record,
                             std::string_view rawText, bool dateInName, OutputNames& names,
                             bool incomplete) {
    std::string name;
    try {
        name = writeFileUnique(dir, names, messageFileStem(record, dateInName),
                               incomplete ? " (incomplete).eml" : ".eml", rawText, &name);
    } catch (const FileCreateError& e) {
        const std::size_t ext = incomplete ? 17 : 4;  // " (incomplete).eml" or ".eml"
        const std::string stem = name.substr(0, name.size() - std::min(ext, name.size()));
        throw SaveFailedError(dir + stem, e.errorNumber());
    }
    return dir + name;
}

std::string saveMessageAsEml(const std::string& dir, const MessageInfo& record,
                             std::string_view rawText, bool dateInName) {
    OutputNames names;
    return saveMessageAsEml(dir, record, rawText, dateInName, names);
}

namespace {
// The text a reader of the HTML body sees, in UTF-8 (htmlToText's charset).
std::string htmlBodyText(const MailMessage& message, const CodePage& codePage) {
    if (!message.htmlPart) return {};
    BodyDecoder decode(message.htmlPart, codePage);
    std::string text = htmlToText(decode(message.htmlPart->decodedBody));
    // Every line ends in CR LF, as in the text files of text bodies.
    if (!text.empty()) text += "\r\n";
    return text;
}

// The page or text file, with its Content-ID parts for a page; path: where it goes
// (empty: the next free name for stem + ext). After: what the file ends with.
std::string writeExportFile(ExportSettings& settings, MailMessage& message, const MessageInfo& record,
                            bool asText, const std::string& stem, const std::string& ext,
                            const std::string& path, std::string_view after) {
    auto writer = [&]() {
        return path.empty() ? std::make_unique<FileWriter>(settings.dir, settings.names, stem, ext)
                            : std::make_unique<FileWriter>(path, FileWriter::Mode::New);
    };
    if (asText) {
        const auto out = writer();
        if (message.textLines.empty()) {
            out->write(htmlBodyText(message, settings.design.codePage));
        } else {
            BodyDecoder decode(message.textPart, settings.design.codePage);
            for (std::string_view line : message.textLines) {
                decode.convertLine(line, false, [&out](std::string_view piece) { out->write(piece); });
                out->write("\r\n");
            }
        }
        out->write(after);
        return out->finish();
    }
    const PartFiles parts = saveContentIdParts(message, settings.dir, settings.names);
    std::string written;
    try {
        const auto out = writer();
        writePage(message, record, settings.design, parts, *out);
        out->write(after);
        written = out->finish();
    } catch (...) {
        // Pictures without their page would only pass for part of an export.
        for (const auto& part : parts.paths) std::remove(part.c_str());
        throw;
    }
    settings.problems.insert(settings.problems.end(), parts.problems.begin(), parts.problems.end());
    return written;
}

std::string writeExport(ExportSettings& settings, MailMessage& message, const MessageInfo& record,
                        bool asText, const std::string& stem, const std::string& ext) {
    return writeExportFile(settings, message, record, asText, stem, ext, {}, {});
}

// The page's name is settled first: the attachments' directory is named after it
// and the list links into it.
std::string writeExportWithAttachments(ExportSettings& settings, MailMessage& message,
                                       const MessageInfo& record, bool asText,
                                       const std::string& stem, const std::string& ext) {
    const std::string storeCharset = settings.design.codePage.name();
    // A text file shows no pictures: it lists every attachment.
    std::vector<AttachmentInfo> listed = asText ? listAttachments(message, storeCharset)
                                                : listedAttachments(message, storeCharset);
    if (listed.empty()) return writeExport(settings, message, record, asText, stem, ext);

    // The directory is named after the page without its last four bytes (".HTM",
    // ".txt"), " (incomplete)" kept.
    const std::string dirEnding = ext.substr(0, ext.size() - 4) + std::string(AttachmentDirSuffix);
    const std::string name = settings.names.nextFree(settings.dir, stem, ext, dirEnding);
    const std::string pageStem = name.substr(0, name.size() - 4);
    const AttachmentFiles files = writeAttachmentFiles(message, std::move(listed), settings.dir, pageStem);
    // An attachment that could not be written is named; the page and the export go on.
    settings.problems.insert(settings.problems.end(), files.problems.begin(), files.problems.end());
    std::string after;
    // Pages and text files are UTF-8 alike.
    after = asText ? attachmentListText(files) : attachmentLinksHtml(files);
    try {
        return writeExportFile(settings, message, record, asText, stem, ext, settings.dir + name, after);
    } catch (...) {
        files.remove();
        throw;
    }
}
}  // namespace

std::string exportMessage(ExportSettings& settings, const MessageInfo& record,
                          std::string_view rawText, bool incomplete) {
    MailMessage message;
    message.loadText(rawText);
    message.locateBodies();
    const std::string stem = messageFileStem(record, settings.dateInName);
    // A message not read whole keeps " (incomplete)" right before its extension.
    const std::string mark = incomplete ? " (incomplete)" : "";

    const bool asText = (message.htmlLines.empty() || settings.format == ExportFormat::AlwaysText) &&
                        settings.format != ExportFormat::AlwaysHtml;
    const std::string ext = mark + (asText ? ".txt" : ".HTM");
    if (!settings.attachments) return writeExport(settings, message, record, asText, stem, ext);
    return writeExportWithAttachments(settings, message, record, asText, stem, ext);
}

}  // namespace lumbrook
