#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace vk::cli {

// One self-rewriting status line on a terminal, redrawn at most ten times a
// second; silent when the stream is not a terminal.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* stream);
    bool active() const { return active_; }

    // Redraws unless the last redraw was under 100 ms ago (force ignores that).
    void update(const std::string& text, bool force = false);
    // Removes the line so that ordinary output can follow.
    void clear();

private:
    std::FILE* stream_;
    bool active_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace vk::cli
