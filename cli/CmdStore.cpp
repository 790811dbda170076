// The store commands: what the folder tree, the message list and the reader see.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "platform/DateTime.h"
#include "store/oexpress.h"

namespace lumbrook::cli {

int CmdFolders(TArgs& args) {
    if (!args.Positionals().empty()) throw EUsageError("folders takes no arguments");
    TFolderList folders;
    ReadIndexFile("folders.dbx", folders);
    for (const auto& f : folders) {
        PrintJsonLine({{"FolderId", f.FolderId},
                       {"ParentId", f.ParentId},
                       {"Name", JsonText(f.Name)},
                       {"FileName", JsonText(f.FileName)},
                       {"IsSpecial", f.IsSpecial}});
    }
    return 0;
}

int CmdMessages(TArgs& args) {
    auto rest = args.Positionals();
    if (rest.size() != 1) throw EUsageError("messages needs exactly one FILE");
    TMessageList messages;
    ReadIndexFile(rest[0], messages);
    for (const auto& m : messages) {
        PrintJsonLine({{"From", JsonText(m.From)},
                       {"To", JsonText(m.To)},
                       {"Subject", JsonText(m.Subject)},
                       {"Date", m.Date},
                       {"DateText", JsonText(FormatDateText(FileTimeToLocalDateTime(m.Date)))},
                       {"DataOffset", m.DataOffset},
                       {"RecordOffset", m.RecordOffset}});
    }
    return 0;
}

int CmdText(TArgs& args) {
    auto rest = args.Positionals();
    if (rest.size() != 2) throw EUsageError("text needs FILE and OFFSET");
    const std::string text = ReadMessageText(rest[0], ParseOffset(rest[1]));
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    return 0;
}

}  // namespace lumbrook::cli
