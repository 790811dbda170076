#include "output/OutputNaming.h"

#include "listing/MessageLabels.h"

namespace lumbrook {

std::string messageFileStem(const MessageInfo& record, bool withDate) {
    return cleanFileName(withDate ? record.subject + " " + messageDateText(record)
                                  : record.subject);
}

}  // namespace lumbrook
