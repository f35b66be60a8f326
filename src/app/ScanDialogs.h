#pragma once

#include <QDialog>
#include <QFont>
#include <QStringList>
#include <cstdint>

#include "scan/DetectionAction.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vk::app {

class Dialogs;

// What to do with an infected file.
class DetectionDialog : public QDialog {
    Q_OBJECT
public:
    // Path texts are fitted in measureFont (the main window's).
    DetectionDialog(QWidget* owner, const QFont& measureFont);
    void fill(const QString& fileScanned, const QString& virusName);
    // Heal, Delete, Rename, or Ignore (also when closed without OK).
    scan::DetectionAction choice() const { return choice_; }

    // Width the two path labels are fitted to.
    static constexpr int kPathWidth = 340;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();

    QFont measureFont_;
    QLabel* lblFilename_;
    QLabel* lblPath_;
    QLabel* lblVirusName_;
    QRadioButton* optAction_[4];
    scan::DetectionAction choice_ = scan::DetectionAction::Ignore;
};

struct ScanCounters {
    std::int32_t filesScanned = 0;
    std::int32_t detections = 0;
    std::int32_t filesHealed = 0;
    std::int32_t filesDeleted = 0;
    std::int32_t filesRenamed = 0;
    std::int32_t filesNotScanned = 0;
    QStringList failedActions;  // detected files whose heal, delete or rename failed
};

// The counters after a scan, the files that could not be read and those
// whose action failed.
class StatisticsDialog : public QDialog {
    Q_OBJECT
public:
    StatisticsDialog(QWidget* owner, const ScanCounters& counters);
    // The counter in decimal, "n/a" for 0.
    static QString counterText(std::int32_t value);
};

// The folder prompt of the script host.
class ScanPromptDialog : public QDialog {
    Q_OBJECT
public:
    ScanPromptDialog(QWidget* owner, Dialogs& dialogs);

    // "success" or "canceled" once answered; "" before.
    QString result;
    QString folder;

    // Closing without the confirmation (program exit).
    void closeWithoutAsking();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape: the same as Cancel

private:
    void cmdBrowse_Click();
    void cmdScan_Click();
    bool confirmCancel();

    Dialogs& dialogs_;
    QLineEdit* txtDir_;
    bool closingQuietly_ = false;
};

}  // namespace vk::app
