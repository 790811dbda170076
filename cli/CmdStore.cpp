// The store commands: what the folder tree, the message list and the reader see.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <iostream>

#include "base/FileTime.h"
#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "cli/FolderReport.h"
#include "listing/FolderMessages.h"
#include "listing/FolderTree.h"
#include "platform/DateTime.h"
#include "store/DbxReader.h"
#include "store/MailStore.h"
#include "store/Recovery.h"
#include "store/StoreFile.h"

namespace lumbrook::cli {

int cmdFolders(Args& args, const MailStore& store) {
    if (!args.positionals().empty()) throw UsageError("folders takes no arguments");
    requireStore(store);
    const FolderList folders = store.readFolders();
    reportFolderListProblem(store);
    // The path in the folder tree, as search and convert name a folder.
    const FolderTree tree(folders);
    std::vector<std::string> paths(folders.size());
    for (std::int32_t n : tree.positions()) {
        const std::int32_t parent = tree.nodes()[n].parent;
        const std::string name = jsonText(store, folders[n].name);
        paths[n] = parent < 0 ? name : paths[parent] + "/" + name;
    }
    bool failed = false;
    for (std::size_t n = 0; n < folders.size(); ++n) {
        const FolderInfo& f = folders[n];
        nlohmann::ordered_json counts[2];  // messages and unread; null when unknown
        if (f.fileName.empty()) {
            counts[0] = counts[1] = 0;
        } else {
            try {
                const MessageList messages = store.readMessages(f.fileName);
                counts[0] = messages.size();
                counts[1] = std::count_if(messages.begin(), messages.end(), [](const MessageInfo& m) {
                    return (m.flags & MessageFlag::Read) == 0;
                });
            } catch (const FileOpenError& e) {
                // A folder whose file was never written (Outlook Express makes it
                // when the folder is first used) has no count to give.
                if (e.errorNumber() != ENOENT) {
                    std::cerr << "lumbrook-cli: " << paths[n] << ": " << errorText(e) << '\n';
                    failed = true;
                }
            } catch (const std::exception& e) {
                std::cerr << "lumbrook-cli: " << paths[n] << ": " << errorText(e) << '\n';
                failed = true;
            }
        }
        printJsonLine({{"FolderId", f.folderId},
                       {"ParentId", f.parentId},
                       {"Name", jsonText(store, f.name)},
                       {"Path", paths[n]},
                       {"FileName", jsonText(store, f.fileName)},
                       {"IsSpecial", f.isSpecial},
                       {"Messages", counts[0]},
                       {"Unread", counts[1]}});
    }
    return failed ? 1 : 0;
}

int cmdMessages(Args& args, const MailStore& store) {
    FolderMessageOptions options;
    options.deleted = args.takeFlag("--deleted");
    auto rest = args.positionals();
    if (rest.size() != 1) throw UsageError("messages needs exactly one FILE");
    const StoreFileArg file = readableFolderFileArg(store, rest[0]);
    // An index that cannot be read whole is made up for by the recovery scan: its
    // found messages come after the index's own, marked.
    const FolderMessages folder = readFolderMessages(file.store, file.name, options);
    // A FILE with a path of its own is read without the store's folders.
    if (rest[0].find('/') == std::string::npos) reportFolderListProblem(store);
    for (const auto& m : folder.records) {
        nlohmann::ordered_json record{{"From", jsonText(store, m.from)},
                                      {"To", jsonText(store, m.to)},
                                      {"Subject", jsonText(store, m.subject)}};
        addJsonDates(record, fileTimeToUnix(m.date));
        record["FileTime"] = m.date;
        record["DataOffset"] = m.dataOffset;
        record["RecordOffset"] = m.recordOffset;
        record["Flags"] = m.flags;
        if (m.origin != MessageOrigin::Listed)
            record["Origin"] = m.origin == MessageOrigin::Deleted ? "deleted" : "found";
        printJsonLine(record);
    }
    FolderReports reports;
    reports.add(folder.report);
    return reports.finish(0);
}

namespace {

void writeText(const std::string& text) {
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
}

const char* chainEndText(ChainEnd end) {
    switch (end) {
        case ChainEnd::Whole:
            break;
        case ChainEnd::FileEnds:
            return "the file ends inside it";
        case ChainEnd::OutsideFile:
            return "its next block lies outside the file";
        case ChainEnd::MissingBlock:
            return "its next block is missing";
        case ChainEnd::Cycle:
            return "its blocks run in a circle";
        case ChainEnd::SharedBlock:
            return "its next block belongs to another message";
    }
    return "its start is not in the file";
}

}  // namespace

// A message the index lists, else one that recover finds there (a chain of blocks
// nobody points to): what recover lists, text reads, also in a file whose header,
// index or first blocks are gone. A message cut short gives the bytes that are there.
int cmdText(Args& args, const MailStore& store) {
    auto rest = args.positionals();
    if (rest.size() != 2) throw UsageError("text needs FILE and OFFSET");
    const std::int64_t offset = parseFileOffset(rest[1]);
    const StoreFileArg file = storeFileArg(store, rest[0]);
    // Without its signature (a file that lost its start) only the scan's reading is left.
    const MailStore::FileType type = file.store.fileType(file.name);
    if (type == MailStore::FileType::FolderList) folderFileArg(store, rest[0]);  // refuses it
    const bool folderFile = type == MailStore::FileType::FolderFile;
    const std::string path = file.store.filePath(file.name);
    const std::string where = path + ": the message at offset " + rest[1];

    bool listed = false;
    if (folderFile && offset >= INT32_MIN && offset <= INT32_MAX) {
        try {
            for (const auto& m : file.store.readMessages(file.name)) listed = listed || m.dataOffset == offset;
        } catch (const std::exception&) {
            // An index that cannot be read lists nothing; the chain may still be there.
        }
    }
    if (listed) {
        const MessageText message = file.store.readMessage(file.name, static_cast<std::int32_t>(offset));
        writeText(message.text);
        if (!message.whole) throw CliError(where + " is damaged: " + message.problem);
        return 0;
    }
    if (offset > 0) {
        const StoreFile source(path);
        if (const auto chain = describeChainAt(source, static_cast<std::uint64_t>(offset))) {
            writeText(readRecoveredText(source, *chain));
            if (!chain->complete)
                throw CliError(where + " (not in the index) is not complete: " + chainEndText(chain->end));
            return 0;
        }
    }
    throw CliError(path + " lists no message at offset " + rest[1]);
}

}  // namespace lumbrook::cli
