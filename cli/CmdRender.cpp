// render: the preview pipeline for one message, written where the user says.
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "platform/Files.h"
#include "platform/AppPaths.h"
#include "page/Page.h"
#include "store/MailStore.h"

namespace lumbrook::cli {

namespace {
HeaderFields parseFields(const std::optional<std::string>& list) {
    if (!list) return HeaderFields{};
    HeaderFields fields{false, false, false, false};
    std::stringstream in(*list);
    for (std::string name; std::getline(in, name, ',');) {
        if (name == "From") fields.from = true;
        else if (name == "To") fields.to = true;
        else if (name == "Date") fields.date = true;
        else if (name == "Subject") fields.subject = true;
        else if (!name.empty()) throw UsageError("unknown field " + name + " (From, To, Date, Subject)");
    }
    return fields;
}

}  // namespace

Design parseDesign(Args& args) {
    Design design;
    design.apply = args.takeFlag("--head");
    design.fields = parseFields(args.takeOption("--fields"));
    if (auto name = args.takeOption("--design")) {
        design.templatePath = designTemplatePath(AppPaths::forThisProgram(), *name);
        if (design.templatePath.empty())
            std::cerr << "lumbrook-cli: no design template " << *name
                      << "; the page is the content alone\n";
    }
    return design;
}

namespace {
MessageInfo findRecord(const MailStore& store, const std::string& folderFile,
                       std::int32_t dataOffset, const std::string& offsetText) {
    for (auto& m : store.readMessages(folderFile)) {
        if (m.dataOffset == dataOffset && dataOffset > 0) return m;
    }
    throw CliError(store.filePath(folderFile) + " lists no message at offset " + offsetText);
}
}  // namespace

int cmdRender(Args& args, const MailStore& store) {
    auto out = args.takeOption("--out");
    Design design = parseDesign(args);
    design.codePage = store.codePage();
    auto rest = args.positionals();
    if (rest.size() != 2 || !out) throw UsageError("render needs FILE, OFFSET and --out PAGE");
    const std::int32_t offset = parseOffset(rest[1]);

    const StoreFileArg file = folderFileArg(store, rest[0]);
    const MessageInfo record = findRecord(file.store, file.name, offset, rest[1]);
    const MessageText message = file.store.readMessage(file.name, offset);
    const std::string& raw = message.text;

    std::filesystem::path page(*out);
    std::string dir = page.parent_path().string();
    dir = dir.empty() ? std::string("./") : includeTrailingPathDelimiter(dir);
    forceDirectories(dir);
    std::vector<FileCreateError> problems;
    std::cout << renderMessagePage(raw, record, design, dir, page.filename().string(), nullptr,
                                   &problems)
              << '\n';
    // The page is written; a picture of it that could not be is still an error.
    std::cout.flush();
    for (const auto& problem : problems) std::cerr << errorText(problem) << '\n';
    // The page shows what is there; the exit code says that it is not all.
    if (!message.whole)
        throw CliError(file.store.filePath(file.name) + ": the message at offset " + rest[1] +
                       " is damaged: " + message.problem);
    return problems.empty() ? 0 : 1;
}

}  // namespace lumbrook::cli
