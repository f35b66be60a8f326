#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::tools {

// A freedesktop .desktop file as lines: reads the keys of its
// [Desktop Entry] group and changes single keys, leaving every other line
// (comments, other groups, localised keys, line ends) exactly as it was.
class DesktopEntryFile {
public:
    static DesktopEntryFile parse(std::string_view text);
    // nullopt when the file cannot be read.
    static std::optional<DesktopEntryFile> load(const std::string& path);

    // The raw value of the first KEY= line of [Desktop Entry] (key names are
    // case-sensitive; blanks around "=" are ignored).
    std::optional<std::string> get(std::string_view key) const;
    // A boolean key: only the text "true" is true.
    bool isTrue(std::string_view key) const;
    // Replaces the key's line, or adds it at the end of the group (adding the
    // group when the file has none).
    void set(std::string_view key, std::string_view value);

    std::string text() const;
    // Written atomically; 0 or an errno value.
    int save(const std::string& path) const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\n", "\r\n" or "" for a last line without one
    };
    // [first, last) of the group's lines after its header; nullopt without one.
    std::optional<std::pair<std::size_t, std::size_t>> group() const;
    static std::optional<std::pair<std::string_view, std::string_view>> keyValue(std::string_view line);

    std::vector<Line> lines_;
};

// An Exec argument quoted as freedesktop.org desktop files ask (only when
// it holds a reserved character), then escaped as a desktop file value.
std::string execArgument(std::string_view argument);

}  // namespace vk::tools
