#include "scan/ReleaseDate.h"

#include <cstdio>
#include <vector>

namespace vk::scan {
namespace {

bool validDate(int y, int m, int d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    int limit = kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    return d <= limit;
}

// Splits "a<sep>b<sep>c" into three numbers of at most four digits each.
bool threeNumbers(std::string_view s, char sep, int out[3]) {
    int index = 0;
    int digits = 0;
    out[0] = out[1] = out[2] = 0;
    for (char c : s) {
        if (c == sep) {
            if (digits == 0 || ++index > 2) return false;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 4) return false;
            out[index] = out[index] * 10 + (c - '0');
        } else {
            return false;
        }
    }
    return index == 2 && digits > 0;
}

}  // namespace

std::optional<CivilDate> parseReleaseDate(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    auto end = text.find_first_of(" \tT");
    std::string_view date = text.substr(0, end);
    int n[3];
    if (threeNumbers(date, '-', n) || threeNumbers(date, '/', n)) {
        if (date.find('/') != std::string_view::npos && n[2] >= 100) {
            if (validDate(n[2], n[0], n[1])) return CivilDate{n[2], n[0], n[1]};  // m/d/yyyy
            if (validDate(n[2], n[1], n[0])) return CivilDate{n[2], n[1], n[0]};  // d/m/yyyy
            return std::nullopt;
        }
        if (validDate(n[0], n[1], n[2])) return CivilDate{n[0], n[1], n[2]};
        return std::nullopt;
    }
    if (threeNumbers(date, '.', n) && validDate(n[2], n[1], n[0])) return CivilDate{n[2], n[1], n[0]};
    return std::nullopt;
}

std::string formatIsoDate(const CivilDate& date) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buf;
}

}  // namespace vk::scan
