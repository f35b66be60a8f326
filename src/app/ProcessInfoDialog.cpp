#include "app/ProcessInfoDialog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DesktopShell.h"
#include "app/FileIcon.h"
#include "app/LinkLabel.h"
#include "app/TextFit.h"
#include "tools/FileDigests.h"
#include "tools/FileSizeText.h"
#include "tools/VersionInfo.h"

namespace vk::app {
namespace {

constexpr int kValueWidth = 330;
constexpr int kIconSize = 32;

}  // namespace

const QString ProcessInfoDialog::kCalculatingCrc = QStringLiteral("Calculating CRC32 checksum...");
const QString ProcessInfoDialog::kCalculatingMd5 = QStringLiteral("Calculating MD5 hash...");

QLabel* ProcessInfoDialog::addRow(QGridLayout* grid, int row, const QString& caption, const char* name) {
    grid->addWidget(new QLabel(caption, this), row, 0, Qt::AlignLeft | Qt::AlignTop);
    auto* value = new QLabel(this);
    value->setObjectName(QString::fromLatin1(name));
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setMinimumWidth(kValueWidth);
    value->setMaximumWidth(kValueWidth);
    grid->addWidget(value, row, 1);
    return value;
}

ProcessInfoDialog::ProcessInfoDialog(QWidget* parent, const QString& path, const WebSearches& searches,
                                     DesktopShell& shell)
    : QDialog(parent), path_(path), searches_(searches), shell_(shell) {
    setObjectName(QStringLiteral("frmProcessInfo"));
    setWindowTitle(QStringLiteral("Process Info"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Icon:"), this), 0, 0);
    picIcon_ = new QLabel(this);
    picIcon_->setObjectName(QStringLiteral("picIcon"));
    picIcon_->setFixedSize(kIconSize, kIconSize);
    top->addWidget(picIcon_, 0, 1);
    lblFilename_ = addRow(top, 1, QStringLiteral("Filename:"), "lblFilename");
    lblPath_ = addRow(top, 2, QStringLiteral("Path:"), "lblPath");
    lblFileSize_ = addRow(top, 3, QStringLiteral("File Size:"), "lblFileSize");
    lblDateModified_ = addRow(top, 4, QStringLiteral("Date Modified:"), "lblDateModified");
    top->setColumnStretch(1, 1);
    layout->addLayout(top);

    auto* version = new QGroupBox(QStringLiteral("Version Info:"), this);
    auto* vg = new QGridLayout(version);
    lblFileVersion_ = addRow(vg, 0, QStringLiteral("File Version:"), "lblFileVersion");
    lblFileDescription_ = addRow(vg, 1, QStringLiteral("File Description:"), "lblFileDescription");
    lblLegalCopyright_ = addRow(vg, 2, QStringLiteral("Legal Copyright:"), "lblLegalCopyright");
    lblCompanyName_ = addRow(vg, 3, QStringLiteral("Company Name:"), "lblCompanyName");
    lblInternalName_ = addRow(vg, 4, QStringLiteral("Internal Name:"), "lblInternalName");
    lblOriginalFilename_ = addRow(vg, 5, QStringLiteral("Original Filename:"), "lblOriginalFilename");
    lblProductName_ = addRow(vg, 6, QStringLiteral("Product Name:"), "lblProductName");
    lblProductVersion_ = addRow(vg, 7, QStringLiteral("Product Version:"), "lblProductVersion");
    layout->addWidget(version);

    auto* signature = new QGroupBox(QStringLiteral("File Signature:"), this);
    auto* sg = new QGridLayout(signature);
    lblCRC32_ = addRow(sg, 0, QStringLiteral("CRC32 Checksum:"), "lblCRC32");
    lblMD5_ = addRow(sg, 1, QStringLiteral("MD5 Digest:"), "lblMD5");
    layout->addWidget(signature);

    auto* search = new QGroupBox(QStringLiteral("Search this file on:"), this);
    auto* row = new QHBoxLayout(search);
    for (std::size_t i = 0; i < searches_.size(); ++i) {
        auto* link = new LinkLabel(searches_[i].caption, search,
                                   [this, i] { shell_.openWebAddress(webSearchUrl(searches_[i], fileName_)); });
        link->setObjectName(QStringLiteral("lblSearch%1").arg(i));
        row->addWidget(link);
    }
    row->addStretch();
    layout->addWidget(search);

    auto* bottom = new QHBoxLayout;
    auto* send = new LinkLabel(QStringLiteral("Send this file to VandrelKast Labs for analysis!"), this, [this] {
        if (submit_) submit_(path_);
    });
    send->setObjectName(QStringLiteral("lblSendFile"));
    bottom->addWidget(send);
    bottom->addStretch();
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    fill();
}

ProcessInfoDialog::~ProcessInfoDialog() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void ProcessInfoDialog::fill() {
    QFileInfo info(path_);
    picIcon_->setPixmap(fileIcon(path_).pixmap(kIconSize, kIconSize));
    fileName_ = info.fileName();
    lblFilename_->setText(compactText(lblFilename_->fontMetrics(), fileName_, kValueWidth));
    const QString folder = info.absolutePath();
    lblPath_->setText(compactText(lblPath_->fontMetrics(), folder, kValueWidth));
    lblPath_->setToolTip(folder);
    // Any size: the count of kilobytes is not limited to 16 bits.
    if (info.exists()) {
        lblFileSize_->setText(fromBytes(tools::fileSizeText(static_cast<std::uint64_t>(info.size()))));
        lblDateModified_->setText(QLocale().toString(info.lastModified(), QLocale::ShortFormat));
    }
    tools::FileVersionRecord record;
    tools::readVersionInfo(toBytes(path_), record);
    lblFileVersion_->setText(fromBytes(record.fileVersion));
    lblFileDescription_->setText(fromBytes(record.fileDescription));
    lblLegalCopyright_->setText(fromBytes(record.legalCopyright));
    lblCompanyName_->setText(fromBytes(record.companyName));
    lblInternalName_->setText(fromBytes(record.internalName));
    lblOriginalFilename_->setText(fromBytes(record.originalFilename));
    lblProductName_->setText(fromBytes(record.productName));
    lblProductVersion_->setText(fromBytes(record.productVersion));
    lblCRC32_->setText(kCalculatingCrc);
    lblMD5_->setText(kCalculatingMd5);
}

void ProcessInfoDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!digestsStarted_) {
        digestsStarted_ = true;
        startDigests();
    }
}

void ProcessInfoDialog::startDigests() {
    const std::string path = toBytes(path_);
    worker_ = std::thread([this, path] {
        auto digests = tools::computeFileDigests(path, &cancel_);
        if (cancel_) return;
        // Back on the window's thread; dropped if the window has gone meanwhile.
        QMetaObject::invokeMethod(
            this,
            [this, ok = digests.has_value(), crc = digests ? digests->crc32 : 0,
             md5 = digests ? fromBytes(digests->md5) : QString()] { showDigests(ok, crc, md5); },
            Qt::QueuedConnection);
    });
}

void ProcessInfoDialog::showDigests(bool ok, qint32 crc, const QString& md5) {
    // A file that could not be read has no digests to show.
    lblCRC32_->setText(ok ? QString::number(crc) : QString());
    lblMD5_->setText(md5);
    digestsShown_ = true;
    emit digestsReady();
}

}  // namespace vk::app
