#include "render/Output.h"

#include <cstdio>

#include "base/Charset.h"
#include "mime/HtmlToText.h"
#include "platform/Files.h"
#include "render/FileOutput.h"
#include "render/OutputNaming.h"

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
    } catch (const FileCreateError&) {
        const std::size_t ext = incomplete ? 17 : 4;  // " (incomplete).eml" or ".eml"
        const std::string stem = name.substr(0, name.size() - std::min(ext, name.size()));
        throw SaveFailedError("The file \"" + dir + stem + "\" could not be created!");
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
    if (asText) {
        FileWriter out(settings.dir, settings.names, stem, mark + ".txt");
        if (message.textLines.empty()) {
            out.write(htmlBodyText(message, settings.design.codePage));
        } else {
            BodyDecoder decode(message.textPart, settings.design.codePage);
            for (std::string_view line : message.textLines) {
                decode.convertLine(line, false, [&out](std::string_view piece) { out.write(piece); });
                out.write("\r\n");
            }
        }
        return out.finish();
    }
    const PartFiles parts = saveContentIdParts(message, settings.dir, settings.names);
    std::string path;
    try {
        FileWriter out(settings.dir, settings.names, stem, mark + ".HTM");
        writePage(message, record, settings.design, parts, out);
        path = out.finish();
    } catch (...) {
        // Pictures without their page would only pass for part of an export.
        for (const auto& part : parts.paths) std::remove(part.c_str());
        throw;
    }
    settings.problems.insert(settings.problems.end(), parts.problems.begin(), parts.problems.end());
    return path;
}

}  // namespace lumbrook
