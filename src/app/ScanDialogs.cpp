#include "app/ScanDialogs.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/Dialogs.h"
#include "app/SelectAllOnFocus.h"
#include "app/TextFit.h"

namespace vk::app {

namespace {

QLabel* boldLabel(const QString& text, QWidget* parent, double scale = 1.0) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    if (scale != 1.0) f.setPointSizeF(f.pointSizeF() * scale);
    label->setFont(f);
    return label;
}

const QString kBrowsePrompt = QStringLiteral("Please select a directory to scan...");
const QString kMyComputer = QStringLiteral("My Computer");

}  // namespace

DetectionDialog::DetectionDialog(QWidget* owner, const QFont& measureFont)
    : QDialog(owner), measureFont_(measureFont) {
    setObjectName(QStringLiteral("frmDetection"));
    setWindowTitle(QStringLiteral("Threat Detected!!!"));
    // It must be seen at once, whatever the user is doing.
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(40, 40));
    top->addWidget(icon);
    auto* heading = boldLabel(QStringLiteral("Threat Detected!!!"), this, 1.4);
    heading->setStyleSheet(QStringLiteral("color: #b01818;"));
    top->addWidget(heading, 1);
    layout->addLayout(top);

    auto* grid = new QGridLayout;
    lblFilename_ = new QLabel(this);
    lblPath_ = new QLabel(this);
    lblVirusName_ = new QLabel(this);
    lblFilename_->setObjectName(QStringLiteral("lblFilename"));
    lblPath_->setObjectName(QStringLiteral("lblPath"));
    lblVirusName_->setObjectName(QStringLiteral("lblVirusName"));
    for (QLabel* l : {lblFilename_, lblPath_, lblVirusName_}) {
        l->setFixedWidth(kPathWidth);
        l->setTextFormat(Qt::PlainText);
    }
    QFont virusFont = lblVirusName_->font();
    virusFont.setBold(true);
    lblVirusName_->setFont(virusFont);
    lblVirusName_->setStyleSheet(QStringLiteral("color: #b01818;"));
    grid->addWidget(boldLabel(QStringLiteral("File Name:"), this), 0, 0);
    grid->addWidget(lblFilename_, 0, 1);
    grid->addWidget(boldLabel(QStringLiteral("Path:"), this), 1, 0);
    grid->addWidget(lblPath_, 1, 1);
    grid->addWidget(boldLabel(QStringLiteral("Infected With:"), this), 2, 0);
    grid->addWidget(lblVirusName_, 2, 1);
    layout->addLayout(grid);

    auto* box = new QGroupBox(QStringLiteral("What do you want to do?"), this);
    auto* boxLayout = new QVBoxLayout(box);
    const char* captions[4] = {"Heal the file.", "Delete the file.", "Rename the file.", "Ignore threat."};
    for (int i = 0; i < 4; ++i) {
        optAction_[i] = new QRadioButton(QString::fromLatin1(captions[i]), box);
        optAction_[i]->setObjectName(QStringLiteral("optAction%1").arg(i));
        boxLayout->addWidget(optAction_[i]);
    }
    optAction_[0]->setChecked(true);
    layout->addWidget(box);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &DetectionDialog::cmdOK_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void DetectionDialog::fill(const QString& fileScanned, const QString& virusName) {
    QFontMetrics metrics(measureFont_);
    const QString name = fileNamePart(fileScanned);
    const QString path = folderPart(fileScanned);
    lblFilename_->setText(compactText(metrics, singleLine(name), kPathWidth));
    lblPath_->setText(compactText(metrics, singleLine(path), kPathWidth));
    lblFilename_->setToolTip(name);
    lblPath_->setToolTip(path);
    lblVirusName_->setText(virusName);
}

void DetectionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
}

void DetectionDialog::cmdOK_Click() {
    using scan::DetectionAction;
    static const DetectionAction results[4] = {DetectionAction::Heal, DetectionAction::Delete,
                                               DetectionAction::Rename, DetectionAction::Ignore};
    for (int i = 0; i < 4; ++i)
        if (optAction_[i]->isChecked()) choice_ = results[i];
    accept();
}

QString StatisticsDialog::counterText(std::int32_t value) {
    return value == 0 ? QStringLiteral("n/a") : QString::number(value);
}

StatisticsDialog::StatisticsDialog(QWidget* owner, const ScanCounters& counters) : QDialog(owner) {
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("Summary"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(QStringLiteral("Scanning Statistics:"), this);
    auto* grid = new QGridLayout(box);
    grid->setColumnMinimumWidth(1, 80);
    grid->setHorizontalSpacing(24);
    struct Row {
        const char* text;
        const char* name;
        std::int32_t value;
    };
    const Row rows[6] = {{"No. of files scanned:", "lblFileScanned", counters.filesScanned},
                         {"No. of files infected:", "lblFilesInfected", counters.detections},
                         {"No. of files healed:", "lblFilesHealed", counters.filesHealed},
                         {"No. of files deleted:", "lblFilesDeleted", counters.filesDeleted},
                         {"No. of files renamed:", "lblFilesRenamed", counters.filesRenamed},
                         {"Files not scanned:", "lblFilesNotScanned", counters.filesNotScanned}};
    int r = 0;
    for (const Row& row : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(row.text), box), r, 0);
        auto* value = new QLabel(counterText(row.value), box);
        value->setObjectName(QString::fromLatin1(row.name));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QFont f = value->font();
        f.setBold(true);
        value->setFont(f);
        grid->addWidget(value, r, 1);
        ++r;
    }
    if (!counters.failedActions.isEmpty()) {
        grid->addWidget(new QLabel(QStringLiteral("Could not delete:"), box), r++, 0, 1, 2);
        auto* failed = new QListWidget(box);
        failed->setObjectName(QStringLiteral("lstFailedActions"));
        for (const QString& path : counters.failedActions) failed->addItem(singleLine(path));
        failed->setMinimumWidth(360);
        failed->setMaximumHeight(failed->sizeHintForRow(0) * 6 + 2 * failed->frameWidth());
        grid->addWidget(failed, r++, 0, 1, 2);
    }
    layout->addWidget(box);
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

ScanPromptDialog::ScanPromptDialog(QWidget* owner, Dialogs& dialogs) : QDialog(owner), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmScanPrompt"));
    setWindowTitle(QStringLiteral("Scan Folder/Drive"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(scanningFrame(0, 48));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto* prompt = new QLabel(QStringLiteral("Please choose a folder or drive you want to scan for worms:"), this);
    prompt->setWordWrap(true);
    texts->addWidget(prompt);
    auto* row = new QHBoxLayout;
    txtDir_ = new QLineEdit(this);
    txtDir_->setObjectName(QStringLiteral("txtDir"));
    txtDir_->setMinimumWidth(300);
    selectAllOnFocus(txtDir_);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    row->addWidget(txtDir_, 1);
    row->addWidget(browse);
    texts->addLayout(row);
    auto* note = new QLabel(QStringLiteral("Note: VandrelKast will also scan its subdirectories recursively."), this);
    note->setWordWrap(true);
    QFont f = note->font();
    f.setItalic(true);
    note->setFont(f);
    texts->addWidget(note);
    top->addLayout(texts, 1);
    layout->addLayout(top);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* scan = new QPushButton(QStringLiteral("OK"), this);
    scan->setObjectName(QStringLiteral("cmdScan"));
    scan->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(scan);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, &ScanPromptDialog::cmdBrowse_Click);
    connect(scan, &QPushButton::clicked, this, &ScanPromptDialog::cmdScan_Click);
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (confirmCancel()) QDialog::reject();
    });
}

void ScanPromptDialog::cmdBrowse_Click() {
    QString chosen = dialogs_.browseFolder(this, kBrowsePrompt, kMyComputer);
    if (chosen != kMyComputer) txtDir_->setText(chosen);
}

void ScanPromptDialog::cmdScan_Click() {
    const QString text = txtDir_->text();
    QString error;
    if (text.trimmed().isEmpty()) error = QStringLiteral("Please select a drive or folder to scan for worms.");
    else if (!QFileInfo(text).isDir())
        error = QStringLiteral("The specified folder doesn't exists, please select another folder or drive to scan.");
    if (!error.isEmpty()) {
        dialogs_.message(this, error, MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("Error"));
        txtDir_->setFocus();
        return;
    }
    result = QStringLiteral("success");
    folder = text;
    accept();
}

bool ScanPromptDialog::confirmCancel() {
    if (dialogs_.message(this,
                         QStringLiteral("Removal process incomplete. Are you sure you don't want to scan your "
                                        "files for worms?"),
                         MessageIcon::Question, MessageButtons::YesNo,
                         QStringLiteral("Confirmation")) != MessageResult::Yes)
        return false;
    result = QStringLiteral("canceled");
    return true;
}

void ScanPromptDialog::reject() {
    if (closingQuietly_ || confirmCancel()) QDialog::reject();
}

void ScanPromptDialog::closeWithoutAsking() {
    closingQuietly_ = true;
    QDialog::reject();
}

void ScanPromptDialog::closeEvent(QCloseEvent* event) {
    if (closingQuietly_ || result == QLatin1String("success") || result == QLatin1String("canceled")) {
        event->accept();
        return;
    }
    if (confirmCancel()) {
        event->accept();
        QDialog::reject();
    } else {
        event->ignore();
    }
}

}  // namespace vk::app
