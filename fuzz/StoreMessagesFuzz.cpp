// A folder file: index walk, message record decoding, and the text of every
// message the index lists.
#include "fuzz/FuzzSupport.h"
#include "store/oexpress.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string& dir = fuzz::ScratchDir();
    fuzz::WriteScratchFile(dir + "Inbox.dbx", fuzz::AsText(Data, Size));
    SetStoreRootOverride(dir);
    TMessageList messages;
    ReadIndexFile("inbox.dbx", messages);  // found without regard to case, as in real stores
    std::size_t textBytes = 0;
    for (const auto& m : messages) {
        const std::string text = ReadMessageText("Inbox.dbx", m.DataOffset);
        if (m.DataOffset <= 0 && !text.empty()) fuzz::Broken("text without a data offset");
        textBytes += text.size();
    }
    (void)textBytes;
    return 0;
}
