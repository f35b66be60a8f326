#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "app/Dialogs.h"

namespace vk::app {

// Dialogs answered from a script: tests (and the screenshot mode) queue the
// answers, every call is recorded. A call with no answer queued gets the
// box's first button (Ok, Yes), "" from a file dialog, the initial value from
// the folder chooser, and is marked unanswered.
class ScriptedDialogs final : public Dialogs {
public:
    enum class Kind { Message, OpenFile, SaveFile, Folder };
    struct Call {
        Kind kind = Kind::Message;
        QString text;  // message text, dialog title or folder prompt
        QString title;
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
        FileDialogRequest request;
        bool answered = false;
    };

    void answerMessage(MessageResult result) { messages_.push_back(result); }
    void answerFile(const QString& path) { files_.push_back(path); }
    void answerFolder(const QString& path) { folders_.push_back(path); }
    // Runs before a message call is answered (a test may look at the window then).
    void onMessage(std::function<void(const Call&)> hook) { hook_ = std::move(hook); }

    const std::vector<Call>& calls() const { return calls_; }
    std::vector<Call> messages() const;
    bool allAnswered() const;
    void clear();

    MessageResult message(QWidget* owner, const QString& text, MessageIcon icon, MessageButtons buttons,
                          const QString& title) override;
    QString openFile(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFile(QWidget* owner, const FileDialogRequest& request) override;
    QString browseFolder(QWidget* owner, const QString& prompt, const QString& initial) override;

private:
    QString nextFile(Kind kind, const FileDialogRequest& request);

    std::deque<MessageResult> messages_;
    std::deque<QString> files_;
    std::deque<QString> folders_;
    std::function<void(const Call&)> hook_;
    std::vector<Call> calls_;
};

}  // namespace vk::app
