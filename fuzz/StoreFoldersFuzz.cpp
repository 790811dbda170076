// The folder list: index walk and folder record decoding of "folders.dbx".
#include "fuzz/FuzzSupport.h"
#include "store/oexpress.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string& dir = fuzz::ScratchDir();
    fuzz::WriteScratchFile(dir + "folders.dbx", fuzz::AsText(Data, Size));
    SetStoreRootOverride(dir);
    TFolderList folders;
    ReadIndexFile("folders.dbx", folders);
    // Every record comes from a 12-byte index entry of its own in a sound file; a
    // damaged one whose nodes share entries must still not yield more than that.
    if (folders.size() > Size / 12 + 1) fuzz::Broken("more folder records than index entries fit");
    return 0;
}
