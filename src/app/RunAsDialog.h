#pragma once

#include <QDialog>

class QRadioButton;

namespace vk::app {

// Asks which engine runs a script whose extension names none (frmRunAs).
// OK is the only way out: the close box and Escape are refused.
class RunAsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIni = 0;
    static constexpr int kVbs = 1;

    explicit RunAsDialog(QWidget* owner);
    // 0 when the INI option was chosen, else 1.
    int runAs() const { return runAs_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void cmdOK_Click();

    QRadioButton* optRunAs_[2];
    int runAs_ = kIni;
    bool answered_ = false;
};

}  // namespace vk::app
