#include "app/SubmissionForm.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "app/QtPlatform.h"
#include "app/XpProgressBar.h"
#include "net/SampleSubmission.h"

namespace vk::app {

namespace {

std::string bytes(const QString& s) { return s.toUtf8().toStdString(); }
QString text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

const char kExplanation[] =
    "If you found new viruses or worms but VandrelKast cannot detect it, submit it to VandrelKast Labs for analysis. "
    "If the our analysis prove that the file you've submitted is a virus, worm, Trojan horse, or any form of "
    "malware, we will include it in VandrelKast Virus Database and if possible we will construct a KastScript for it.";

}  // namespace

SubmissionForm::SubmissionForm(QWidget* parent, Dialogs& dialogs, QtEventPump& pump, std::string configIni)
    : QWidget(parent), dialogs_(dialogs), pump_(pump), configIni_(std::move(configIni)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* explanation = new QLabel(QString::fromLatin1(kExplanation), this);
    explanation->setObjectName(QStringLiteral("lblExplanation"));
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    auto label = [this, layout](const char* caption) {
        auto* l = new QLabel(QString::fromLatin1(caption), this);
        l->setWordWrap(true);
        layout->addWidget(l);
        return l;
    };
    label("Submit File:");
    auto* fileRow = new QHBoxLayout;
    txtSubmitFile_ = new QLineEdit(this);
    txtSubmitFile_->setObjectName(QStringLiteral("txtSubmitFile"));
    cmdBrowse_ = new QPushButton(QStringLiteral("Browse..."), this);
    cmdBrowse_->setObjectName(QStringLiteral("cmdBrowse"));
    fileRow->addWidget(txtSubmitFile_, 1);
    fileRow->addWidget(cmdBrowse_);
    layout->addLayout(fileRow);
    label("Your Name: (Must be true and complete)");
    txtName_ = new QLineEdit(this);
    txtName_->setObjectName(QStringLiteral("txtName"));
    layout->addWidget(txtName_);
    label("Complete Address: (Must be true and accurate)");
    txtAddress_ = new QLineEdit(this);
    txtAddress_->setObjectName(QStringLiteral("txtAddress"));
    layout->addWidget(txtAddress_);
    label("State Your Reason: (Include the reason why you selected this file and the symptoms observed)");
    txtReason_ = new QPlainTextEdit(this);
    txtReason_->setObjectName(QStringLiteral("txtReason"));
    txtReason_->setTabChangesFocus(true);
    txtReason_->setMinimumHeight(60);
    layout->addWidget(txtReason_, 1);

    auto* sendRow = new QHBoxLayout;
    prgSubmit_ = new XpProgressBar(this);
    prgSubmit_->setObjectName(QStringLiteral("prgSubmit"));
    prgSubmit_->setMax(100);
    prgSubmit_->setShowText(true);
    prgSubmit_->setMinimumHeight(18);
    cmdSendFile_ = new QPushButton(QStringLiteral("&Send to VandrelKast Labs"), this);
    cmdSendFile_->setObjectName(QStringLiteral("cmdSendFile"));
    sendRow->addWidget(prgSubmit_, 1);
    sendRow->addWidget(cmdSendFile_);
    layout->addLayout(sendRow);

    connect(cmdBrowse_, &QPushButton::clicked, this, &SubmissionForm::browse);
    connect(cmdSendFile_, &QPushButton::clicked, this, &SubmissionForm::send);
}

void SubmissionForm::setFile(const QString& path) { txtSubmitFile_->setText(path); }

void SubmissionForm::browse() {
    FileDialogRequest request;
    request.title = QStringLiteral("Send suspicious file...");
    request.filter = QStringLiteral("All Files (*.*)|*.*");
    QString chosen = dialogs_.openFile(window(), request);
    if (!chosen.isEmpty()) txtSubmitFile_->setText(chosen);
}

void SubmissionForm::send() {
    if (sending_) return;
    const net::SubmissionForm form{bytes(txtSubmitFile_->text()), bytes(txtName_->text()),
                                   bytes(txtAddress_->text()), bytes(txtReason_->toPlainText())};
    if (auto refused = net::validateSubmission(form)) {
        dialogs_.message(window(), text(refused->message), MessageIcon::Critical, MessageButtons::Ok,
                         QStringLiteral("Error"));
        QWidget* fields[] = {txtSubmitFile_, txtName_, txtAddress_, txtReason_};
        fields[static_cast<int>(*refused->field)]->setFocus();
        return;
    }
    // The window stays alive while the files go; only a second send waits.
    sending_ = true;
    cmdSendFile_->setEnabled(false);
    prgSubmit_->setValue(0);
    net::SampleSubmission submission(this, &pump_);
    const net::SubmissionResult result = submission.submit(form, net::readSubmissionSettings(configIni_));
    cmdSendFile_->setEnabled(true);
    sending_ = false;
    const bool ok = result.outcome == net::SubmissionResult::Outcome::Submitted;
    if (ok) prgSubmit_->setValue(100);
    dialogs_.message(window(), text(result.message), ok ? MessageIcon::Information : MessageIcon::Critical,
                     MessageButtons::Ok, text(result.title));
}

void SubmissionForm::fileTransferProgress(std::int64_t currentBytes, std::int64_t totalBytes) {
    if (totalBytes <= 0) return;
    prgSubmit_->setValue(static_cast<int>(currentBytes * 100 / totalBytes));
    pump_.pump();
}

}  // namespace vk::app
