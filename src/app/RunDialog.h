#pragma once

#include <QDialog>
#include <QStringList>
#include <QUrl>

class QLineEdit;
class QPushButton;

namespace vk::app {

class Dialogs;

// How a name typed into the Run dialog is opened: a program found as an
// executable file or on $PATH is started with its arguments; anything else
// (folders, documents, web addresses) is handed to the desktop.
struct RunTarget {
    enum class Kind { Program, Url };
    Kind kind = Kind::Url;
    QString program;
    QStringList arguments;
    QUrl url;
};
RunTarget runTarget(const QString& name);
// Starts or opens it; false when the desktop refused.
bool openRunTarget(const RunTarget& target);

// "VandrelKast Run": opens any program, folder, document or internet address,
// for when malware has removed the desktop's own.
class RunDialog : public QDialog {
    Q_OBJECT
public:
    RunDialog(QWidget* owner, Dialogs& dialogs);

    void cmdOK_Click();
    void cmdBrowse_Click();

private:
    Dialogs& dialogs_;
    QLineEdit* txtFilename_;
    QPushButton* cmdOK_;
};

}  // namespace vk::app
