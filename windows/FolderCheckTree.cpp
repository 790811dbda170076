#include "windows/FolderCheckTree.h"

#include <algorithm>
#include <string>

namespace lumbrook {

FolderCheckTree::FolderCheckTree(std::vector<StoreFolder> storeFolders, QWidget* parent)
    : QTreeWidget(parent), folders(std::move(storeFolders)) {
    setHeaderHidden(true);
    std::vector<QTreeWidgetItem*> items;
    for (const StoreFolder& f : folders) {
        auto* item = f.parent < 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(items[f.parent]);
        item->setText(0, QString::fromStdString(f.name));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        item->setCheckState(0, Qt::Checked);
        items.push_back(item);
    }
    expandAll();
}

std::function<bool(const StoreFolder&)> FolderCheckTree::includeChecked() const {
    // Tree items stand in the folders' order, depth first.
    std::vector<bool> checked;
    std::vector<QTreeWidgetItem*> stack;
    for (int i = topLevelItemCount(); i-- > 0;) stack.push_back(topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        checked.push_back(item->checkState(0) != Qt::Unchecked);
        for (int i = item->childCount(); i-- > 0;) stack.push_back(item->child(i));
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < folders.size() && i < checked.size(); ++i)
        if (checked[i]) paths.push_back(folders[i].path);
    return [paths](const StoreFolder& f) { return std::find(paths.begin(), paths.end(), f.path) != paths.end(); };
}

void appendReportLines(QString& text, const QString& heading, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    text += QStringLiteral("\n\n") + heading;
    for (std::size_t i = 0; i < lines.size() && i < 10; ++i)
        text += QStringLiteral("\n") + QString::fromStdString(lines[i]);
    if (lines.size() > 10) text += QStringLiteral("\n...");
}

}  // namespace lumbrook
