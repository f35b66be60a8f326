#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/WebSearches.h"

class QAction;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vk::scan {
class ScanEngine;
}
namespace vk::tools {
class ProcessList;
}

namespace vk::app {

class DesktopShell;
class Dialogs;
class ProcessInfoDialog;

// The Process Inspector page: the running programs with their icons, and
// what can be done to them (terminate, terminate and delete, open the
// folder, scan, search the web, the file information window).
class ProcessInspectorPage : public QWidget {
    Q_OBJECT
public:
    static const QString kExplanation;

    ProcessInspectorPage(QWidget* parent, Dialogs& dialogs, tools::ProcessList& process, scan::ScanEngine& engine,
                         std::string configIni);

    // Rebuilds the list from a fresh process list and re-reads the web
    // searches (every visit of the page).
    void refreshProcessList();

    // The process menu for the current line, with its captions for the
    // selection; false (and no menu) when no line is current.
    bool prepareProcessMenu();
    void cmdManage_Click();
    void cmdTerminate_Click();
    void mnuTerminateAndDelete_Click();
    void mnuViewFilePath_Click();
    void mnuScanProcess_Click();
    void mnuWebSearch_Click(int index);
    void mnuViewProperties1_Click();
    void mnuViewProperties2_Click();

    QTreeWidget* processView() const { return lvwProcess_; }
    QMenu* processMenu() const { return mnuPopup2_; }
    DesktopShell& shell() { return *shell_; }
    // What "Send this file ..." of the information window does with its path.
    void setSubmitter(std::function<void(const QString&)> submit) { submit_ = std::move(submit); }
    // Runs with each information window before it is shown (tests, screenshots).
    void setBeforeInfoShown(std::function<void(ProcessInfoDialog&)> hook) { beforeInfoShown_ = std::move(hook); }

private:
    // The entry indexes of the selected lines, in list order.
    std::vector<std::int64_t> selectedEntries() const;
    std::int64_t currentEntry() const;
    bool isOwnProcess(std::int64_t entry) const;
    void updateTerminateEnabled();
    void afterProcessCommand();
    void terminateSelected(bool deleteFiles);

    Dialogs& dialogs_;
    tools::ProcessList& process_;
    scan::ScanEngine& engine_;
    std::string configIni_;
    DesktopShell* shell_;
    WebSearches searches_;
    std::function<void(const QString&)> submit_;
    std::function<void(ProcessInfoDialog&)> beforeInfoShown_;

    QTreeWidget* lvwProcess_;
    QPushButton* cmdManage_;
    QPushButton* cmdRefresh_;
    QPushButton* cmdTerminate_;
    QPushButton* cmdViewInfo_;
    QMenu* mnuPopup2_;
    QAction* mnuTerminate_;
    QAction* mnuTerminateAndDelete_;
    QAction* mnuViewFilePath_;
    QAction* mnuScanProcess_;
    QMenu* mnuWebSearch1_;
    QAction* mnuWebSearch_[4];
    QAction* mnuViewProperties1_;
    QAction* mnuViewProperties2_;
};

}  // namespace vk::app
