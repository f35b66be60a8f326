#include "app/RunAsDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vk::app {

RunAsDialog::RunAsDialog(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmRunAs"));
    setWindowTitle(QStringLiteral("KastScripts"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Run the script as:"), this));
    const char* captions[2] = {"INI-based KastScripts (*.vki)", "VBScript-based KastScripts (*.vks, *.kst)"};
    for (int i = 0; i < 2; ++i) {
        optRunAs_[i] = new QRadioButton(QString::fromLatin1(captions[i]), this);
        optRunAs_[i]->setObjectName(QStringLiteral("optRunAs%1").arg(i));
        layout->addWidget(optRunAs_[i]);
    }
    optRunAs_[kIni]->setChecked(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    row->addWidget(ok);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &RunAsDialog::cmdOK_Click);
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
}

void RunAsDialog::cmdOK_Click() {
    runAs_ = optRunAs_[kIni]->isChecked() ? kIni : kVbs;
    answered_ = true;
    accept();
}

void RunAsDialog::closeEvent(QCloseEvent* event) {
    if (answered_) event->accept();
    else event->ignore();
}

void RunAsDialog::reject() {}

}  // namespace vk::app
