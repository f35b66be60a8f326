#include "app/StartupEntryViewerPage.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "app/TextFit.h"

namespace vk::app {

StartupEntryViewerPage::StartupEntryViewerPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral("These are the programs that are listed in startup entries. The programs in these list are "
                       "launched everytime Windows starts. You can remove a program from startup list by "
                       "unchecking it."),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);
    lstStartup_ = new QListWidget(this);
    lstStartup_->setObjectName(QStringLiteral("lstStartup"));
    layout->addWidget(lstStartup_, 1);
    connect(lstStartup_, &QListWidget::itemChanged, this, &StartupEntryViewerPage::lstStartup_ItemCheck);
}

void StartupEntryViewerPage::loadStartupList() {
    startupListLoading_ = true;
    lstStartup_->setVisible(false);
    lstStartup_->clear();
    startupEntries_.clear();
    for (auto& line : tools::loadStartupList()) {
        auto* item = new QListWidgetItem(fromBytes(line.text), lstStartup_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(line.checked ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(fromBytes(line.entry.source == tools::StartupEntry::Source::Autostart
                                       ? line.entry.keyPath
                                       : line.entry.keyPath + "\\" + line.entry.name));
        startupEntries_.push_back(std::move(line.entry));
    }
    if (lstStartup_->count() > 0) lstStartup_->setCurrentRow(0);
    lstStartup_->setVisible(true);
    startupListLoading_ = false;
}

void StartupEntryViewerPage::lstStartup_ItemCheck(QListWidgetItem* item) {
    if (startupListLoading_) return;
    int row = lstStartup_->row(item);
    if (row < 0 || static_cast<std::size_t>(row) >= startupEntries_.size()) return;
    bool enable = item->checkState() == Qt::Checked;
    if (tools::moveStartupEntry(startupEntries_[static_cast<std::size_t>(row)], enable)) return;
    // Refused: the entry stayed where it was, and so does its check mark.
    startupListLoading_ = true;
    item->setCheckState(enable ? Qt::Unchecked : Qt::Checked);
    startupListLoading_ = false;
}

}  // namespace vk::app
