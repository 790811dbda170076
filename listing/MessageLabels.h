#pragma once

#include <string>

#include "store/DbxReader.h"

namespace lumbrook {

// The list's date text of a message: its date in local time, short date and long
// time. Pages and file names show the same text.
std::string messageDateText(const MessageInfo& record);

}  // namespace lumbrook
