#include "app/ScriptedDialogs.h"

namespace vk::app {

std::vector<ScriptedDialogs::Call> ScriptedDialogs::messages() const {
    std::vector<Call> out;
    for (const auto& c : calls_)
        if (c.kind == Kind::Message) out.push_back(c);
    return out;
}

bool ScriptedDialogs::allAnswered() const {
    for (const auto& c : calls_)
        if (!c.answered) return false;
    return true;
}

void ScriptedDialogs::clear() {
    calls_.clear();
    messages_.clear();
    files_.clear();
    folders_.clear();
}

MessageResult ScriptedDialogs::message(QWidget*, const QString& text, MessageIcon icon, MessageButtons buttons,
                                       const QString& title) {
    Call call;
    call.kind = Kind::Message;
    call.text = text;
    call.title = title;
    call.icon = icon;
    call.buttons = buttons;
    call.answered = !messages_.empty();
    if (hook_) hook_(call);
    MessageResult result = MessageResult::Ok;
    if (!messages_.empty()) {
        result = messages_.front();
        messages_.pop_front();
    } else if (buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel) {
        result = MessageResult::Yes;
    }
    calls_.push_back(call);
    return result;
}

QString ScriptedDialogs::nextFile(Kind kind, const FileDialogRequest& request) {
    Call call;
    call.kind = kind;
    call.text = request.title;
    call.request = request;
    call.answered = !files_.empty();
    QString result;
    if (!files_.empty()) {
        result = files_.front();
        files_.pop_front();
    }
    calls_.push_back(call);
    return result;
}

QString ScriptedDialogs::openFile(QWidget*, const FileDialogRequest& request) {
    return nextFile(Kind::OpenFile, request);
}

QString ScriptedDialogs::saveFile(QWidget*, const FileDialogRequest& request) {
    return nextFile(Kind::SaveFile, request);
}

QString ScriptedDialogs::browseFolder(QWidget*, const QString& prompt, const QString& initial) {
    Call call;
    call.kind = Kind::Folder;
    call.text = prompt;
    call.request.initDir = initial;
    call.answered = !folders_.empty();
    QString result = initial;
    if (!folders_.empty()) {
        result = folders_.front();
        folders_.pop_front();
    }
    calls_.push_back(call);
    return result;
}

}  // namespace vk::app
