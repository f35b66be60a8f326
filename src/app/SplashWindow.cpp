#include "app/SplashWindow.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Version.h"
#include "app/AppIcon.h"
#include "app/XpProgressBar.h"

namespace vk::app {

SplashWindow::SplashWindow(QWidget* owner) : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral(
        "#frmSplash { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #0d3b4f, stop:1 #16566f);"
        " border: 1px solid #082633; }"
        "#frmSplash QLabel { color: white; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 18);
    auto* top = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(logoPixmap(72));
    top->addWidget(logo);
    auto* names = new QVBoxLayout;
    auto* title = new QLabel(QStringLiteral("VandrelKast"), this);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 2.2);
    f.setBold(true);
    title->setFont(f);
    names->addWidget(title);
    auto* version = new QLabel(QStringLiteral("Version %1.%2.%3 Beta")
                                   .arg(vk::kVersionMajor)
                                   .arg(vk::kVersionMinor)
                                   .arg(vk::kVersionRevision),
                               this);
    version->setObjectName(QStringLiteral("lblVersion"));
    names->addWidget(version);
    top->addLayout(names, 1);
    layout->addLayout(top);
    layout->addSpacing(12);
    lblStatus_ = new QLabel(QStringLiteral("Loading..."), this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    lblStatus_->setTextFormat(Qt::PlainText);
    lblStatus_->setMinimumWidth(1);
    lblStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(lblStatus_);
    progress_ = new XpProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar"));
    progress_->setScrolling(3);
    progress_->setColor(QColor(0x3c, 0xb0, 0x4a));
    layout->addWidget(progress_);
    setFixedSize(440, 190);
}

void SplashWindow::setProgress(int percent, const QString& status) {
    lblStatus_->setText(status + QStringLiteral(" (") + QString::number(percent) + QStringLiteral("% Complete)"));
    progress_->setValue(percent);
}

}  // namespace vk::app
