#pragma once

#include <QWidget>
#include <string>

#include "net/Ftp.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vk::app {

class Dialogs;
class QtEventPump;
class XpProgressBar;

// The sample submission form the page and the stand-alone dialog share:
// fields, Browse, Send, and the progress of the upload.
class SubmissionForm : public QWidget, private net::FtpEvents {
    Q_OBJECT
public:
    SubmissionForm(QWidget* parent, Dialogs& dialogs, QtEventPump& pump, std::string configIni);

    void setFile(const QString& path);
    // Browse: an open-file dialog; the chosen path goes into the file box.
    void browse();
    // Send: validates, uploads, tells the user how it went.
    void send();
    bool sending() const { return sending_; }

    QPushButton* sendButton() const { return cmdSendFile_; }
    QPushButton* browseButton() const { return cmdBrowse_; }

private:
    void fileTransferProgress(std::int64_t currentBytes, std::int64_t totalBytes) override;

    Dialogs& dialogs_;
    QtEventPump& pump_;
    std::string configIni_;
    QLineEdit* txtSubmitFile_;
    QLineEdit* txtName_;
    QLineEdit* txtAddress_;
    QPlainTextEdit* txtReason_;
    QPushButton* cmdBrowse_;
    QPushButton* cmdSendFile_;
    XpProgressBar* prgSubmit_;
    bool sending_ = false;
};

}  // namespace vk::app
