#pragma once

#include <string>
#include <string_view>

#include "store/DbxReader.h"

namespace lumbrook {

// One output character per input byte: control bytes, bytes above 0x7F and the
// characters : . / \ ? * " < > become "_"; everything else is kept.
std::string cleanFileName(std::string_view text);

// The list's date text of a message: its date in local time, short date and long time.
std::string messageDateText(const MessageInfo& record);

// The file-name stem of a message: its subject, with the date text when asked for.
std::string messageFileStem(const MessageInfo& record, bool withDate);

// The stem itself when dir + stem + ext does not exist, otherwise stem + "_" + k
// with the smallest k that names no existing file. Never picks an existing name.
std::string uniqueStem(const std::string& dir, const std::string& stem, std::string_view ext);

}  // namespace lumbrook
