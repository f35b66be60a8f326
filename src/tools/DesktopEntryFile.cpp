#include "tools/DesktopEntryFile.h"

#include <cerrno>

#include "platform/AtomicFile.h"

namespace vk::tools {
namespace {

constexpr std::string_view kGroup = "[Desktop Entry]";
// Desktop files are small; anything larger is not one.
constexpr std::size_t kMaxSize = 1u << 20;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isGroupHeader(std::string_view line) {
    line = trimmed(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

}  // namespace

DesktopEntryFile DesktopEntryFile::parse(std::string_view text) {
    DesktopEntryFile file;
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        Line line;
        if (nl == std::string_view::npos) {
            line.text = std::string(text);
            text = {};
        } else {
            line.text = std::string(text.substr(0, nl));
            line.end = "\n";
            text.remove_prefix(nl + 1);
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.pop_back();
                line.end = "\r\n";
            }
        }
        file.lines_.push_back(std::move(line));
    }
    return file;
}

std::optional<DesktopEntryFile> DesktopEntryFile::load(const std::string& path) {
    std::string bytes;
    if (platform::readWholeFile(path, bytes, kMaxSize) != 0) return std::nullopt;
    return parse(bytes);
}

std::optional<std::pair<std::size_t, std::size_t>> DesktopEntryFile::group() const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (trimmed(lines_[i].text) != kGroup) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !isGroupHeader(lines_[end].text)) ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

std::optional<std::pair<std::string_view, std::string_view>> DesktopEntryFile::keyValue(std::string_view line) {
    std::string_view t = trimmed(line);
    if (t.empty() || t.front() == '#') return std::nullopt;
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(trimmed(t.substr(0, eq)), trimmed(t.substr(eq + 1)));
}

std::optional<std::string> DesktopEntryFile::get(std::string_view key) const {
    auto range = group();
    if (!range) return std::nullopt;
    for (std::size_t i = range->first; i < range->second; ++i) {
        auto kv = keyValue(lines_[i].text);
        if (kv && kv->first == key) return std::string(kv->second);
    }
    return std::nullopt;
}

bool DesktopEntryFile::isTrue(std::string_view key) const { return get(key) == std::optional<std::string>("true"); }

void DesktopEntryFile::set(std::string_view key, std::string_view value) {
    std::string text = std::string(key) + "=" + std::string(value);
    auto range = group();
    if (!range) {
        // The group comes first in a desktop file.
        std::string end = lines_.empty() || lines_.front().end.empty() ? "\n" : lines_.front().end;
        lines_.insert(lines_.begin(), {Line{std::string(kGroup), end}, Line{text, end}});
        return;
    }
    for (std::size_t i = range->first; i < range->second; ++i) {
        auto kv = keyValue(lines_[i].text);
        if (kv && kv->first == key) {
            lines_[i].text = text;
            return;
        }
    }
    // After the group's last non-blank line, with the line end the file uses.
    std::size_t at = range->second;
    while (at > range->first && trimmed(lines_[at - 1].text).empty()) --at;
    std::string end = lines_[range->first - 1].end.empty() ? "\n" : lines_[range->first - 1].end;
    if (at > 0 && lines_[at - 1].end.empty()) lines_[at - 1].end = end;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{text, end});
}

std::string DesktopEntryFile::text() const {
    std::string out;
    for (const auto& line : lines_) out += line.text + line.end;
    return out;
}

int DesktopEntryFile::save(const std::string& path) const { return platform::atomicReplaceFile(path, text(), 0644); }

std::string execArgument(std::string_view argument) {
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string quoted;
    if (argument.find_first_of(kReserved) == std::string_view::npos && !argument.empty()) {
        quoted = std::string(argument);
    } else {
        quoted = "\"";
        for (char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    }
    // Field codes start with "%"; a literal one is doubled.
    std::string out;
    for (char c : quoted) {
        if (c == '\\') out += "\\\\";
        else if (c == '%') out += "%%";
        else out += c;
    }
    return out;
}

}  // namespace vk::tools
