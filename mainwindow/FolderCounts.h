#pragma once

// The message counts the folder tree shows beside each folder: the listed folder's
// from its list, every other one's read once more from its index in the
// background, so the window is usable at once and the counts follow.

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

#include "store/MailStore.h"
#include "windows/BackgroundJob.h"

namespace lumbrook {

// A folder's message counts; -1 while not known.
struct FolderCount {
    std::int32_t total = -1;
    std::int32_t unread = -1;
};
// Counts of a message list.
FolderCount countMessages(const MessageList& messages);
// The tree's caption of a folder: "Inbox", "Inbox (12)", "Inbox (3/12)".
QString folderCaption(const QString& name, FolderCount count);

class FolderCounts : public QObject {
    Q_OBJECT

  public:
    explicit FolderCounts(QObject* parent = nullptr);

    // Every folder's count unknown again, for a new folder list.
    void reset(std::size_t folderCount);
    // Reads the counts not yet known, off the window's thread; each arrives by changed().
    void start(const MailStore& store, const FolderList& folders);
    // Stops the reading: no count of it arrives any more.
    void stop();
    // A folder's count known otherwise (its list was just read).
    void set(int folder, FolderCount count);
    // By folder index.
    const std::vector<FolderCount>& all() const { return counts; }

  signals:
    void changed(int folder, FolderCount count);

  private:
    std::vector<FolderCount> counts;
    BackgroundJob job;
};

}  // namespace lumbrook
