#include "render/Output.h"

#include "platform/Files.h"
#include "render/FileOutput.h"
#include "render/OutputNaming.h"

namespace lumbrook {

std::string PrepareOutputDir(const std::string& dirText) {
    std::string dir = dirText.empty() ? dirText : IncludeTrailingPathDelimiter(dirText);
    if (!dir.empty()) ForceDirectories(dir);
    return dir;
}

std::string SaveMessageAsEml(const std::string& Dir, const Toe5_MessageInfo& Record,
                             std::string_view RawText, bool DateInName) {
    const std::string stem = UniqueStem(Dir, MessageFileStem(Record, DateInName), ".eml");
    const std::string path = Dir + stem + ".eml";
    try {
        WriteFileNew(path, RawText);
    } catch (const EFCreateError&) {
        throw ESaveFailed("The file \"" + Dir + stem + "\" could not be created!");
    }
    return path;
}

std::string ExportMessage(const TExportSettings& Settings, const Toe5_MessageInfo& Record,
                          std::string_view RawText) {
    TMailMessage message;
    message.LoadText(RawText);
    message.LocateBodies();
    const std::string stem = MessageFileStem(Record, Settings.DateInName);

    const bool asText = (message.HtmlLines.empty() || Settings.Format == TExportFormat::AlwaysText) &&
                        Settings.Format != TExportFormat::AlwaysHtml;
    if (asText) {
        const std::string path = Settings.Dir + UniqueStem(Settings.Dir, stem, ".txt") + ".txt";
        WriteFileNew(path, JoinLinesCRLF(message.TextLines));
        return path;
    }
    BuildPageLines(message, Record, Settings.Design);
    SaveCIDParts(message, Settings.Dir, nullptr);
    const std::string path = Settings.Dir + UniqueStem(Settings.Dir, stem, ".HTM") + ".HTM";
    WriteFileNew(path, ConvertCIDPage(message.HtmlLines));
    return path;
}

}  // namespace lumbrook
