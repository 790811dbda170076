#pragma once

// What the message list shows and where its rows come from, shared by the window
// and its parts: the records (a folder's, with the messages the scan found after
// them, or search hits), each hit's folder file, and the folder listed.

#include <cstddef>
#include <string>
#include <vector>

#include "store/MailStore.h"

class QTreeWidgetItem;

namespace lumbrook {

struct ListedMessages {
    MessageList records;
    // The hits' folder files beside the records; empty in a folder's view.
    std::vector<std::string> recordFiles;
    std::string file = "folders.dbx";  // of the folder listed
    QTreeWidgetItem* node = nullptr;   // the tree node of the folder listed

    // The folder file a record comes from: its hit's, or the listed folder's.
    const std::string& fileOf(std::size_t recordIndex) const {
        return recordIndex < recordFiles.size() ? recordFiles[recordIndex] : file;
    }
};

}  // namespace lumbrook
