// A folder file: index walk, message record decoding, and the text of every
// message the index lists.
#include "fuzz/FuzzSupport.h"
#include "store/DbxReader.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = fuzz::scratchDir();
    fuzz::writeScratchFile(dir + "Inbox.dbx", fuzz::asText(data, size));
    setStoreRootOverride(dir);
    MessageList messages;
    readIndexFile("inbox.dbx", messages);  // found without regard to case, as in real stores
    std::size_t textBytes = 0;
    for (const auto& m : messages) {
        const std::string text = readMessageText("Inbox.dbx", m.dataOffset);
        if (m.dataOffset <= 0 && !text.empty()) fuzz::broken("text without a data offset");
        textBytes += text.size();
    }
    (void)textBytes;
    return 0;
}
