#pragma once

// The order of the folder tree's siblings; the text order and the message list's
// order it shares with lumbrook-cli come from render/MessageOrder.h.

#include "render/MessageOrder.h"
#include "store/DbxReader.h"

namespace lumbrook {

// Siblings of the folder tree: special folders first, by ascending folderId, then
// the others by name without regard to case. Negative puts A first.
int treeView1Compare(const FolderInfo& a, const FolderInfo& b);

}  // namespace lumbrook
