#include "render/Output.h"

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
                             std::string_view rawText, bool dateInName) {
    const std::string stem = uniqueStem(dir, messageFileStem(record, dateInName), ".eml");
    const std::string path = dir + stem + ".eml";
    try {
        writeFileNew(path, rawText);
    } catch (const FileCreateError&) {
        throw SaveFailedError("The file \"" + dir + stem + "\" could not be created!");
    }
    return path;
}

std::string exportMessage(const ExportSettings& settings, const MessageInfo& record,
                          std::string_view rawText) {
    MailMessage message;
    message.loadText(rawText);
    message.locateBodies();
    const std::string stem = messageFileStem(record, settings.dateInName);

    const bool asText = (message.htmlLines.empty() || settings.format == ExportFormat::AlwaysText) &&
                        settings.format != ExportFormat::AlwaysHtml;
    if (asText) {
        const std::string path = settings.dir + uniqueStem(settings.dir, stem, ".txt") + ".txt";
        FileWriter out(path, FileWriter::Mode::New);
        for (std::string_view line : message.textLines) {
            out.write(line);
            out.write("\r\n");
        }
        out.finish();
        return path;
    }
    saveContentIdParts(message, settings.dir, nullptr);
    const std::string path = settings.dir + uniqueStem(settings.dir, stem, ".HTM") + ".HTM";
    FileWriter out(path, FileWriter::Mode::New);
    writePage(message, record, settings.design, out);
    out.finish();
    return path;
}

}  // namespace lumbrook
