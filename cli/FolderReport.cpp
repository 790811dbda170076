#include "cli/FolderReport.h"

#include <exception>
#include <iostream>

#include "base/Ascii.h"

namespace lumbrook::cli {

StoreFileArg readableFolderFileArg(const MailStore& store, const std::string& arg) {
    StoreFileArg file = storeFileArg(store, arg);
    if (file.store.fileType(file.name) == MailStore::FileType::Other) {
        try {
            for (const FolderInfo& f : file.store.readFolders())
                if (!f.unlisted && equalsNoCase(f.fileName, file.name)) return file;
        } catch (const std::exception&) {
            // No folder list to name it: refused below.
        }
    }
    return folderFileArg(store, arg);
}

void FolderReports::add(const FolderReport& report, bool sayNow) {
    if (report.whole()) return;
    if (sayNow) std::cerr << "lumbrook-cli: " << folderReportText(report) << '\n';
    notWhole.push_back(report);
}

int FolderReports::finish(int status) const {
    if (notWhole.empty()) return status;
    std::cout.flush();
    std::size_t recovered = 0, damaged = 0, lost = 0;
    for (const FolderReport& r : notWhole) {
        recovered += r.recovered;
        damaged += r.damaged;
        lost += r.lost;
    }
    std::cerr << "lumbrook-cli: " << notWhole.size()
              << (notWhole.size() == 1 ? " folder file was" : " folder files were")
              << " not read whole (" << recovered << " messages recovered, " << damaged
              << " damaged, " << lost << " lost):\n";
    for (const FolderReport& r : notWhole) std::cerr << "  " << folderReportText(r) << '\n';
    return status == 0 ? 1 : status;
}

}  // namespace lumbrook::cli
