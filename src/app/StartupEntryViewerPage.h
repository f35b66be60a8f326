#pragma once

#include <QWidget>
#include <vector>

#include "tools/StartupEntries.h"

class QListWidget;
class QListWidgetItem;

namespace vk::app {

// Page 4: the programs that start with the computer; unchecking a line
// disables its entry, checking enables it again.
class StartupEntryViewerPage : public QWidget {
    Q_OBJECT
public:
    explicit StartupEntryViewerPage(QWidget* parent);

    // Re-reads the list; writes nothing.
    void loadStartupList();
    QListWidget* list() const { return lstStartup_; }
    const std::vector<tools::StartupEntry>& startupEntries() const { return startupEntries_; }

private:
    void lstStartup_ItemCheck(QListWidgetItem* item);

    QListWidget* lstStartup_;
    // Parallel to the list's lines; kept in step with the moves between loads.
    std::vector<tools::StartupEntry> startupEntries_;
    bool startupListLoading_ = false;
};

}  // namespace vk::app
