#include "mainwindow/FolderCounts.h"

#include <string>
#include <utility>

namespace lumbrook {

FolderCount countMessages(const MessageList& messages) {
    FolderCount count{0, 0};
    for (const MessageInfo& message : messages) {
        ++count.total;
        if (!message.isRead()) ++count.unread;
    }
    return count;
}

QString folderCaption(const QString& name, FolderCount count) {
    if (count.total < 0) return name;
    if (count.unread > 0)
        return QStringLiteral("%1 (%2/%3)").arg(name).arg(count.unread).arg(count.total);
    return QStringLiteral("%1 (%2)").arg(name).arg(count.total);
}

FolderCounts::FolderCounts(QObject* parent) : QObject(parent) {}

void FolderCounts::reset(std::size_t folderCount) {
    counts.assign(folderCount, FolderCount{});
}

void FolderCounts::set(int folder, FolderCount count) {
    if (folder < 0 || static_cast<std::size_t>(folder) >= counts.size()) return;
    counts[static_cast<std::size_t>(folder)] = count;
    emit changed(folder, count);
}

void FolderCounts::start(const MailStore& store, const FolderList& folders) {
    stop();
    std::vector<std::pair<int, std::string>> files;
    for (std::size_t i = 0; i < folders.size() && i < counts.size(); ++i) {
        if (folders[i].fileName.empty() || counts[i].total >= 0) continue;
        files.emplace_back(static_cast<int>(i), folders[i].fileName);
    }
    if (files.empty()) return;
    // The worker reads through a store of its own (a copy).
    job.start([this, files = std::move(files),
               reader = store](const BackgroundJob::Context& context) -> std::function<void()> {
        for (const auto& [folder, file] : files) {
            if (context.stopRequested()) break;
            FolderCount count;
            try {
                count = countMessages(reader.readMessages(file));
            } catch (...) {
                continue;  // a folder that cannot be read shows no count
            }
            context.deliver([this, folder = folder, count] { set(folder, count); });
        }
        return {};
    });
}

void FolderCounts::stop() {
    job.stop();
}

}  // namespace lumbrook
