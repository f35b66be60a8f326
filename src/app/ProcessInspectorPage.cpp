#include "app/ProcessInspectorPage.h"

#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QHash>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/DesktopShell.h"
#include "app/Dialogs.h"
#include "app/FileIcon.h"
#include "app/ProcessInfoDialog.h"
#include "app/TextFit.h"
#include "scan/ScanEngine.h"
#include "tools/ExecutableRemoval.h"
#include "tools/ProcessList.h"

namespace vk::app {
namespace {

constexpr int kEntryRole = Qt::UserRole;
constexpr int kKeyRole = Qt::UserRole + 1;
const QString kCrLf = QStringLiteral("\r\n");
const QString kTerminateError = QStringLiteral("Error Terminating Process");

}  // namespace

const QString ProcessInspectorPage::kExplanation = QStringLiteral(
    "These are the list of programs/proceses currently running on your computer. You can terminate a process by "
    "selecting it and clicking Terminate Process button. ");

ProcessInspectorPage::ProcessInspectorPage(QWidget* parent, Dialogs& dialogs, tools::ProcessList& process,
                                           scan::ScanEngine& engine, std::string configIni)
    : QWidget(parent),
      dialogs_(dialogs),
      process_(process),
      engine_(engine),
      configIni_(std::move(configIni)),
      shell_(new DesktopShell(this)),
      searches_(loadWebSearches(configIni_)) {
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(kExplanation, this);
    explanation->setObjectName(QStringLiteral("lblExplanation"));
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    lvwProcess_ = new QTreeWidget(this);
    lvwProcess_->setObjectName(QStringLiteral("lvwProcess"));
    lvwProcess_->setColumnCount(2);
    lvwProcess_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Path")});
    lvwProcess_->setRootIsDecorated(false);
    lvwProcess_->setUniformRowHeights(true);
    lvwProcess_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwProcess_->setSortingEnabled(false);
    lvwProcess_->setContextMenuPolicy(Qt::CustomContextMenu);
    lvwProcess_->header()->setStretchLastSection(true);
    lvwProcess_->setColumnWidth(0, 170);
    layout->addWidget(lvwProcess_, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    cmdManage_ = button(QStringLiteral("&Manage Selected"), "cmdManage");
    cmdRefresh_ = button(QStringLiteral("&Refresh List"), "cmdRefresh");
    buttons->addStretch();
    cmdTerminate_ = button(QStringLiteral("&Terminate Process"), "cmdTerminate");
    cmdViewInfo_ = button(QStringLiteral("View info..."), "cmdViewInfo");
    layout->addLayout(buttons);

    mnuPopup2_ = new QMenu(this);
    mnuPopup2_->setObjectName(QStringLiteral("mnuPopup2"));
    auto action = [](QMenu* menu, const QString& caption, const char* name) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mnuTerminate_ = action(mnuPopup2_, QStringLiteral("&Terminate %1"), "mnuTerminate");
    mnuTerminateAndDelete_ = action(mnuPopup2_, QStringLiteral("Terminate %1 and &delete it!"), "mnuTerminateAndDelete");
    mnuPopup2_->addSeparator();
    mnuViewFilePath_ = action(mnuPopup2_, QStringLiteral("&View File Location"), "mnuViewFilePath");
    mnuScanProcess_ = action(mnuPopup2_, QStringLiteral("&Scan file w/ Search and Destroy"), "mnuScanProcess");
    mnuPopup2_->addSeparator();
    mnuWebSearch1_ = mnuPopup2_->addMenu(QStringLiteral("Search for this process in..."));
    mnuWebSearch1_->setObjectName(QStringLiteral("mnuWebSearch1"));
    for (int i = 0; i < 4; ++i) {
        mnuWebSearch_[i] = mnuWebSearch1_->addAction(searches_[static_cast<std::size_t>(i)].caption);
        mnuWebSearch_[i]->setObjectName(QStringLiteral("mnuWebSearch%1").arg(i));
        connect(mnuWebSearch_[i], &QAction::triggered, this, [this, i] { mnuWebSearch_Click(i); });
    }
    mnuPopup2_->addSeparator();
    mnuViewProperties1_ = action(mnuPopup2_, QStringLiteral("View Properties (w/ &Process Info)"), "mnuViewProperties1");
    mnuViewProperties2_ =
        action(mnuPopup2_, QStringLiteral("View Properties (w/ &Windows Explorer)"), "mnuViewProperties2");
    mnuPopup2_->setDefaultAction(mnuTerminate_);

    connect(cmdManage_, &QPushButton::clicked, this, &ProcessInspectorPage::cmdManage_Click);
    connect(cmdRefresh_, &QPushButton::clicked, this, &ProcessInspectorPage::refreshProcessList);
    connect(cmdTerminate_, &QPushButton::clicked, this, &ProcessInspectorPage::cmdTerminate_Click);
    connect(cmdViewInfo_, &QPushButton::clicked, this, &ProcessInspectorPage::mnuViewProperties1_Click);
    connect(lvwProcess_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (lvwProcess_->itemAt(pos)) cmdManage_Click();
    });
    connect(lvwProcess_, &QTreeWidget::itemSelectionChanged, this, &ProcessInspectorPage::updateTerminateEnabled);
    connect(mnuTerminate_, &QAction::triggered, this, &ProcessInspectorPage::cmdTerminate_Click);
    connect(mnuTerminateAndDelete_, &QAction::triggered, this, &ProcessInspectorPage::mnuTerminateAndDelete_Click);
    connect(mnuViewFilePath_, &QAction::triggered, this, &ProcessInspectorPage::mnuViewFilePath_Click);
    connect(mnuScanProcess_, &QAction::triggered, this, &ProcessInspectorPage::mnuScanProcess_Click);
    connect(mnuViewProperties1_, &QAction::triggered, this, &ProcessInspectorPage::mnuViewProperties1_Click);
    connect(mnuViewProperties2_, &QAction::triggered, this, &ProcessInspectorPage::mnuViewProperties2_Click);
}

void ProcessInspectorPage::refreshProcessList() {
    searches_ = loadWebSearches(configIni_);
    for (std::size_t i = 0; i < searches_.size(); ++i) mnuWebSearch_[i]->setText(searches_[i].caption);
    lvwProcess_->clear();
    process_.refresh();
    // Many processes run the same program: its icon is made once per refresh.
    QHash<QString, QIcon> icons;
    QList<QTreeWidgetItem*> items;
    for (std::int32_t i = 0; i <= process_.count(); ++i) {
        const QString path = fromBytes(process_.exePath(i));
        auto* item = new QTreeWidgetItem({fileNamePart(path), path});
        item->setData(0, kEntryRole, QVariant::fromValue<qint64>(i));
        item->setData(0, kKeyRole, QStringLiteral("ProcessIndex%1").arg(i));
        if (!path.isEmpty()) {
            auto it = icons.find(path);
            if (it == icons.end()) it = icons.insert(path, fileIcon(path));
            item->setIcon(0, *it);
        }
        items.append(item);
    }
    lvwProcess_->addTopLevelItems(items);
    updateTerminateEnabled();
}

std::vector<std::int64_t> ProcessInspectorPage::selectedEntries() const {
    std::vector<std::int64_t> out;
    for (int i = 0; i < lvwProcess_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvwProcess_->topLevelItem(i);
        if (item->isSelected()) out.push_back(item->data(0, kEntryRole).toLongLong());
    }
    return out;
}

std::int64_t ProcessInspectorPage::currentEntry() const {
    QTreeWidgetItem* item = lvwProcess_->currentItem();
    return item ? item->data(0, kEntryRole).toLongLong() : -1;
}

bool ProcessInspectorPage::isOwnProcess(std::int64_t entry) const {
    return process_.processID(entry) == static_cast<std::uint32_t>(::getpid());
}

void ProcessInspectorPage::updateTerminateEnabled() {
    // The program never offers to end itself.
    bool other = false;
    for (std::int64_t e : selectedEntries()) other = other || !isOwnProcess(e);
    cmdTerminate_->setEnabled(other);
    mnuTerminate_->setEnabled(other);
    mnuTerminateAndDelete_->setEnabled(other);
}

bool ProcessInspectorPage::prepareProcessMenu() {
    const std::int64_t entry = currentEntry();
    if (entry < 0) return false;
    const QString name = fileNamePart(fromBytes(process_.exePath(entry)));
    if (selectedEntries().size() >= 2) {
        mnuTerminate_->setText(QStringLiteral("Terminate selected processes."));
        mnuTerminateAndDelete_->setText(QStringLiteral("Terminate selected processes and delete it!"));
    } else {
        mnuTerminate_->setText(QStringLiteral("Terminate ") + name);
        mnuTerminateAndDelete_->setText(QStringLiteral("Terminate ") + name + QStringLiteral(" and delete it!"));
    }
    updateTerminateEnabled();
    return true;
}

void ProcessInspectorPage::cmdManage_Click() {
    if (prepareProcessMenu()) mnuPopup2_->popup(QCursor::pos());
}

void ProcessInspectorPage::afterProcessCommand() {
    QCoreApplication::processEvents();
    refreshProcessList();
}

void ProcessInspectorPage::terminateSelected(bool deleteFiles) {
    for (std::int64_t entry : selectedEntries()) {
        if (isOwnProcess(entry)) continue;
        const QString path = fromBytes(process_.exePath(entry));
        if (process_.terminateProcessItem(entry)) {
            // Only the file the process ran; a failed deletion is silent.
            if (deleteFiles) tools::deleteExecutable(process_.exePath(entry), process_.executableIdentity(entry));
            continue;
        }
        const QString shown = deleteFiles ? fileNamePart(path) : path;
        dialogs_.message(this, QStringLiteral("Cannot terminate process:") + kCrLf + shown, MessageIcon::Critical,
                         MessageButtons::Ok, kTerminateError);
    }
    afterProcessCommand();
}

void ProcessInspectorPage::cmdTerminate_Click() { terminateSelected(false); }

void ProcessInspectorPage::mnuTerminateAndDelete_Click() {
    if (dialogs_.message(this, QStringLiteral("Are you sure you want to terminate and delete selected applications?"),
                         MessageIcon::Question, MessageButtons::YesNo,
                         QStringLiteral("Confimation")) != MessageResult::Yes)
        return;
    terminateSelected(true);
}

void ProcessInspectorPage::mnuViewFilePath_Click() {
    const std::int64_t entry = currentEntry();
    if (entry >= 0) shell_->showFileLocation(fromBytes(process_.exePath(entry)));
}

void ProcessInspectorPage::mnuScanProcess_Click() {
    engine_.resetScanningStatistics();
    engine_.resetFarwatch();
    engine_.setStopScanningProcess(false);
    for (std::int64_t entry : selectedEntries()) engine_.scanFile(process_.exePath(entry));
}

void ProcessInspectorPage::mnuWebSearch_Click(int index) {
    const std::int64_t entry = currentEntry();
    if (entry < 0 || index < 0 || index > 3) return;
    const QString name = fileNamePart(fromBytes(process_.exePath(entry)));
    shell_->openWebAddress(webSearchUrl(searches_[static_cast<std::size_t>(index)], name));
}

void ProcessInspectorPage::mnuViewProperties1_Click() {
    const std::int64_t entry = currentEntry();
    if (entry < 0) return;
    ProcessInfoDialog dialog(window(), fromBytes(process_.exePath(entry)), searches_, *shell_);
    dialog.setSubmitter(submit_);
    if (beforeInfoShown_) beforeInfoShown_(dialog);
    dialog.exec();
}

void ProcessInspectorPage::mnuViewProperties2_Click() {
    for (std::int64_t entry : selectedEntries()) shell_->showFileProperties(fromBytes(process_.exePath(entry)));
}

}  // namespace vk::app
