#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QMessageBox;
class QWidget;

namespace vk::app {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

// What an open or save dialog is given: the filter in the "desc|pattern|..."
// form, the 1-based filter index, the initial folder and file name.
struct FileDialogRequest {
    QString title;
    QString filter;
    int filterIndex = 1;
    QString initDir;
    QString fileName;
    QString defaultExt;
};

// Every message box, file and folder dialog of the program goes through this
// interface so that tests can answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual MessageResult message(QWidget* owner, const QString& text, MessageIcon icon,
                                  MessageButtons buttons, const QString& title) = 0;
    // The chosen path, or "" when cancelled.
    virtual QString openFile(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual QString saveFile(QWidget* owner, const FileDialogRequest& request) = 0;
    // The chosen folder; the initial value itself when cancelled.
    virtual QString browseFolder(QWidget* owner, const QString& prompt, const QString& initial) = 0;
};

// "Text File (*.txt)|*.txt|All Files (*.*)|*.*" as Qt name filters, each
// "desc (patterns)" with the patterns space-separated; "*.*" means every file.
// A description without its pattern is dropped.
QStringList qtNameFilters(const QString& filter);

// The message box QtDialogs shows (screenshots render it without running it).
std::unique_ptr<QMessageBox> messageBox(QWidget* owner, const QString& text, MessageIcon icon,
                                        MessageButtons buttons, const QString& title);

// The dialogs of the desktop.
class QtDialogs final : public Dialogs {
public:
    MessageResult message(QWidget* owner, const QString& text, MessageIcon icon, MessageButtons buttons,
                          const QString& title) override;
    QString openFile(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFile(QWidget* owner, const FileDialogRequest& request) override;
    QString browseFolder(QWidget* owner, const QString& prompt, const QString& initial) override;
};

}  // namespace vk::app

namespace vk::app {

// The application title (the window caption from config.ini); the title of
// message boxes that name none.
QString applicationTitle();
void setApplicationTitle(const QString& title);

}  // namespace vk::app

namespace vk::app {

// A critical message box titled "Error", the program's refusal of bad input.
void showError(Dialogs& dialogs, QWidget* owner, const QString& text);

}  // namespace vk::app
