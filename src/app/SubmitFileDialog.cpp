#include "app/SubmitFileDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/SubmissionForm.h"

namespace vk::app {

SubmitFileDialog::SubmitFileDialog(QWidget* parent, Dialogs& dialogs, QtEventPump& pump, std::string configIni)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmSubmitFile"));
    setWindowTitle(QStringLiteral("Submit Suspicious Files and Virus Samples"));
    auto* layout = new QVBoxLayout(this);
    form_ = new SubmissionForm(this, dialogs, pump, std::move(configIni));
    layout->addWidget(form_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdClose_ = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(cmdClose_);
    layout->addLayout(buttons);
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::reject);
    resize(520, 440);
}

void SubmitFileDialog::setFile(const QString& path) { form_->setFile(path); }

void SubmitFileDialog::reject() {
    // Closing in the middle of an upload would pull the form from under it.
    if (!form_->sending()) QDialog::reject();
}

}  // namespace vk::app
