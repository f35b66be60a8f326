#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <thread>

#include "app/WebSearches.h"

class QGridLayout;
class QLabel;
class QPushButton;

namespace vk::app {

class DesktopShell;
class LinkLabel;

// The file information window (frmProcessInfo): the file's icon, name,
// folder, size, date, version resource and digests, four web searches and
// the link to send the file for analysis. The digests are computed on a
// worker thread once the window shows, so the window stays responsive
// while a large file is read.
class ProcessInfoDialog final : public QDialog {
    Q_OBJECT
public:
    ProcessInfoDialog(QWidget* parent, const QString& path, const WebSearches& searches, DesktopShell& shell);
    ~ProcessInfoDialog() override;

    const QString& path() const { return path_; }
    // What "Send this file ..." does with the path (the sample submission page).
    void setSubmitter(std::function<void(const QString&)> submit) { submit_ = std::move(submit); }
    // True once the digests have been shown.
    bool digestsShown() const { return digestsShown_; }

    static const QString kCalculatingCrc;
    static const QString kCalculatingMd5;

signals:
    void digestsReady();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* addRow(QGridLayout* grid, int row, const QString& caption, const char* name);
    void fill();
    void startDigests();
    void showDigests(bool ok, qint32 crc, const QString& md5);

    QString path_;
    WebSearches searches_;
    DesktopShell& shell_;
    std::function<void(const QString&)> submit_;
    QLabel* picIcon_;
    QLabel* lblFilename_;
    QLabel* lblPath_;
    QLabel* lblFileSize_;
    QLabel* lblDateModified_;
    QLabel* lblFileVersion_;
    QLabel* lblFileDescription_;
    QLabel* lblLegalCopyright_;
    QLabel* lblCompanyName_;
    QLabel* lblInternalName_;
    QLabel* lblOriginalFilename_;
    QLabel* lblProductName_;
    QLabel* lblProductVersion_;
    QLabel* lblCRC32_;
    QLabel* lblMD5_;
    QString fileName_;
    bool digestsStarted_ = false;
    bool digestsShown_ = false;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
};

}  // namespace vk::app
