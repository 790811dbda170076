#pragma once

#include <string>

#include "platform/FileNames.h"
#include "store/DbxReader.h"

namespace lumbrook {

// The file-name stem of a message: its subject, with the date text when asked for.
std::string messageFileStem(const MessageInfo& record, bool withDate);

}  // namespace lumbrook
