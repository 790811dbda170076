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
struct Toe5_FileHeader {
    std::int32_t ItemCount = 0;
    std::string Text1;
    std::string Text2;
};

// One folder of "folders.dbx". Texts are the file's raw 8-bit bytes.
struct Toe5_FolderInfo {
    std::int32_t FolderId = -1;  // entry 0x80
    std::int32_t ParentId = -1;  // entry 0x81
    std::string Name;            // entry 0x02
    std::string FileName;        // entry 0x03, relative to the store root
    bool IsSpecial = false;      // entry 0x89 present
};

// One message of a folder file. Texts are the file's raw 8-bit bytes.
struct Toe5_MessageInfo {
    std::int32_t Entry80 = 0;
    std::int32_t Entry81 = 0;
    std::string Entry1B;
    std::string Entry1A;
    std::string Entry07;
    std::array<std::uint8_t, 8> Entry02{};
    std::uint64_t Date = 0;  // entry 0x12: 100 ns intervals since 1 January 1601 UTC
    std::string Subject;     // entry 0x08
    std::string From;        // entry 0x0D
    std::string Entry09;
    std::string To;  // entry 0x13
    std::string Entry0E;
    std::string Entry0A;
    std::string Entry0B;
    std::int32_t Entry91 = 0;
    std::int32_t DataOffset = 0;    // entry 0x04 or 0x84: first data block of the raw text
    std::int32_t RecordOffset = 0;  // where the record itself lies in the file
};

using TFolderList = std::vector<Toe5_FolderInfo>;
using TMessageList = std::vector<Toe5_MessageInfo>;

// Appends every record of the store file FileName (relative to the store root) in
// walk order. Exactly "folders.dbx" (case-sensitive) holds folder records, any
// other name message records; when that kind does not match the list passed in,
// nothing is appended and the file is not opened. A file that cannot be opened
// throws EFOpenError; a damaged file gives the records that could be read.
void ReadIndexFile(const std::string& FileName, TFolderList& List);
void ReadIndexFile(const std::string& FileName, TMessageList& List);

// The raw Internet text of the message whose first data block lies at DataOffset,
// as the 8-bit bytes stored (no conversion). Empty when DataOffset <= 0 (then no
// file is opened). A file that cannot be opened throws EFOpenError.
std::string ReadMessageText(const std::string& FileName, std::int32_t DataOffset);

// A message's UTC file time as a local date-time value, shifted by the offset in
// force now (not the one in force at that date). A Date of 0 (record without a
// date) gives 1 January 1601, 00:00.
TDateTime FileTimeToLocalDateTime(std::uint64_t FileTime);

// The store directory: the override when one is set, otherwise the current user's
// registry. Empty when none is found. Looked up afresh on every call.
std::string GetStoreRoot();

// An explicit store directory (the programs' optional argument / "--store DIR")
// that wins over the registry; std::nullopt goes back to the registry.
void SetStoreRootOverride(std::optional<std::string> dir);

// Full path of a store file: the store root, a separator unless the root ends
// with one, and the directory entry that matches FileName without regard to case.
// An empty root gives "/" + FileName.
std::string StoreFilePath(const std::string& FileName);

}  // namespace lumbrook
