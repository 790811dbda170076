// The store commands: what the folder tree, the message list and the reader see.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "platform/DateTime.h"
#include "store/MailStore.h"
#include "store/Recovery.h"
#include "store/StoreFile.h"

namespace lumbrook::cli {

int cmdFolders(Args& args, const MailStore& store) {
    if (!args.positionals().empty()) throw UsageError("folders takes no arguments");
    requireStore(store);
    const FolderList folders = store.readFolders();
    reportFolderListProblem(store);
    for (const auto& f : folders) {
        printJsonLine({{"FolderId", f.folderId},
                       {"ParentId", f.parentId},
                       {"Name", jsonText(store, f.name)},
                       {"FileName", jsonText(store, f.fileName)},
                       {"IsSpecial", f.isSpecial}});
    }
    return 0;
}

int cmdMessages(Args& args, const MailStore& store) {
    auto rest = args.positionals();
    if (rest.size() != 1) throw UsageError("messages needs exactly one FILE");
    const StoreFileArg file = folderFileArg(store, rest[0]);
    const MessageList messages = file.store.readMessages(file.name);
    // A FILE with a path of its own is read without the store's folders.
    if (rest[0].find('/') == std::string::npos) reportFolderListProblem(store);
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

namespace {

void writeText(const std::string& text) {
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

// A message the index lists, else one that recover finds there (a chain of blocks
// nobody points to): what recover lists, text reads.
int cmdText(Args& args, const MailStore& store) {
    auto rest = args.positionals();
    if (rest.size() != 2) throw UsageError("text needs FILE and OFFSET");
    const std::int32_t offset = parseOffset(rest[1]);
    const StoreFileArg file = folderFileArg(store, rest[0]);
    const std::string path = file.store.filePath(file.name);
    const std::string where = path + ": the message at offset " + rest[1];

    bool listed = false;
    for (const auto& m : file.store.readMessages(file.name)) listed = listed || m.dataOffset == offset;
    if (listed) {
        const MessageText message = file.store.readMessage(file.name, offset);
        writeText(message.text);
        if (!message.whole) throw CliError(where + " is damaged: " + message.problem);
        return 0;
    }
    if (offset > 0) {
        const StoreFile source(path);
        if (const auto chain = describeChainAt(source, static_cast<std::uint64_t>(offset))) {
            if (const auto text = readTextAt(source, static_cast<std::uint64_t>(offset))) {
                writeText(*text);
                if (!chain->complete)
                    throw CliError(where + " (not in the index) is not complete");
                return 0;
            }
        }
    }
    throw CliError(path + " lists no message at offset " + rest[1]);
}

}  // namespace lumbrook::cli
