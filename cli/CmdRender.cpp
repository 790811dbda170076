// render: the preview pipeline for one message, written where the user says.
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/Commands.h"
#include "platform/Files.h"
#include "render/AppPaths.h"
#include "render/Render.h"
#include "store/oexpress.h"

namespace lumbrook::cli {

namespace {
THeaderFields ParseFields(const std::optional<std::string>& list) {
    if (!list) return THeaderFields{};
    THeaderFields fields{false, false, false, false};
    std::stringstream in(*list);
    for (std::string name; std::getline(in, name, ',');) {
        if (name == "From") fields.From = true;
        else if (name == "To") fields.To = true;
        else if (name == "Date") fields.Date = true;
        else if (name == "Subject") fields.Subject = true;
        else if (!name.empty()) throw EUsageError("unknown field " + name + " (From, To, Date, Subject)");
    }
    return fields;
}

}  // namespace

TDesign ParseDesign(TArgs& args) {
    TDesign design;
    design.Apply = args.TakeFlag("--head");
    design.Fields = ParseFields(args.TakeOption("--fields"));
    if (auto name = args.TakeOption("--design")) {
        design.TemplatePath = DesignTemplatePath(TAppPaths::ForThisProgram(), *name);
        if (design.TemplatePath.empty())
            std::cerr << "lumbrook-cli: no design template " << *name
                      << "; the page is the content alone\n";
    }
    return design;
}

namespace {
Toe5_MessageInfo FindRecord(const std::string& folderFile, std::int32_t dataOffset) {
    TMessageList messages;
    ReadIndexFile(folderFile, messages);
    for (auto& m : messages) {
        if (m.DataOffset == dataOffset) return m;
    }
    // A message the index does not list still renders; its header rows stay empty.
    Toe5_MessageInfo none;
    none.DataOffset = dataOffset;
    return none;
}
}  // namespace

int CmdRender(TArgs& args) {
    auto out = args.TakeOption("--out");
    TDesign design = ParseDesign(args);
    auto rest = args.Positionals();
    if (rest.size() != 2 || !out) throw EUsageError("render needs FILE, OFFSET and --out PAGE");
    const std::int32_t offset = ParseOffset(rest[1]);

    const Toe5_MessageInfo record = FindRecord(rest[0], offset);
    const std::string raw = ReadMessageText(rest[0], offset);

    std::filesystem::path page(*out);
    std::string dir = page.parent_path().string();
    dir = dir.empty() ? std::string("./") : IncludeTrailingPathDelimiter(dir);
    ForceDirectories(dir);
    std::cout << RenderMessagePage(raw, record, design, dir, page.filename().string(), nullptr)
              << '\n';
    return 0;
}

}  // namespace lumbrook::cli
