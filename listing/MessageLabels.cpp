#include "listing/MessageLabels.h"

#include "platform/DateTime.h"

namespace lumbrook {

std::string messageDateText(const MessageInfo& record) {
    return formatDateText(fileTimeToLocalDateTime(record.date));
}

}  // namespace lumbrook
