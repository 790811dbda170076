// The store commands: what the folder tree, the message list and the reader see.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "platform/DateTime.h"
#include "store/DbxReader.h"

namespace lumbrook::cli {

int cmdFolders(Args& args) {
    if (!args.positionals().empty()) throw UsageError("folders takes no arguments");
    FolderList folders;
    readIndexFile("folders.dbx", folders);
    for (const auto& f : folders) {
        printJsonLine({{"FolderId", f.folderId},
                       {"ParentId", f.parentId},
                       {"Name", jsonText(f.name)},
                       {"FileName", jsonText(f.fileName)},
                       {"IsSpecial", f.isSpecial}});
    }
    return 0;
}

int cmdMessages(Args& args) {
    auto rest = args.positionals();
    if (rest.size() != 1) throw UsageError("messages needs exactly one FILE");
    MessageList messages;
    readIndexFile(rest[0], messages);
    for (const auto& m : messages) {
        printJsonLine({{"From", jsonText(m.from)},
                       {"To", jsonText(m.to)},
                       {"Subject", jsonText(m.subject)},
                       {"Date", m.date},
                       {"DateText", jsonText(formatDateText(fileTimeToLocalDateTime(m.date)))},
                       {"DataOffset", m.dataOffset},
                       {"RecordOffset", m.recordOffset}});
    }
    return 0;
}

int cmdText(Args& args) {
    auto rest = args.positionals();
    if (rest.size() != 2) throw UsageError("text needs FILE and OFFSET");
    const std::string text = readMessageText(rest[0], parseOffset(rest[1]));
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    return 0;
}

}  // namespace lumbrook::cli
