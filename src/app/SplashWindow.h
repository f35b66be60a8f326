#pragma once

#include <QWidget>

class QLabel;

namespace vk::app {

class XpProgressBar;

// Shown while the signature database loads.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* owner);
    void setProgress(int percent, const QString& status);
    QLabel* statusLabel() const { return lblStatus_; }
    XpProgressBar* progressBar() const { return progress_; }

private:
    QLabel* lblStatus_;
    XpProgressBar* progress_;
};

}  // namespace vk::app
