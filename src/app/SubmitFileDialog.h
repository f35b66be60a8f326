#pragma once

#include <QDialog>
#include <string>

class QPushButton;

namespace vk::app {

class Dialogs;
class QtEventPump;
class SubmissionForm;

// frmSubmitFile: the submission form on its own, for a file picked elsewhere
// (the process information window's "Send this file ..." link).
class SubmitFileDialog : public QDialog {
    Q_OBJECT
public:
    SubmitFileDialog(QWidget* parent, Dialogs& dialogs, QtEventPump& pump, std::string configIni);
    SubmissionForm* form() const { return form_; }
    void setFile(const QString& path);

protected:
    void reject() override;

private:
    SubmissionForm* form_;
    QPushButton* cmdClose_;
};

}  // namespace vk::app
