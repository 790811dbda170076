// attachments: what a message carries besides its text, listed or written out.
#include <filesystem>
#include <iostream>
#include <set>

#include "cli/Commands.h"
#include "mime/MailAttachments.h"
#include "mime/MailModel.h"
#include "platform/FileWriter.h"
#include "output/OutputNaming.h"

namespace lumbrook::cli {

int cmdAttachments(Args& args, const MailStore& store) {
    const auto to = args.takeOption("--to");
    std::set<std::size_t> wanted;
    while (auto index = args.takeOption("--index")) {
        try {
            wanted.insert(std::stoul(*index));
        } catch (const std::exception&) {
            throw UsageError("--index needs a number, not " + *index);
        }
    }
    auto rest = args.positionals();
    if (rest.size() != 2) throw UsageError("attachments needs FILE and OFFSET");
    const std::string raw = store.readMessageText(rest[0], parseOffset(rest[1]));
    MailMessage message;
    message.loadText(raw);
    const auto list = listAttachments(message, store.codePage().name());
    for (std::size_t i : wanted)
        if (i >= list.size()) throw UsageError("the message has no attachment " + std::to_string(i));

    if (!to) {
        for (const AttachmentInfo& a : list) {
            printJsonLine({{"Index", a.index},
                           {"Name", a.name},
                           {"FileName", a.fileName},
                           {"MediaType", a.mediaType},
                           {"DecodedSize", a.size},
                           {"ContentID", a.contentId},
                           {"Inline", a.isInline}});
        }
        return 0;
    }
    std::string dir = *to;
    if (dir.empty() || dir.back() != '/') dir += '/';
    std::filesystem::create_directories(dir);
    for (const AttachmentInfo& a : list) {
        if (!wanted.empty() && !wanted.contains(a.index)) continue;
        // The extension stays at the end when the name is taken: "Bild_0.jpg".
        const std::size_t dot = a.fileName.rfind('.');
        const bool hasExt = dot != std::string::npos && dot > 0;
        const std::string stem = hasExt ? a.fileName.substr(0, dot) : a.fileName;
        const std::string ext = hasExt ? a.fileName.substr(dot) : std::string();
        const std::string path = dir + uniqueStem(dir, stem, ext) + ext;
        writeFileNew(path, attachmentBytes(message, a.index));
        std::cout << path << '\n';
    }
    return 0;
}

}  // namespace lumbrook::cli
