#include "cli/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace vk::cli {

ProgressLine::ProgressLine(std::FILE* stream) : stream_(stream), active_(::isatty(::fileno(stream)) == 1) {}

void ProgressLine::update(const std::string& text, bool force) {
    if (!active_) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && shown_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    winsize ws{};
    std::size_t width = ::ioctl(::fileno(stream_), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1 ? ws.ws_col - 1 : 79;
    std::string shown = text;
    if (shown.size() > width) shown = "..." + shown.substr(shown.size() - (width - 3));
    std::fprintf(stream_, "\r\033[K%s", shown.c_str());
    std::fflush(stream_);
    shown_ = true;
}

void ProgressLine::clear() {
    if (!active_ || !shown_) return;
    std::fprintf(stream_, "\r\033[K");
    std::fflush(stream_);
    shown_ = false;
}

}  // namespace vk::cli
