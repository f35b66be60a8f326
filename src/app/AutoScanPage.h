#pragma once

#include <QWidget>

class QCheckBox;
class QVBoxLayout;

namespace vk::app {

// Page 11: the removable-drive watcher's settings, and whether the program
// starts with the computer.
class AutoScanPage : public QWidget {
    Q_OBJECT
public:
    explicit AutoScanPage(QWidget* parent);

    // The page's loader: sets the controls from the stored settings; writes nothing.
    void loadAutoScanSettings();
    void chkVKStartup_Click(bool checked);

    // The watcher's own controls go here, above the start-up box.
    QVBoxLayout* settingsLayout() const { return settings_; }

private:
    QVBoxLayout* settings_;
    QCheckBox* chkVKStartup_;
};

// The running program's full path, for the start-with-the-computer command.
QString programPath();

}  // namespace vk::app
