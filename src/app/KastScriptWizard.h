#pragma once

#include <QDialog>
#include <array>
#include <initializer_list>

#include "script/WizardScript.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace vk::app {

class Dialogs;

// The KastScript Generator Wizard (frmKSWizard): eleven pages that build an
// INI KastScript and compile it key by key.
class KastScriptWizard : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPageCount = 11;
    static const QString kNextCaption;
    static const QString kCompileCaption;
    static const QString kFinishedCaption;

    KastScriptWizard(QWidget* owner, Dialogs& dialogs);

    int currentPage() const { return page_; }
    QWidget* page(int index) const { return picPages_[static_cast<std::size_t>(index)]; }
    void cmdNext_Click();
    void cmdBack_Click();

    // What the pages say now, as the compile step writes it.
    script::WizardScript script() const;

private:
    QWidget* newPage(int index, const char* heading, const QString& prompt);
    void buildWelcomePage();
    void buildInformationPage();
    void buildProcessPage();
    void buildDeletePage();
    void buildRegistryChangePage();
    void buildRegistryValuePage();
    void buildRegistryKeyPage();
    void buildDrivePage();
    void buildScanPage();
    void buildCompilePage();
    void buildFinishedPage();

    void showPage(int index);
    bool refuse(const QString& text, QWidget* focus = nullptr);
    void browseForDigest(QLineEdit* target);
    void cmdBrowse2_Click();
    bool compile();

    void cmdAddProcess_Click();
    void cmdAddFile_Click();
    void cmdAddRegCh_Click();
    void cmdAddValue_Click();
    void cmdAddKey_Click();
    void cmdAddFilename_Click();

    Dialogs& dialogs_;
    int page_ = 0;
    QStackedWidget* stack_;
    std::array<QWidget*, kPageCount> picPages_{};
    QPushButton* cmdBack_;
    QPushButton* cmdNext_;
    QPushButton* cmdCancel_;

    QLineEdit* txtKSName_;
    QLineEdit* txtThreatName_;
    QLineEdit* txtVersion_;
    QLineEdit* txtCopyright_;

    QCheckBox* chkTerminateProc_;
    QCheckBox* chkTerminateWS_;
    QLineEdit* txtAppPath_;
    QLineEdit* txtMD5Signature_;
    QTreeWidget* lvwProcessList_;

    QCheckBox* chkEnableDel_;
    QLineEdit* txtFilename_;
    QTreeWidget* lvwDeleteList_;

    QCheckBox* chkRegFuncs_;
    QLineEdit* txtRegistryKey_;
    QLineEdit* txtNewValue_;
    QLineEdit* txtValueType_;
    QTreeWidget* lvwRegChange_;

    QLineEdit* txtRegValue_;
    QTreeWidget* lvwRegDelete_;
    QLineEdit* txtRegKey_;
    QTreeWidget* lvwRegDelKey_;

    QCheckBox* chkEnableFix_;
    QLineEdit* txtFilename2_;
    QTreeWidget* lvwDelFiles_;
    QComboBox* cboDriveTypes_;

    QCheckBox* chkRunScan_;
    QLineEdit* txtMD5_;
    QLineEdit* txtFileSizeLimit_;
    QCheckBox* chkFilterExt_;
    QLineEdit* txtFileExt_;
    QCheckBox* chkIncludeSubDir_;

    QLineEdit* txtCompile_;
    QLabel* lblCompiling_;
};

// Enables or disables a check box's group; a text box is also made read-only
// and shown on the button face while it is off.
void setControlsEnabled(std::initializer_list<QWidget*> controls, bool enabled);

}  // namespace vk::app
