#pragma once

#include <QDialog>
#include <QWidget>
#include <string>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace vk::scan {
class ScanEngine;
}

namespace vk::app {

class Dialogs;

// [Farwatch] NoFillupFormDisplay as a Boolean; text that is neither a number
// nor True/False counts as false, so the form is shown.
bool enrolmentCompleted(const std::string& configIni);

extern const char* const kFarwatchExplanation;

// The enrolment form shown at start-up until it is completed once.
class FwForm : public QDialog {
    Q_OBJECT
public:
    FwForm(QWidget* owner, Dialogs& dialogs, scan::ScanEngine& engine, std::string configIni);

private:
    void optParticipate_Click(int index);
    void cmdContinue_Click();

    Dialogs& dialogs_;
    scan::ScanEngine& engine_;
    std::string configIni_;
    QRadioButton* optParticipate_[2];
    QGroupBox* fraParticipate_;
    QLineEdit* txtName_;
    QLineEdit* txtAddress_;
    QLineEdit* txtEmail_;
};

// The Farwatch page of the main window.
class FarwatchPage : public QWidget {
    Q_OBJECT
public:
    FarwatchPage(QWidget* parent, scan::ScanEngine& engine, std::string configIni);

    // Reads [Farwatch] into the engine and the controls; writes nothing.
    void loadFarwatchSettings();

private:
    void chkEnableFW_Click(bool checked);
    void setBoxesEnabled(bool enabled);

    scan::ScanEngine& engine_;
    std::string configIni_;
    QCheckBox* chkEnableFW_;
    QLineEdit* txtName2_;
    QLineEdit* txtAddress2_;
    QLineEdit* txtEmail_;
};

// Disabled boxes are read-only and grey as well.
void setTextBoxEnabled(QLineEdit* box, bool enabled);

}  // namespace vk::app
