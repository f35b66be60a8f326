#include "app/QuarantineDialog.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "app/TextFit.h"
#include "scan/Quarantine.h"

namespace vk::app {

QuarantineDialog::QuarantineDialog(QWidget* owner, Dialogs& dialogs, scan::Quarantine& quarantine)
    : QDialog(owner), dialogs_(dialogs), quarantine_(quarantine) {
    setObjectName(QStringLiteral("frmQuarantine"));
    setWindowTitle(QStringLiteral("Quarantine"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Files removed by a heal or a delete are kept here, unreadable to other "
                                            "programs, until they are restored or deleted."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    lvwQuarantine_ = new QTreeWidget(this);
    lvwQuarantine_->setObjectName(QStringLiteral("lvwQuarantine"));
    lvwQuarantine_->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Detection"),
                                     QStringLiteral("Original location")});
    lvwQuarantine_->setRootIsDecorated(false);
    lvwQuarantine_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwQuarantine_->header()->setStretchLastSection(true);
    lvwQuarantine_->setMinimumSize(560, 220);
    layout->addWidget(lvwQuarantine_, 1);

    auto* buttons = new QHBoxLayout;
    cmdRestore_ = new QPushButton(QStringLiteral("&Restore"), this);
    cmdRestore_->setObjectName(QStringLiteral("cmdRestore"));
    cmdDelete_ = new QPushButton(QStringLiteral("&Delete"), this);
    cmdDelete_->setObjectName(QStringLiteral("cmdDelete"));
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(cmdRestore_);
    buttons->addWidget(cmdDelete_);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(cmdRestore_, &QPushButton::clicked, this, &QuarantineDialog::cmdRestore_Click);
    connect(cmdDelete_, &QPushButton::clicked, this, &QuarantineDialog::cmdDelete_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(lvwQuarantine_, &QTreeWidget::itemSelectionChanged, this, &QuarantineDialog::updateButtons);
    refresh();
}

void QuarantineDialog::refresh() {
    lvwQuarantine_->clear();
    for (const auto& item : quarantine_.list()) {
        auto* row = new QTreeWidgetItem(lvwQuarantine_);
        QDateTime when = QDateTime::fromSecsSinceEpoch(item.time);
        row->setText(0, QLocale().toString(when, QLocale::ShortFormat));
        row->setText(1, singleLine(fromBytes(item.detection)));
        row->setText(2, singleLine(fromBytes(item.path)));
        row->setToolTip(2, singleLine(fromBytes(item.path)));
        row->setData(0, Qt::UserRole, QString::fromStdString(item.id));
    }
    for (int c = 0; c < 2; ++c) lvwQuarantine_->resizeColumnToContents(c);
    if (lvwQuarantine_->topLevelItemCount() > 0) lvwQuarantine_->setCurrentItem(lvwQuarantine_->topLevelItem(0));
    updateButtons();
}

QString QuarantineDialog::selectedId() const {
    auto* item = lvwQuarantine_->currentItem();
    return item && item->isSelected() ? item->data(0, Qt::UserRole).toString() : QString();
}

void QuarantineDialog::updateButtons() {
    bool any = !selectedId().isEmpty();
    cmdRestore_->setEnabled(any);
    cmdDelete_->setEnabled(any);
}

void QuarantineDialog::cmdRestore_Click() {
    const QString id = selectedId();
    if (id.isEmpty()) return;
    std::string error = quarantine_.restore(id.toStdString());
    if (!error.empty())
        dialogs_.message(this, QStringLiteral("The file could not be restored: ") + singleLine(fromBytes(error)),
                         MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("Error"));
    refresh();
}

void QuarantineDialog::cmdDelete_Click() {
    const QString id = selectedId();
    if (id.isEmpty()) return;
    if (dialogs_.message(this, QStringLiteral("Delete the selected file from the quarantine for good?"),
                         MessageIcon::Question, MessageButtons::YesNo,
                         QStringLiteral("Quarantine")) != MessageResult::Yes)
        return;
    std::string error = quarantine_.remove(id.toStdString());
    if (!error.empty())
        dialogs_.message(this, singleLine(fromBytes(error)), MessageIcon::Critical, MessageButtons::Ok,
                         QStringLiteral("Error"));
    refresh();
}

}  // namespace vk::app
