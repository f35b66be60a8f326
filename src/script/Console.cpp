#include "script/Console.h"

#include <algorithm>

#include "platform/Utf16.h"

namespace vk::script {

void Console::clear() {
    text_.clear();
    length_ = 0;
    notifyReset();
}

void Console::setText(std::string text) {
    text_ = std::move(text);
    length_ = platform::utf8Length(text_);
    notifyReset();
}

void Console::appendLine(std::string_view line) {
    bool joined = !text_.empty();
    try {
        if (joined) {
            text_.reserve(text_.size() + 2 + line.size());
            text_ += "\r\n";
        }
        text_ += line;
    } catch (...) {
        return;
    }
    length_ += platform::utf8Length(line) + (joined ? 2 : 0);
    auto listeners = listeners_;  // a listener may unsubscribe itself
    for (ConsoleListener* l : listeners) {
        try {
            l->lineAppended(line, joined);
        } catch (...) {
        }
    }
}

void Console::append(std::string_view line) {
    if (overLimit()) clear();
    appendLine(line);
    if (pump_) pump_->pump();
}

void Console::addListener(ConsoleListener* listener) {
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void Console::removeListener(ConsoleListener* listener) { std::erase(listeners_, listener); }

void Console::copyToClipboard() const {
    if (!clipboard_) return;
    try {
        clipboard_->setText(text_);
    } catch (...) {
    }
}

void Console::notifyReset() {
    auto listeners = listeners_;
    for (ConsoleListener* l : listeners) {
        try {
            l->textReset(text_);
        } catch (...) {
        }
    }
}

}  // namespace vk::script
