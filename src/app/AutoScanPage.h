#pragma once

#include <QString>
#include <QWidget>
#include <string>

class QCheckBox;
class QLabel;
class QRadioButton;
class QTimer;

namespace vk::scan {
class AutoScan;
struct AutorunCleanResult;
}  // namespace vk::scan

namespace vk::app {

// Page 11: the removable-drive watcher's settings, and whether the program
// starts with the computer. Bound to config.ini [AutoScan].
class AutoScanPage : public QWidget {
    Q_OBJECT
public:
    AutoScanPage(QWidget* parent, scan::AutoScan& autoScan, QTimer& tmrAutoScan, std::string configIni);

    // The page's loader: sets the timer, the watcher and the controls from
    // the stored settings; writes nothing.
    void loadAutoScanSettings();

    void chkEnableAutoScan_Click(bool checked);
    void optAutoScan_Click(int index);
    void chkRemoveAR_Click(bool checked);
    void chkVKStartup_Click(bool checked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs or stops the poll; a poll started again first forgets the drives,
    // so those already plugged in are learnt, not treated.
    void setPolling(bool on);
    void setOptionsEnabled(bool enabled);
    void showPrompt(bool prompt);

    scan::AutoScan& autoScan_;
    QTimer& tmrAutoScan_;
    std::string configIni_;
    QCheckBox* chkEnableAutoScan_;
    QRadioButton* optAutoScan_[2];
    QCheckBox* chkRemoveAR_;
    QLabel* lblRemoveAR_;
    QCheckBox* chkVKStartup_;
};

// The running program's full path, for the start-with-the-computer command.
QString programPath();

// What the tray tells after a new drive was cleaned; "" when nothing was done.
QString driveCleanedNotice(const std::string& drive, const scan::AutorunCleanResult& result);

}  // namespace vk::app
