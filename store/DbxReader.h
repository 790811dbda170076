#pragma once

// Reader of the Outlook Express 5/6 mail store: where the store lives, the folder
// list of "folders.dbx", the message index of a folder file and the raw text of a
// message. Only reads: no store file is ever written, locked or repaired.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace lumbrook {

// The header values of the file being read. Only the item count is taken from the
// file; the two texts exist for the record's shape and stay empty.
struct DbxFileHeader {
    std::int32_t itemCount = 0;
    std::string text1;
    std::string text2;
};

// One folder of "folders.dbx". Texts are the file's raw 8-bit bytes.
struct FolderInfo {
    std::int32_t folderId = -1;  // entry 0x80
    std::int32_t parentId = -1;  // entry 0x81
    std::string name;            // entry 0x02
    std::string fileName;        // entry 0x03, relative to the store root
    bool isSpecial = false;      // entry 0x89 present
};

// One message of a folder file. Texts are the file's raw 8-bit bytes.
struct MessageInfo {
    std::int32_t entry80 = 0;
    std::int32_t entry81 = 0;
    std::string entry1B;
    std::string entry1A;
    std::string entry07;
    std::array<std::uint8_t, 8> entry02{};
    std::uint64_t date = 0;  // entry 0x12: 100 ns intervals since 1 January 1601 UTC
    std::string subject;     // entry 0x08
    std::string from;        // entry 0x0D
    std::string entry09;
    std::string to;  // entry 0x13
    std::string entry0E;
    std::string entry0A;
    std::string entry0B;
    std::int32_t entry91 = 0;
    std::int32_t dataOffset = 0;    // entry 0x04 or 0x84: first data block of the raw text
    std::int32_t recordOffset = 0;  // where the record itself lies in the file
};

using FolderList = std::vector<FolderInfo>;
using MessageList = std::vector<MessageInfo>;

// Appends every record of the store file fileName (relative to the store root) in
// walk order. Exactly "folders.dbx" (case-sensitive) holds folder records, any
// other name message records; when that kind does not match the list passed in,
// nothing is appended and the file is not opened. A file that cannot be opened
// throws FileOpenError; a damaged file gives the records that could be read.
void readIndexFile(const std::string& fileName, FolderList& list);
void readIndexFile(const std::string& fileName, MessageList& list);

// The raw Internet text of the message whose first data block lies at dataOffset,
// as the 8-bit bytes stored (no conversion). Empty when dataOffset <= 0 (then no
// file is opened). A file that cannot be opened throws FileOpenError.
std::string readMessageText(const std::string& fileName, std::int32_t dataOffset);

// A message's UTC file time as a local date-time value, shifted by the offset in
// force now (not the one in force at that date). A Date of 0 (record without a
// date) gives 1 January 1601, 00:00.
DateTime fileTimeToLocalDateTime(std::uint64_t fileTime);

// The store directory: the override when one is set, otherwise the current user's
// registry. Empty when none is found. Looked up afresh on every call.
std::string getStoreRoot();

// An explicit store directory (the programs' optional argument / "--store DIR")
// that wins over the registry; std::nullopt goes back to the registry.
void setStoreRootOverride(std::optional<std::string> dir);

// Full path of a store file: the store root, a separator unless the root ends
// with one, and the directory entry that matches fileName without regard to case.
// An empty root gives "/" + fileName.
std::string storeFilePath(const std::string& fileName);

}  // namespace lumbrook
