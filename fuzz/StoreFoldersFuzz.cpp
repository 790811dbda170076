// The folder list: index walk and folder record decoding of "folders.dbx".
#include "fuzz/FuzzSupport.h"
#include "store/DbxReader.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FolderList folders = readFolderIndex(MemoryByteSource({data, size}));
    // Every record comes from a 12-byte index entry of its own in a sound file; a
    // damaged one whose nodes share entries must still not yield more than that.
    if (folders.size() > size / 12 + 1) fuzz::broken("more folder records than index entries fit");
    return 0;
}
