#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vk::scan {
class ScanEngine;
}

namespace vk::app {

class DatabaseInfoBox;
class Dialogs;

// The Search 'n Destroy page: picks a folder, starts and stops the scan.
class ScanPage : public QWidget {
    Q_OBJECT
public:
    static const QString kIdleText;

    ScanPage(QWidget* parent, Dialogs& dialogs, scan::ScanEngine& engine);

    // True from the start of a scan started here until its end.
    bool scanning() const { return scanning_; }
    // The engine's ScanningProgress.
    void showFileScanned(const QString& path);
    // The database labels, after loading.
    void showDatabaseInfo();

    QPushButton* settingsButton() const { return cmdHeader7_; }
    QPushButton* quarantineButton() const { return cmdQuarantine_; }
    QLineEdit* scanDirBox() const { return txtScanDir_; }
    int animationFrame() const { return frame_; }

    // What runs after the statistics dialog (the detection report, later).
    void setAfterScan(std::function<void()> hook) { afterScan_ = std::move(hook); }
    // Set while the program is exiting: a running scan ends without its dialog.
    void setExiting(bool exiting) { exiting_ = exiting; }

    void cmdScanDir_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void cmdBrowse2_Click();
    void cmdQuarantine_Click();
    // The folder box's text with a leading "~" made the home folder.
    QString typedFolder() const;
    void tmrScan_Timer();
    void setScanningControls(bool scanning);
    void refreshFileLabel();

    Dialogs& dialogs_;
    scan::ScanEngine& engine_;
    QLineEdit* txtScanDir_;
    QPushButton* cmdBrowse2_;
    QPushButton* cmdScanDir_;
    QLabel* lblFileScanned_;
    QLabel* lblScanning_;
    QLabel* imgScanning_[4];
    DatabaseInfoBox* databaseInfo_;
    QPushButton* cmdHeader7_;
    QPushButton* cmdQuarantine_;
    QTimer tmrScan_;
    int frame_ = 0;
    bool scanning_ = false;
    bool exiting_ = false;
    QString fileScanned_;
    std::function<void()> afterScan_;
};

// The Search 'n Destroy settings page, bound to config.ini [ScanningOptions].
class ScanSettingsPage : public QWidget {
    Q_OBJECT
public:
    ScanSettingsPage(QWidget* parent, Dialogs& dialogs, scan::ScanEngine& engine, std::string configIni);

    // Reads the four keys into the controls and the engine; writes nothing.
    void loadScanSettings();
    // The size box's validation; false (after its message) when refused.
    bool validateFileSize();
    bool fileSizeHasFocus() const;

    QPushButton* backButton() const { return cmdBack_; }
    QComboBox* fileSizeBox() const { return cboFileSize_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void optActions_Click(int index);
    void optScan_Click(int index);
    void txtFileFilter_Change(const QString& text);
    void setFilterEnabled(bool enabled);

    Dialogs& dialogs_;
    scan::ScanEngine& engine_;
    std::string configIni_;
    QRadioButton* optScan_[2];
    QRadioButton* optActions_[4];
    QButtonGroup* actionGroup_;
    QLineEdit* txtFileFilter_;
    QComboBox* cboFileSize_;
    QPushButton* cmdBack_;
    bool validating_ = false;
};

}  // namespace vk::app
