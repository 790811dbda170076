#pragma once

// mbox: one mboxrd file per folder (MailboxMbox.h), its subfolders in <Name>.sbd/.
// A folder's file stays open while its messages come.

#include <memory>
#include <string>

#include "convert/DirectorySink.h"
#include "convert/MailboxMbox.h"

namespace lumbrook {

class MboxSink final : public DirectorySink {
public:
    MboxSink(std::string outDir, const MailboxOptions& options);

    void closeFolder(FolderId folder) override;
    void finish() override;

private:
    std::string makeFolder(const std::string& parentPath, const std::string& name) override;
    SiblingNames subfolderNames() const override;
    ConvertOutcome addNew(const std::string& folderPath, const MailboxMessage& message,
                          const std::string& prepared) override;

    MboxFile& fileFor(const std::string& folderPath);
    void closeFile();

    std::unique_ptr<MboxFile> openFile;
};

}  // namespace lumbrook
