#include "net/FtpDirList.h"

#include "platform/base/DateSerial.h"
#include "platform/base/Text.h"

#include <array>
#include <charconv>
#include <cctype>

namespace vk::net {

namespace {

std::vector<std::string_view> words(std::string_view line, std::size_t count, std::string_view& rest) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (out.size() < count) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        std::size_t j = line.find(' ', i);
        if (j == std::string_view::npos) j = line.size();
        out.push_back(line.substr(i, j - i));
        i = j;
    }
    // The name keeps its inner spaces; one separator blank is dropped.
    while (i < line.size() && line[i] == ' ') ++i;
    rest = line.substr(i);
    return out;
}

template <class T>
bool number(std::string_view text, T& value) {
    if (text.empty()) return false;
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

int monthNumber(std::string_view m) {
    static constexpr std::array<std::string_view, 12> names = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
    if (m.size() != 3) return 0;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (base::equalsNoCase(m, names[i])) return static_cast<int>(i) + 1;
    return 0;
}

bool parseTime(std::string_view t, int& hour, int& minute) {
    std::size_t colon = t.find(':');
    return colon != std::string_view::npos && number(t.substr(0, colon), hour) &&
           number(t.substr(colon + 1, 2), minute) && hour < 24 && minute < 60;
}

std::optional<DirItem> parseUnix(std::string_view line, int currentYear) {
    std::string_view name;
    auto w = words(line, 8, name);
    if (w.size() < 8 || name.empty()) return std::nullopt;
    const char type = w[0][0];
    if (w[0].size() != 10 || (type != '-' && type != 'd' && type != 'l')) return std::nullopt;
    DirItem item;
    item.isDirectory = type == 'd';
    if (!number(w[4], item.size)) return std::nullopt;
    int month = monthNumber(w[5]), day = 0, year = currentYear, hour = 0, minute = 0;
    if (month == 0 || !number(w[6], day) || day < 1 || day > 31) return std::nullopt;
    if (w[7].find(':') != std::string_view::npos) {
        if (!parseTime(w[7], hour, minute)) return std::nullopt;
    } else if (!number(w[7], year)) {
        return std::nullopt;
    }
    item.modified = base::dateSerial(year, month, day, hour, minute);
    if (type == 'l') {
        std::size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos) name = name.substr(0, arrow);
    }
    item.name = std::string(name);
    return item;
}

std::optional<DirItem> parseDos(std::string_view line) {
    std::string_view name;
    auto w = words(line, 3, name);
    if (w.size() < 3 || name.empty() || w[0].size() < 8) return std::nullopt;
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    if (!number(w[0].substr(0, 2), month) || !number(w[0].substr(3, 2), day) || !number(w[0].substr(6), year))
        return std::nullopt;
    if (year < 100) year += year < 70 ? 2000 : 1900;
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    std::string_view time = w[1];
    bool pm = time.size() > 2 && (time.substr(time.size() - 2) == "PM" || time.substr(time.size() - 2) == "pm");
    bool am = time.size() > 2 && (time.substr(time.size() - 2) == "AM" || time.substr(time.size() - 2) == "am");
    if (pm || am) time.remove_suffix(2);
    if (!parseTime(time, hour, minute)) return std::nullopt;
    if (pm && hour < 12) hour += 12;
    if (am && hour == 12) hour = 0;
    DirItem item;
    if (w[2] == "<DIR>") item.isDirectory = true;
    else if (!number(w[2], item.size)) return std::nullopt;
    item.modified = base::dateSerial(year, month, day, hour, minute);
    item.name = std::string(name);
    return item;
}

}  // namespace

std::optional<DirItem> parseListLine(std::string_view line, int currentYear) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return std::nullopt;
    if (std::isdigit(static_cast<unsigned char>(line[0]))) return parseDos(line);
    return parseUnix(line, currentYear);
}

}  // namespace vk::net
