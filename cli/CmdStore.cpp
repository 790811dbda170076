// The store commands: what the folder tree, the message list and the reader see.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "platform/DateTime.h"
#include "store/DbxStore.h"

namespace lumbrook::cli {

int cmdFolders(Args& args, const DbxStore& store) {
    if (!args.positionals().empty()) throw UsageError("folders takes no arguments");
    const FolderList folders = store.readFolders();
    for (const auto& f : folders) {
        printJsonLine({{"FolderId", f.folderId},
                       {"ParentId", f.parentId},
                       {"Name", jsonText(store, f.name)},
                       {"FileName", jsonText(store, f.fileName)},
                       {"IsSpecial", f.isSpecial}});
    }
    return 0;
}

int cmdMessages(Args& args, const DbxStore& store) {
    auto rest = args.positionals();
    if (rest.size() != 1) throw UsageError("messages needs exactly one FILE");
    const MessageList messages = store.readMessages(rest[0]);
    for (const auto& m : messages) {
        printJsonLine({{"From", jsonText(store, m.from)},
                       {"To", jsonText(store, m.to)},
                       {"Subject", jsonText(store, m.subject)},
                       {"Date", m.date},
                       {"DateText", jsonText(store, formatDateText(fileTimeToLocalDateTime(m.date)))},
                       {"DataOffset", m.dataOffset},
                       {"RecordOffset", m.recordOffset},
                       {"Flags", m.flags}});
    }
    return 0;
}

int cmdText(Args& args, const DbxStore& store) {
    auto rest = args.positionals();
    if (rest.size() != 2) throw UsageError("text needs FILE and OFFSET");
    const std::string text = store.readMessageText(rest[0], parseOffset(rest[1]));
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    return 0;
}

}  // namespace lumbrook::cli
