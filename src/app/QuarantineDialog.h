#pragma once

#include <QDialog>

class QTreeWidget;
class QPushButton;

namespace vk::scan {
class Quarantine;
}

namespace vk::app {

class Dialogs;

// What heal and delete kept: the files, their detections and places, with
// Restore (back where it was) and Delete (for good).
class QuarantineDialog : public QDialog {
    Q_OBJECT
public:
    QuarantineDialog(QWidget* owner, Dialogs& dialogs, scan::Quarantine& quarantine);

    // Re-reads the quarantine.
    void refresh();

private:
    void cmdRestore_Click();
    void cmdDelete_Click();
    QString selectedId() const;
    void updateButtons();

    Dialogs& dialogs_;
    scan::Quarantine& quarantine_;
    QTreeWidget* lvwQuarantine_;
    QPushButton* cmdRestore_;
    QPushButton* cmdDelete_;
};

}  // namespace vk::app
