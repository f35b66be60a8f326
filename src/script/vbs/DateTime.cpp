#include "script/vbs/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "platform/base/DateSerial.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {
using base::civilFromDays;
using base::daysFromCivil;

const int64_t kEpoch = base::kSerialEpochDays;

const char* kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                         "August", "September", "October", "November", "December"};
const char* kMonthsShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* kDaysShort[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::u16string num(int v, int width = 1) {
    std::string s = std::to_string(v);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return u16(s);
}
}  // namespace

const char* monthName(int month, bool abbreviate) {
    if (month < 1 || month > 12) return "";
    return abbreviate ? kMonthsShort[month - 1] : kMonths[month - 1];
}

const char* weekdayName(int weekday, bool abbreviate) {
    if (weekday < 1 || weekday > 7) return "";
    return abbreviate ? kDaysShort[weekday - 1] : kDays[weekday - 1];
}

bool dateFromParts(int year, int month, int day, double& serial) {
    // Month overflow carries into the year, day overflow is plain day arithmetic.
    int64_t y = year;
    int64_t m = month - 1;
    y += m >= 0 ? m / 12 : -((11 - m) / 12);
    m = ((m % 12) + 12) % 12;
    if (y < 100 || y > 9999) return false;
    int64_t days = daysFromCivil(y, static_cast<unsigned>(m + 1), 1) + (day - 1) - kEpoch;
    serial = static_cast<double>(days);
    return serial >= -657434 && serial <= 2958465;
}

double timeFromParts(int hour, int minute, int second) {
    return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

double serialDays(double serial) { return std::trunc(serial); }
double serialTime(double serial) { return std::fabs(serial - std::trunc(serial)); }

double makeSerial(double datePart, double timePart) {
    return datePart >= 0 ? datePart + timePart : datePart - timePart;
}

DateParts partsOf(double serial) {
    DateParts p;
    double days = std::trunc(serial);
    double frac = std::fabs(serial - days);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        days += serial < 0 ? -1 : 1;
    }
    int64_t z = static_cast<int64_t>(days) + kEpoch;
    civilFromDays(z, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>((secs / 60) % 60);
    p.second = static_cast<int>(secs % 60);
    int64_t wd = (z + 4) % 7;  // 1970-01-01 was a Thursday
    if (wd < 0) wd += 7;
    p.weekday = static_cast<int>(wd) + 1;
    return p;
}

double nowSerial() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    double d = 0;
    dateFromParts(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, d);
    return d + timeFromParts(tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::u16string formatShortDate(double serial) {
    DateParts p = partsOf(serial);
    return num(p.month) + u"/" + num(p.day) + u"/" + num(p.year);
}

std::u16string formatLongTime(double serial) {
    DateParts p = partsOf(serial);
    int h = p.hour % 12;
    if (h == 0) h = 12;
    return num(h) + u":" + num(p.minute, 2) + u":" + num(p.second, 2) + (p.hour < 12 ? u" AM" : u" PM");
}

std::u16string formatShortTime(double serial) {
    DateParts p = partsOf(serial);
    return num(p.hour, 2) + u":" + num(p.minute, 2);
}

std::u16string formatLongDate(double serial) {
    DateParts p = partsOf(serial);
    return u16(kDays[p.weekday - 1]) + u", " + u16(kMonths[p.month - 1]) + u" " + num(p.day) + u", " +
           num(p.year);
}

std::u16string formatDate(double serial) {
    DateParts p = partsOf(serial);
    bool hasTime = p.hour || p.minute || p.second;
    bool hasDate = !(p.year == 1899 && p.month == 12 && p.day == 30);
    if (!hasDate) return formatLongTime(serial);
    if (!hasTime) return formatShortDate(serial);
    return formatShortDate(serial) + u" " + formatLongTime(serial);
}

bool parseDate(std::u16string_view s, double& serial) {
    struct Tok {
        int kind;  // 0 number, 1 word, 2 ':', 3 date separator
        int value;
        int digits;
        std::u16string word;
    };
    std::vector<Tok> toks;
    size_t i = 0;
    while (i < s.size()) {
        char16_t c = s[i];
        if (c >= '0' && c <= '9') {
            int v = 0, n = 0;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                if (n < 9) v = v * 10 + (s[i] - '0');
                ++n;
                ++i;
            }
            toks.push_back({0, v, n, {}});
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            std::u16string w;
            while (i < s.size() && ((s[i] >= 'a' && s[i] <= 'z') || (s[i] >= 'A' && s[i] <= 'Z'))) w += foldLower(s[i++]);
            toks.push_back({1, 0, 0, w});
        } else if (c == ':') {
            toks.push_back({2, 0, 0, {}});
            ++i;
        } else if (c == '/' || c == '-' || c == '.' || c == ',') {
            toks.push_back({3, 0, 0, {}});
            ++i;
        } else if (c == ' ' || c == '\t') {
            ++i;
        } else {
            return false;
        }
    }
    std::vector<Tok> dateNums;
    int month = 0;
    int tparts[3] = {0, 0, 0};
    int tcount = 0;
    int ampm = 0;
    bool hasTime = false;
    for (size_t k = 0; k < toks.size(); ++k) {
        const Tok& t = toks[k];
        if (t.kind == 0) {
            if (k + 1 < toks.size() && toks[k + 1].kind == 2 && !hasTime) {
                hasTime = true;
                tparts[0] = t.value;
                tcount = 1;
                size_t j = k + 1;
                while (j + 1 < toks.size() && toks[j].kind == 2 && toks[j + 1].kind == 0 && tcount < 3) {
                    tparts[tcount++] = toks[j + 1].value;
                    j += 2;
                }
                k = j - 1;
                continue;
            }
            dateNums.push_back(t);
        } else if (t.kind == 1) {
            if (t.word == u"am" || t.word == u"a") { ampm = 1; continue; }
            if (t.word == u"pm" || t.word == u"p") { ampm = 2; continue; }
            bool found = false;
            for (int m = 0; m < 12 && !found; ++m) {
                std::u16string full = toLower(u16(kMonths[m]));
                if (t.word == full || (t.word.size() >= 3 && full.compare(0, t.word.size(), t.word) == 0)) {
                    if (month) return false;
                    month = m + 1;
                    found = true;
                }
            }
            for (int d = 0; d < 7 && !found; ++d) {
                std::u16string full = toLower(u16(kDays[d]));
                if (t.word == full || t.word == toLower(u16(kDaysShort[d]))) found = true;
            }
            if (!found) return false;
        }
    }
    if (ampm && !hasTime) {
        // "5 PM"
        if (dateNums.empty()) return false;
        hasTime = true;
        tparts[0] = dateNums.back().value;
        tcount = 1;
        dateNums.pop_back();
    }
    double datePart = 0;
    bool hasDate = !dateNums.empty() || month;
    if (hasDate) {
        int y = 0, m = 0, d = 0;
        auto fixYear = [](const Tok& t) {
            int v = t.value;
            if (t.digits <= 2) v += v < 30 ? 2000 : 1900;
            return v;
        };
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        int curYear = tm.tm_year + 1900;
        if (month) {
            m = month;
            if (dateNums.size() == 1) {
                d = dateNums[0].value;
                y = curYear;
                if (d > 31) { y = fixYear(dateNums[0]); d = 1; }
            } else if (dateNums.size() == 2) {
                if (dateNums[0].value > 31 || dateNums[0].digits > 2) {
                    y = fixYear(dateNums[0]);
                    d = dateNums[1].value;
                } else {
                    d = dateNums[0].value;
                    y = fixYear(dateNums[1]);
                }
            } else {
                return false;
            }
        } else if (dateNums.size() == 3) {
            if (dateNums[0].digits > 2 || dateNums[0].value > 31) {
                y = fixYear(dateNums[0]);
                m = dateNums[1].value;
                d = dateNums[2].value;
            } else {
                m = dateNums[0].value;
                d = dateNums[1].value;
                y = fixYear(dateNums[2]);
                if (m > 12 && d <= 12) std::swap(m, d);
            }
        } else if (dateNums.size() == 2) {
            m = dateNums[0].value;
            d = dateNums[1].value;
            y = curYear;
            if (d > 31 || dateNums[1].digits > 2) { y = fixYear(dateNums[1]); d = 1; }
            else if (m > 12 && d <= 12) std::swap(m, d);
        } else {
            return false;
        }
        if (m < 1 || m > 12 || d < 1 || y < 100 || y > 9999) return false;
        static const int kDim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        int dim = kDim[m - 1];
        if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
        if (d > dim) return false;
        if (!dateFromParts(y, m, d, datePart)) return false;
    }
    double timePart = 0;
    if (hasTime) {
        int h = tparts[0];
        if (ampm) {
            if (h < 1 || h > 12) return false;
            if (ampm == 1 && h == 12) h = 0;
            if (ampm == 2 && h != 12) h += 12;
        }
        if (h > 23 || tparts[1] > 59 || tparts[2] > 59) return false;
        timePart = timeFromParts(h, tparts[1], tparts[2]);
    }
    if (!hasDate && !hasTime) return false;
    serial = makeSerial(datePart, timePart);
    return true;
}

}  // namespace vk::vbs
