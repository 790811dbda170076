// The mailbox output's readers of untrusted text. The input is a message: its From
// and Date fields are read, it is written as mboxrd twice and must read back the
// same; it is a folder name and a subject that must give file names that fit; and
// it is a conversion record read from disk.
#include <string>

#include "base/Charset.h"
#include "fuzz/FuzzSupport.h"
#include "mime/HeaderFields.h"
#include "convert/MailboxManifest.h"
#include "convert/MailboxMbox.h"
#include "convert/MailboxNaming.h"

using namespace lumbrook;

namespace {

bool validUtf8(const std::string& text) { return isValidUtf8(text); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view text = fuzz::asText(Data, Size);

    std::string address = "MAILER-DAEMON";
    if (const auto from = findHeaderField(text, "From")) address = envelopeAddress(*from);
    for (char c : address)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            fuzz::broken("envelope address with a blank or 8-bit byte");
    const std::int64_t time = messageUnixTime(0, text);
    if (asctimeUtc(time).size() < 24) fuzz::broken("short asctime text");

    for (bool withStatus : {true, false}) {
        std::string mbox;
        MessageFlags flags;
        flags.read = Size % 2 == 1;
        const auto status = withStatus ? std::optional<MessageFlags>(flags) : std::nullopt;
        appendMboxrdMessage(mbox, text, address, time, status);
        appendMboxrdMessage(mbox, text, address, time, status);
        const auto entries = readMboxrd(mbox, withStatus);
        const std::string back = std::string(text) + std::string(addedLineEnd(text));
        if (entries.size() != 2 || entries[0].message != back || entries[1].message != back)
            fuzz::broken("mboxrd round trip");
    }

    SiblingNames names(".sbd", {"cur"});
    const std::string one = names.take(text), two = names.take(text);
    if (one == two || one.empty() || one.size() + 4 > MaxNameBytes || two.size() + 4 > MaxNameBytes ||
        !validUtf8(one) || !validUtf8(two) || one.find('/') != std::string::npos || one[0] == '.')
        fuzz::broken("folder name");
    const std::string stem = emlFileStem(time, text, 6);
    if (stem.size() + 6 > MaxNameBytes || !validUtf8(stem) || stem.find('/') != std::string::npos)
        fuzz::broken("eml name");

    fuzz::writeScratchFile(fuzz::scratchDir() + std::string(ConvertManifest::FileName), text);
    ConvertManifest record(fuzz::scratchDir(), false);
    (void)record.contains(MailboxFormat::Mbox, "Inbox.dbx", 0, 0);
    (void)record.mboxSize("Inbox");
    return 0;
}
