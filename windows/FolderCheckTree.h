#pragma once

// The store's folder tree with a check box at each folder, all checked: which
// folders a job over the whole store takes (Export store, Upload to mail server).

#include <QString>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "convert/StoreConversion.h"

namespace lumbrook {

class FolderCheckTree : public QTreeWidget {
    Q_OBJECT

  public:
    FolderCheckTree(std::vector<StoreFolder> folders, QWidget* parent = nullptr);

    // Whether a folder is checked (or partly, through a checked subfolder), as a
    // decision per folder that outlives the tree.
    std::function<bool(const StoreFolder&)> includeChecked() const;

  private:
    std::vector<StoreFolder> folders;
};

// Adds a heading and the first ten lines (then "...") to a store-wide job's final
// report, nothing when there are no lines: what was left behind is listed, never a
// plain "done".
void appendReportLines(QString& text, const QString& heading, const std::vector<std::string>& lines);

}  // namespace lumbrook
