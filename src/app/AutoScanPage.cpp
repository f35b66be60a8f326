#include "app/AutoScanPage.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QVBoxLayout>

#include "app/TextFit.h"
#include "tools/ProgramStartEntry.h"

namespace vk::app {

QString programPath() { return QCoreApplication::applicationFilePath(); }

AutoScanPage::AutoScanPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    settings_ = new QVBoxLayout;
    layout->addLayout(settings_);
    layout->addStretch();
    chkVKStartup_ = new QCheckBox(QStringLiteral("Launch VandrelKast everytime I start my computer."), this);
    chkVKStartup_->setObjectName(QStringLiteral("chkVKStartup"));
    // Only a user's click writes.
    connect(chkVKStartup_, &QCheckBox::clicked, this, &AutoScanPage::chkVKStartup_Click);
    layout->addWidget(chkVKStartup_);
}

void AutoScanPage::loadAutoScanSettings() { chkVKStartup_->setChecked(tools::programStartEnabled()); }

void AutoScanPage::chkVKStartup_Click(bool checked) {
    tools::setProgramStartEnabled(checked, toBytes(programPath()));
}

}  // namespace vk::app
