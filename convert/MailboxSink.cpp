#include "convert/MailboxSink.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "convert/MboxSink.h"
#include "convert/MessageFileSinks.h"
#include "platform/DestinationDirectory.h"

namespace lumbrook {

namespace {

constexpr std::pair<MailboxFormat, std::string_view> FormatNames[] = {
    {MailboxFormat::Mbox, "mbox"},
    {MailboxFormat::Maildir, "maildir"},
    {MailboxFormat::Eml, "eml"},
};

}  // namespace

std::string systemErrorText(std::string_view what, std::string_view path) {
    const int error = errno;
    std::string text(what);
    text.append(" ").append(path).append(": ").append(std::strerror(error));
    return text;
}

std::string destinationErrorText(const std::exception& error) {
    if (const auto* link = dynamic_cast<const LinkInDestinationError*>(&error))
        return linkInDestinationText(*link);
    if (const auto* known = dynamic_cast<const LumbrookError*>(&error)) {
        std::string text = "Cannot create " + known->argument();
        if (known->errorNumber() != 0) text.append(": ").append(std::strerror(known->errorNumber()));
        return text;
    }
    return error.what();
}

std::string_view mailboxFormatName(MailboxFormat format) {
    for (const auto& [known, name] : FormatNames)
        if (known == format) return name;
    return "mbox";
}

std::optional<MailboxFormat> parseMailboxFormat(std::string_view name) {
    for (const auto& [format, known] : FormatNames)
        if (known == name) return format;
    return std::nullopt;
}

std::string MailboxSink::prepare(FolderId, const MailboxMessage&) {
    throw ConvertError("A message file needs an eml or Maildir folder");
}

void MailboxSink::dropPrepared(const std::string&) {}

std::unique_ptr<MailboxSink> openMailboxSink(std::string outDir, const MailboxOptions& options) {
    switch (options.format) {
        case MailboxFormat::Mbox: return std::make_unique<MboxSink>(std::move(outDir), options);
        case MailboxFormat::Maildir: return std::make_unique<MaildirSink>(std::move(outDir), options);
        case MailboxFormat::Eml: return std::make_unique<EmlSink>(std::move(outDir), options);
    }
    throw ConvertError("Unknown mailbox format");
}

}  // namespace lumbrook
