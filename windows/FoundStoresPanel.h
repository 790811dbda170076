#pragma once

// The stores found on this computer's mounted disks and in Wine, by identity and
// user with their counts and dates, and "Find stores..." to look below a chosen
// directory, with progress and Cancel. The search runs off the window's thread;
// the finding itself is discovery's.

#include <QDialog>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "discovery/StoreFinder.h"
#include "windows/BackgroundJob.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace lumbrook {

class FoundStoresPanel : public QWidget {
    Q_OBJECT

  public:
    explicit FoundStoresPanel(QWidget* parent = nullptr);

    // Looks in the usual places (mounted disks, Wine; LUMBROOK_STORE_SEARCH_PATH,
    // colon-separated, instead when set, even empty) in the background; the list
    // fills when it is done.
    void searchUsualPlaces();
    // Asks for a directory and looks below it, with a progress dialog.
    void findStoresInChosenDirectory();
    // Looks below dir with a progress dialog; false when cancelled.
    bool findStoresIn(const QString& dir);

    const std::vector<FoundStore>& stores() const { return found; }
    // Adds stores not listed yet.
    void addStores(const std::vector<FoundStore>& stores);
    bool searching() const { return job.running(); }

  signals:
    // The user chose a store to open.
    void storeChosen(const QString& path);
    // The list changed.
    void storesChanged();

  private:
    void showStores();
    void openSelected();

    std::vector<FoundStore> found;
    BackgroundJob job;
    QLabel* status = nullptr;
    QTreeWidget* list = nullptr;
    QPushButton* openButton = nullptr;
};

// File > Find stores...: the stores found so far, "Find stores..." for more;
// choosing one closes it with chosenStore set.
class FindStoresDialog : public QDialog {
    Q_OBJECT

  public:
    FindStoresDialog(const std::vector<FoundStore>& known, QWidget* parent = nullptr);
    FoundStoresPanel* panel() const { return storesPanel; }
    const QString& chosenStore() const { return chosen; }

  private:
    FoundStoresPanel* storesPanel = nullptr;
    QString chosen;
};

// The places searchUsualPlaces looks in.
std::vector<std::string> usualStoreSearchPlaces();

// One line for a found store: "Identity (User)", or the directory's name.
QString foundStoreTitle(const FoundStore& store);

}  // namespace lumbrook
