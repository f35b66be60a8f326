#include "app/AutoScanPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include "app/TextFit.h"
#include "platform/IniProfile.h"
#include "scan/AutoScan.h"
#include "tools/ProgramStartEntry.h"

namespace vk::app {

namespace {
constexpr const char* kSection = "AutoScan";

const char* const kRemoveARCaption =
    "Automatically remove Autorun file (Autorun.inf) in my drives and add an AutoRun Protection on it. "
    "(Highly Recommended!)";
const char* const kHelpText =
    "AutoScan gives you protection against malware that are distributed in removable drives like USB flash "
    "drives. It works by automatically scan for threats in removable drives everytime they are inserted in your "
    "computer. Thus, maximizing your computer's protection against viruses, worms, trojans, or any forms of "
    "malware.";
}  // namespace

QString programPath() { return QCoreApplication::applicationFilePath(); }

AutoScanPage::AutoScanPage(QWidget* parent, scan::AutoScan& autoScan, QTimer& tmrAutoScan, std::string configIni)
    : QWidget(parent), autoScan_(autoScan), tmrAutoScan_(tmrAutoScan), configIni_(std::move(configIni)) {
    auto* layout = new QVBoxLayout(this);
    chkEnableAutoScan_ = new QCheckBox(QStringLiteral("Enable AutoScan feature."), this);
    chkEnableAutoScan_->setObjectName(QStringLiteral("chkEnableAutoScan"));
    layout->addWidget(chkEnableAutoScan_);

    auto* frame = new QGroupBox(QStringLiteral("Everytime a removable drive is inserted, what should I do?"), this);
    frame->setObjectName(QStringLiteral("fraAutoScan"));
    auto* fl = new QVBoxLayout(frame);
    optAutoScan_[0] = new QRadioButton(QStringLiteral("Ask me first if I what to scan my removable drive."), frame);
    optAutoScan_[1] = new QRadioButton(QStringLiteral("Automatically scan my removable drives."), frame);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        optAutoScan_[i]->setObjectName(QStringLiteral("optAutoScan%1").arg(i));
        group->addButton(optAutoScan_[i], i);
        fl->addWidget(optAutoScan_[i]);
        connect(optAutoScan_[i], &QRadioButton::clicked, this, [this, i] { optAutoScan_Click(i); });
    }
    // The caption is too long for one line: it wraps in a label that clicks the box.
    auto* removeRow = new QHBoxLayout;
    chkRemoveAR_ = new QCheckBox(frame);
    chkRemoveAR_->setObjectName(QStringLiteral("chkRemoveAR"));
    chkRemoveAR_->setAccessibleName(QString::fromLatin1(kRemoveARCaption));
    lblRemoveAR_ = new QLabel(QString::fromLatin1(kRemoveARCaption), frame);
    lblRemoveAR_->setObjectName(QStringLiteral("lblRemoveAR"));
    lblRemoveAR_->setWordWrap(true);
    lblRemoveAR_->installEventFilter(this);
    removeRow->addWidget(chkRemoveAR_, 0, Qt::AlignTop);
    removeRow->addWidget(lblRemoveAR_, 1);
    fl->addLayout(removeRow);
    connect(chkRemoveAR_, &QCheckBox::clicked, this, &AutoScanPage::chkRemoveAR_Click);
    layout->addWidget(frame);

    auto* help = new QLabel(QString::fromLatin1(kHelpText), this);
    help->setObjectName(QStringLiteral("lblAutoScanHelp"));
    help->setWordWrap(true);
    layout->addWidget(help);
    layout->addStretch();

    chkVKStartup_ = new QCheckBox(QStringLiteral("Launch VandrelKast everytime I start my computer."), this);
    chkVKStartup_->setObjectName(QStringLiteral("chkVKStartup"));
    layout->addWidget(chkVKStartup_);
    // Only a user's click writes.
    connect(chkEnableAutoScan_, &QCheckBox::clicked, this, &AutoScanPage::chkEnableAutoScan_Click);
    connect(chkVKStartup_, &QCheckBox::clicked, this, &AutoScanPage::chkVKStartup_Click);
}

bool AutoScanPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblRemoveAR_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && chkRemoveAR_->isEnabled()) {
        chkRemoveAR_->click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void AutoScanPage::loadAutoScanSettings() {
    auto read = [this](const char* key) {
        return fromBytes(platform::getProfileString(configIni_, kSection, key, "1")).trimmed();
    };
    const bool enabled = read("EnableAutoScan") == QLatin1String("1");
    setPolling(enabled);
    chkEnableAutoScan_->setChecked(enabled);
    setOptionsEnabled(enabled);

    autoScan_.setScanPrompt(read("PromptScan") == QLatin1String("1"));
    showPrompt(autoScan_.scanPrompt());

    // Not a number: ignored, the setting stays as it was.
    bool number = false;
    const double removeAutoRun = read("RemoveAutoRun").toDouble(&number);
    if (number) autoScan_.setRemoveAutoRun(removeAutoRun == 1.0);
    chkRemoveAR_->setChecked(autoScan_.removeAutoRun());

    const std::string website = platform::getProfileString(configIni_, kSection, "Website", "");
    if (!website.empty()) autoScan_.setWebAddress(website);

    chkVKStartup_->setChecked(tools::programStartEnabled());
}

void AutoScanPage::setPolling(bool on) {
    if (on == tmrAutoScan_.isActive()) return;
    if (on) {
        autoScan_.restart();
        tmrAutoScan_.start();
    } else {
        tmrAutoScan_.stop();
    }
}

void AutoScanPage::setOptionsEnabled(bool enabled) {
    for (QRadioButton* option : optAutoScan_) option->setEnabled(enabled);
    chkRemoveAR_->setEnabled(enabled);
    lblRemoveAR_->setEnabled(enabled);
    chkVKStartup_->setEnabled(enabled);
}

void AutoScanPage::showPrompt(bool prompt) { optAutoScan_[prompt ? 0 : 1]->setChecked(true); }

void AutoScanPage::chkEnableAutoScan_Click(bool checked) {
    setOptionsEnabled(checked);
    setPolling(checked);
    platform::writeProfileString(configIni_, kSection, "EnableAutoScan", checked ? "1" : "0");
}

void AutoScanPage::optAutoScan_Click(int index) {
    const bool prompt = index == 0;
    autoScan_.setScanPrompt(prompt);
    platform::writeProfileString(configIni_, kSection, "PromptScan", prompt ? "1" : "0");
}

void AutoScanPage::chkRemoveAR_Click(bool checked) {
    autoScan_.setRemoveAutoRun(checked);
    platform::writeProfileString(configIni_, kSection, "RemoveAutoRun", checked ? "1" : "0");
}

void AutoScanPage::chkVKStartup_Click(bool checked) {
    tools::setProgramStartEnabled(checked, toBytes(programPath()));
}

QString driveCleanedNotice(const std::string& drive, const scan::AutorunCleanResult& result) {
    QStringList done;
    if (result.autorunRemoved) done << QStringLiteral("removed Autorun.inf");
    const QString target = fromBytes(result.openTarget);
    if (result.openTargetRemoved)
        done << QStringLiteral("deleted \"%1\" that it started").arg(target);
    else if (!result.openTarget.empty())
        done << QStringLiteral("kept \"%1\" that it names (%2)").arg(target, fromBytes(result.openTargetKept));
    if (result.protectionPlanted) done << QStringLiteral("added the AutoRun protection");
    if (done.isEmpty()) return {};
    return QStringLiteral("Removable drive %1: %2.").arg(fromBytes(drive), done.join(QStringLiteral(", ")));
}

}  // namespace vk::app
