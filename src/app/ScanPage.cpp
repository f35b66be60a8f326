#include "app/ScanPage.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/DatabaseInfoBox.h"
#include "app/Dialogs.h"
#include "app/QuarantineDialog.h"
#include "app/ScanDialogs.h"
#include "app/SelectAllOnFocus.h"
#include "app/TextFit.h"
#include "platform/IniProfile.h"
#include "platform/VbConversion.h"
#include "scan/Quarantine.h"
#include "scan/ScanEngine.h"
#include "scan/ScanSettings.h"

namespace vk::app {

namespace {

const QString kBrowsePrompt = QStringLiteral("Please select a directory to scan...");
const QString kMyComputer = QStringLiteral("My Computer");
const QString kStart = QStringLiteral("&Start Scanning!");
const QString kStop = QStringLiteral("&Stop Scanning");
constexpr const char* kSection = "ScanningOptions";

void critical(Dialogs& dialogs, QWidget* owner, const QString& text) {
    dialogs.message(owner, text, MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("Error"));
}

}  // namespace

const QString ScanPage::kIdleText = QStringLiteral(
    "Please enter the directory you want to scan or you can browse it by using the Browse button. If you're "
    "ready, click Start Scanning.");

ScanPage::ScanPage(QWidget* parent, Dialogs& dialogs, scan::ScanEngine& engine)
    : QWidget(parent), dialogs_(dialogs), engine_(engine), tmrScan_(this) {
    auto* layout = new QVBoxLayout(this);

    auto* dirLabel = new QLabel(QStringLiteral("&Directory to scan:"), this);
    layout->addWidget(dirLabel);
    auto* row = new QHBoxLayout;
    txtScanDir_ = new QLineEdit(this);
    txtScanDir_->setObjectName(QStringLiteral("txtScanDir"));
    dirLabel->setBuddy(txtScanDir_);
    selectAllOnFocus(txtScanDir_);
    cmdBrowse2_ = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdBrowse2_->setObjectName(QStringLiteral("cmdBrowse2"));
    row->addWidget(txtScanDir_, 1);
    row->addWidget(cmdBrowse2_);
    layout->addLayout(row);

    auto* status = new QGroupBox(this);
    auto* statusLayout = new QHBoxLayout(status);
    auto* images = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        imgScanning_[i] = new QLabel(status);
        imgScanning_[i]->setObjectName(QStringLiteral("imgScanning%1").arg(i));
        imgScanning_[i]->setPixmap(scanningFrame(i, 56));
        imgScanning_[i]->setFixedSize(56, 56);
        imgScanning_[i]->setVisible(i == 0);
        images->addWidget(imgScanning_[i], 0, 0);
    }
    statusLayout->addLayout(images);
    statusLayout->setAlignment(images, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    lblScanning_ = new QLabel(QStringLiteral("Scanning File..."), status);
    lblScanning_->setObjectName(QStringLiteral("lblScanning"));
    QFont bold = lblScanning_->font();
    bold.setBold(true);
    lblScanning_->setFont(bold);
    lblScanning_->setVisible(false);
    // Keeps its room when hidden so the text below does not jump.
    QSizePolicy keep = lblScanning_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblScanning_->setSizePolicy(keep);
    texts->addWidget(lblScanning_);
    lblFileScanned_ = new QLabel(kIdleText, status);
    lblFileScanned_->setObjectName(QStringLiteral("lblFileScanned"));
    lblFileScanned_->setTextFormat(Qt::PlainText);
    lblFileScanned_->setWordWrap(true);
    lblFileScanned_->setMinimumWidth(1);
    lblFileScanned_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblFileScanned_->setFixedHeight(lblFileScanned_->fontMetrics().lineSpacing() * 3 + 4);
    lblFileScanned_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    texts->addWidget(lblFileScanned_);
    statusLayout->addLayout(texts, 1);
    status->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(status);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdScanDir_ = new QPushButton(kStart, this);
    cmdScanDir_->setObjectName(QStringLiteral("cmdScanDir"));
    cmdScanDir_->setMinimumWidth(150);
    buttons->addWidget(cmdScanDir_);
    layout->addLayout(buttons);

    databaseInfo_ = new DatabaseInfoBox(this);
    layout->addWidget(databaseInfo_);
    layout->addStretch();

    auto* bottom = new QHBoxLayout;
    cmdQuarantine_ = new QPushButton(QStringLiteral("&Quarantine..."), this);
    cmdQuarantine_->setObjectName(QStringLiteral("cmdQuarantine"));
    bottom->addWidget(cmdQuarantine_);
    bottom->addStretch();
    cmdHeader7_ = new QPushButton(QStringLiteral("View Search 'n Destroy Settings..."), this);
    cmdHeader7_->setObjectName(QStringLiteral("cmdHeader7"));
    bottom->addWidget(cmdHeader7_);
    layout->addLayout(bottom);

    tmrScan_.setObjectName(QStringLiteral("tmrScan"));
    tmrScan_.setInterval(300);
    connect(&tmrScan_, &QTimer::timeout, this, &ScanPage::tmrScan_Timer);
    connect(cmdScanDir_, &QPushButton::clicked, this, &ScanPage::cmdScanDir_Click);
    connect(cmdBrowse2_, &QPushButton::clicked, this, &ScanPage::cmdBrowse2_Click);
    connect(cmdQuarantine_, &QPushButton::clicked, this, &ScanPage::cmdQuarantine_Click);
    // Enter in the folder box starts the scan, as the button would.
    connect(txtScanDir_, &QLineEdit::returnPressed, this, [this] {
        if (!scanning_) cmdScanDir_Click();
    });
}

void ScanPage::showDatabaseInfo() {
    databaseInfo_->showDatabase(engine_);
}

void ScanPage::showFileScanned(const QString& path) {
    fileScanned_ = path;
    refreshFileLabel();
}

void ScanPage::refreshFileLabel() {
    if (!scanning_) {
        lblFileScanned_->setText(kIdleText);
        return;
    }
    // A long path has no place to wrap: show its ends.
    int width = std::max(40, lblFileScanned_->width());
    const QString shown = singleLine(fileScanned_);
    lblFileScanned_->setText(lblFileScanned_->fontMetrics().elidedText(shown, Qt::ElideMiddle, width));
    lblFileScanned_->setToolTip(shown);
}

void ScanPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (scanning_) refreshFileLabel();
}

QString ScanPage::typedFolder() const {
    const QString text = txtScanDir_->text();
    if (text == QLatin1String("~")) return QDir::homePath();
    if (text.startsWith(QLatin1String("~/"))) return QDir::homePath() + text.mid(1);
    return text;
}

void ScanPage::cmdBrowse2_Click() {
    // The chooser opens at the folder already typed, when there is one.
    const QString typed = typedFolder();
    const QString initial = !typed.trimmed().isEmpty() && QFileInfo(typed).isDir() ? typed : kMyComputer;
    QString chosen = dialogs_.browseFolder(window(), kBrowsePrompt, initial);
    if (chosen != kMyComputer) txtScanDir_->setText(chosen);
}

void ScanPage::cmdQuarantine_Click() {
    // Switched off, the quarantine still shows what it kept before.
    std::shared_ptr<scan::Quarantine> quarantine = engine_.quarantine();
    if (!quarantine) quarantine = std::make_shared<scan::Quarantine>(scan::Quarantine::defaultFolder(), 0);
    QuarantineDialog dialog(window(), dialogs_, *quarantine);
    dialog.exec();
}

void ScanPage::tmrScan_Timer() {
    int previous = frame_;
    frame_ = (frame_ + 1) % 4;
    imgScanning_[previous]->setVisible(false);
    imgScanning_[frame_]->setVisible(true);
}

void ScanPage::setScanningControls(bool scanning) {
    cmdHeader7_->setEnabled(!scanning);
    txtScanDir_->setEnabled(!scanning);
    cmdBrowse2_->setEnabled(!scanning);
    cmdScanDir_->setText(scanning ? kStop : kStart);
    lblScanning_->setVisible(scanning);
}

void ScanPage::cmdScanDir_Click() {
    if (scanning_) {
        engine_.setStopScanningProcess(true);
        return;
    }
    if (typedFolder() != txtScanDir_->text()) txtScanDir_->setText(typedFolder());
    const QString folder = txtScanDir_->text();
    if (folder.trimmed().isEmpty()) {
        critical(dialogs_, window(), QStringLiteral("Please specify the directory you want to scan."));
        txtScanDir_->setFocus();
        return;
    }
    if (!QFileInfo(folder).isDir()) {
        critical(dialogs_, window(),
                 QStringLiteral("The directory \"") + folder + QStringLiteral("\" doesn't exists."));
        txtScanDir_->setFocus();
        return;
    }

    setScanningControls(true);
    tmrScan_.start();
    scanning_ = true;

    const std::string path = toBytes(folder);
    engine_.resetScanningStatistics();
    engine_.resetFarwatch();
    engine_.setStopScanningProcess(false);
    engine_.scanFilesInFolder(path);
    engine_.scanFolder(path, true);

    scanning_ = false;
    tmrScan_.stop();
    setScanningControls(false);
    for (int i = 0; i < 4; ++i) imgScanning_[i]->setVisible(i == 0);
    frame_ = 0;
    lblFileScanned_->setToolTip(QString());
    refreshFileLabel();

    if (exiting_) return;
    ScanCounters counters{engine_.filesScanned(), engine_.detections(), engine_.filesHealed(),
                          engine_.filesDeleted(), engine_.filesRenamed(), engine_.filesNotScanned(), {}};
    for (const auto& path : engine_.failedActions()) counters.failedActions.push_back(fromBytes(path));
    StatisticsDialog statistics(window(), counters);
    statistics.exec();
    engine_.executeFarwatch();
    if (afterScan_) afterScan_();
}

ScanSettingsPage::ScanSettingsPage(QWidget* parent, Dialogs& dialogs, scan::ScanEngine& engine,
                                   std::string configIni)
    : QWidget(parent), dialogs_(dialogs), engine_(engine), configIni_(std::move(configIni)) {
    auto* layout = new QVBoxLayout(this);

    auto* scanBox = new QGroupBox(QStringLiteral("Scanning Options:"), this);
    auto* scanLayout = new QVBoxLayout(scanBox);
    optScan_[0] = new QRadioButton(QStringLiteral("Scan all files."), scanBox);
    optScan_[1] = new QRadioButton(QStringLiteral("Scan files with the following extensions:"), scanBox);
    auto* scanGroup = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        optScan_[i]->setObjectName(QStringLiteral("optScan%1").arg(i));
        scanGroup->addButton(optScan_[i], i);
        scanLayout->addWidget(optScan_[i]);
        connect(optScan_[i], &QRadioButton::clicked, this, [this, i] { optScan_Click(i); });
    }
    txtFileFilter_ = new QLineEdit(scanBox);
    txtFileFilter_->setObjectName(QStringLiteral("txtFileFilter"));
    auto* filterRow = new QHBoxLayout;
    filterRow->addSpacing(22);
    filterRow->addWidget(txtFileFilter_, 1);
    scanLayout->addLayout(filterRow);
    layout->addWidget(scanBox);

    auto* sizeBox = new QGroupBox(QStringLiteral("File Size Limits"), this);
    auto* sizeLayout = new QHBoxLayout(sizeBox);
    auto* sizeLabel = new QLabel(QStringLiteral("Don't &scan files that are larger than:"), sizeBox);
    cboFileSize_ = new QComboBox(sizeBox);
    cboFileSize_->setObjectName(QStringLiteral("cboFileSize"));
    cboFileSize_->setEditable(true);
    cboFileSize_->setInsertPolicy(QComboBox::NoInsert);
    cboFileSize_->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("10"),
                            QStringLiteral("20"), QStringLiteral("50"), QStringLiteral("100")});
    cboFileSize_->setMinimumWidth(80);
    sizeLabel->setBuddy(cboFileSize_);
    sizeLayout->addWidget(sizeLabel);
    sizeLayout->addWidget(cboFileSize_);
    sizeLayout->addWidget(new QLabel(QStringLiteral("MB"), sizeBox));
    sizeLayout->addStretch();
    layout->addWidget(sizeBox);
    cboFileSize_->installEventFilter(this);
    cboFileSize_->lineEdit()->installEventFilter(this);

    auto* actionBox = new QGroupBox(QStringLiteral("If a worm is found, what will VandrelKast do?"), this);
    auto* actionLayout = new QVBoxLayout(actionBox);
    const char* captions[4] = {"Always ask me what to do.", "Heal the file and don't bother me.",
                               "Delete the file.", "Rename the file."};
    actionGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        optActions_[i] = new QRadioButton(QString::fromLatin1(captions[i]), actionBox);
        optActions_[i]->setObjectName(QStringLiteral("optActions%1").arg(i));
        actionGroup_->addButton(optActions_[i], i);
        actionLayout->addWidget(optActions_[i]);
        connect(optActions_[i], &QRadioButton::clicked, this, [this, i] { optActions_Click(i); });
    }
    layout->addWidget(actionBox);
    layout->addStretch();

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    cmdBack_ = new QPushButton(QStringLiteral("&Back"), this);
    cmdBack_->setObjectName(QStringLiteral("cmdBack"));
    cmdBack_->setMinimumWidth(100);
    bottom->addWidget(cmdBack_);
    layout->addLayout(bottom);

    connect(txtFileFilter_, &QLineEdit::textEdited, this, &ScanSettingsPage::txtFileFilter_Change);
}

void ScanSettingsPage::loadScanSettings() {
    scan::ScanSettings s = scan::readScanSettings(configIni_);
    // Order of the keys: PerformAction, FileSizeLimit, FilterFileExtensions, FileFilters.
    actionGroup_->setExclusive(false);
    for (int i = 0; i < 4; ++i) optActions_[i]->setChecked(s.action && scan::detectionActionCode(*s.action) == i);
    actionGroup_->setExclusive(true);
    cboFileSize_->setEditText(QString::number(s.fileSizeLimit));
    optScan_[s.filterFiles ? 1 : 0]->setChecked(true);
    setFilterEnabled(s.filterFiles);
    txtFileFilter_->setText(fromBytes(s.fileFilters));
    txtFileFilter_->setCursorPosition(0);
    scan::applyScanSettings(s, engine_);
}

void ScanSettingsPage::optActions_Click(int index) {
    const scan::DetectionAction action = scan::detectionActionFromCode(index);
    platform::writeProfileString(configIni_, kSection, "PerformAction", scan::performActionText(action));
    engine_.setNeutralizeMethods(action);
}

void ScanSettingsPage::setFilterEnabled(bool enabled) {
    txtFileFilter_->setEnabled(enabled);
    txtFileFilter_->setReadOnly(!enabled);
    if (enabled) {
        txtFileFilter_->setPalette(QPalette());
    } else {
        QPalette pal = txtFileFilter_->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        txtFileFilter_->setPalette(pal);
    }
}

void ScanSettingsPage::optScan_Click(int index) {
    platform::writeProfileString(configIni_, kSection, "FilterFileExtensions", index == 1 ? "1" : "0");
    engine_.setFilterFiles(index == 1);
    setFilterEnabled(index == 1);
}

void ScanSettingsPage::txtFileFilter_Change(const QString& text) {
    std::string trimmed = toBytes(text.trimmed());
    platform::writeProfileString(configIni_, kSection, "FileFilters", trimmed);
    engine_.setFilter(trimmed);
}

bool ScanSettingsPage::fileSizeHasFocus() const {
    // The window's focus widget, not hasFocus(): an inactive window (its tray
    // menu open, the close box of another desktop) still holds the box's text.
    const QWidget* focus = window()->focusWidget();
    return focus && (focus == cboFileSize_ || focus == cboFileSize_->lineEdit());
}

bool ScanSettingsPage::validateFileSize() {
    const QString text = cboFileSize_->currentText();
    const std::string bytes = toBytes(text);
    auto number = platform::parseVbNumber(bytes);
    QString error;
    if (text.isEmpty()) error = QStringLiteral("Please specify the file size limit.");
    else if (!number) error = QStringLiteral("Numeric values are only allowed.");
    else if (*number > 100) error = QStringLiteral("File size limit must not exceed 100 MB.");
    else if (*number < 0) error = QStringLiteral("Numeric values are only allowed.");  // a pasted sign
    if (!error.isEmpty()) {
        validating_ = true;
        critical(dialogs_, window(), error);
        validating_ = false;
        cboFileSize_->setFocus();
        return false;
    }
    platform::writeProfileString(configIni_, kSection, "FileSizeLimit", bytes);
    engine_.setFileSizeLimit(platform::toLong(*number));
    return true;
}

bool ScanSettingsPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString t = key->text();
        // Digits and control keys only; the rest is dropped.
        if (!t.isEmpty() && t.at(0).unicode() >= 0x20 && t.at(0).unicode() != 0x7f &&
            !(t.at(0) >= QLatin1Char('0') && t.at(0) <= QLatin1Char('9')))
            return true;
    } else if (event->type() == QEvent::FocusOut && watched == cboFileSize_) {
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching windows or opening the list is not leaving the box.
        if (!validating_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            validateFileSize();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vk::app
