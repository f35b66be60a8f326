#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/EventPump.h"

namespace vk::script {

// A console holding more than this many characters is emptied before the next line.
inline constexpr std::size_t kConsoleClearLimit = 55000;

// Observers of the AutoRepair console (the window's text box, vkrepair's stdout).
class ConsoleListener {
public:
    virtual ~ConsoleListener() = default;
    // line was added at the end of the text; joined says a CR LF was put
    // before it because the text was not empty.
    virtual void lineAppended(std::string_view line, bool joined) {
        (void)line;
        (void)joined;
    }
    // The text was replaced as a whole (emptied or set).
    virtual void textReset(std::string_view text) { (void)text; }
};

// The AutoRepair console both script engines write to: lines joined with
// CR LF. Listener failures are ignored, as failures to write to the box were.
class Console {
public:
    const std::string& text() const { return text_; }
    std::size_t size() const { return text_.size(); }  // bytes
    std::size_t length() const { return length_; }     // characters
    bool empty() const { return text_.empty(); }
    // More than kConsoleClearLimit characters.
    bool overLimit() const { return length_ > kConsoleClearLimit; }

    void clear();
    void setText(std::string text);

    // Adds a line: CR LF and the line, or just the line when empty. No limit, no pacing.
    void appendLine(std::string_view line);

    // The INI engine's rule: empty the console when over the limit, add the
    // line, then give the owner one pump so the line shows and the window lives.
    void append(std::string_view line);

    void setPump(platform::EventPump* pump) { pump_ = pump; }
    platform::EventPump* pump() const { return pump_; }

    void addListener(ConsoleListener* listener);
    void removeListener(ConsoleListener* listener);

    // Without a clipboard the copy is skipped.
    void setClipboard(platform::Clipboard* clipboard) { clipboard_ = clipboard; }
    platform::Clipboard* clipboard() const { return clipboard_; }
    void copyToClipboard() const;

private:
    void notifyReset();

    std::string text_;
    std::size_t length_ = 0;
    platform::EventPump* pump_ = nullptr;
    platform::Clipboard* clipboard_ = nullptr;
    std::vector<ConsoleListener*> listeners_;
};

}  // namespace vk::script
