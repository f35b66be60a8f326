// Date and time functions.
#include <chrono>
#include <cmath>
#include <ctime>

#include "script/vbs/Builtins.h"
#include "script/vbs/DateTime.h"
#include "script/vbs/Interpreter.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

using namespace lib;

namespace {

Variant fNow(BuiltinContext&, CallArgs) { return Variant::date(nowSerial()); }
Variant fDate(BuiltinContext&, CallArgs) { return Variant::date(serialDays(nowSerial())); }
Variant fTime(BuiltinContext&, CallArgs) { return Variant::date(serialTime(nowSerial())); }
Variant fTimer(BuiltinContext&, CallArgs) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() % 1000000;
    double secs = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + static_cast<double>(us) / 1e6;
    return Variant(static_cast<float>(secs));
}

template <int DateParts::*field>
Variant part(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    DateParts p = partsOf(toDate(a[0]));
    return Variant(static_cast<int16_t>(p.*field));
}

int weekdayFrom(int weekday, int firstDay) {
    if (firstDay == 0) firstDay = 1;
    return ((weekday - firstDay + 7) % 7) + 1;
}

Variant fWeekday(BuiltinContext&, CallArgs a) {
    refuseNull(a, {1});
    int32_t first = argLong(a, 1, 1);
    if (first < 0 || first > 7) raise(err::InvalidCall);
    if (nullArg(a, 0)) return Variant::null();
    return Variant(static_cast<int16_t>(weekdayFrom(partsOf(toDate(a[0])).weekday, first)));
}
Variant fWeekdayName(BuiltinContext&, CallArgs a) {
    refuseNull(a, {1, 2});
    int32_t n = toLong(a[0]);
    bool abbr = a.has(1) && toBool(a[1]);
    int32_t first = argLong(a, 2, 1);
    if (first == 0) first = 1;
    if (n < 1 || n > 7 || first < 1 || first > 7) raise(err::InvalidCall);
    int wd = ((n - 1 + first - 1) % 7) + 1;
    return Variant(u16(weekdayName(wd, abbr)));
}
Variant fMonthName(BuiltinContext&, CallArgs a) {
    refuseNull(a, {1});
    int32_t n = toLong(a[0]);
    if (n < 1 || n > 12) raise(err::InvalidCall);
    bool abbr = a.has(1) && toBool(a[1]);
    return Variant(u16(monthName(n, abbr)));
}

double daysOf(const DateParts& p) {
    double d = 0;
    dateFromParts(p.year, p.month, p.day, d);
    return d;
}
double secondsOf(double serial) {
    DateParts p = partsOf(serial);
    return daysOf(p) * 86400.0 + p.hour * 3600.0 + p.minute * 60.0 + p.second;
}
double fromSeconds(double secs) {
    double days = std::floor(secs / 86400.0);
    double rest = secs - days * 86400.0;
    return makeSerial(days, rest / 86400.0);
}

enum class Unit { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };
Unit unitOf(const Variant& v) {
    std::u16string s = toLower(toStr(v));
    if (s == u"yyyy") return Unit::Year;
    if (s == u"q") return Unit::Quarter;
    if (s == u"m") return Unit::Month;
    if (s == u"y") return Unit::DayOfYear;
    if (s == u"d") return Unit::Day;
    if (s == u"w") return Unit::Weekday;
    if (s == u"ww") return Unit::Week;
    if (s == u"h") return Unit::Hour;
    if (s == u"n") return Unit::Minute;
    if (s == u"s") return Unit::Second;
    raise(err::InvalidCall);
}

Variant fDateAdd(BuiltinContext&, CallArgs a) {
    Unit u = unitOf(a[0]);
    if (nullArg(a, 1) || nullArg(a, 2)) return Variant::null();
    double n = std::trunc(toDouble(a[1]));
    double d = toDate(a[2]);
    DateParts p = partsOf(d);
    double result;
    switch (u) {
        case Unit::Year: case Unit::Quarter: case Unit::Month: {
            double months = u == Unit::Year ? n * 12 : u == Unit::Quarter ? n * 3 : n;
            if (std::fabs(months) > 200000) raise(err::InvalidCall);
            int64_t total = static_cast<int64_t>(p.year) * 12 + (p.month - 1) + static_cast<int64_t>(months);
            int y = static_cast<int>(total / 12), m = static_cast<int>(total % 12) + 1;
            static const int kDim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
            int dim = kDim[m - 1];
            if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
            double days;
            if (!dateFromParts(y, m, std::min(p.day, dim), days)) raise(err::InvalidCall);
            result = makeSerial(days, serialTime(d));
            break;
        }
        case Unit::DayOfYear: case Unit::Day: case Unit::Weekday:
            result = fromSeconds(secondsOf(d) + n * 86400.0);
            break;
        case Unit::Week: result = fromSeconds(secondsOf(d) + n * 7 * 86400.0); break;
        case Unit::Hour: result = fromSeconds(secondsOf(d) + n * 3600.0); break;
        case Unit::Minute: result = fromSeconds(secondsOf(d) + n * 60.0); break;
        default: result = fromSeconds(secondsOf(d) + n); break;
    }
    if (!(result >= -657434.0 && result < 2958466.0)) raise(err::InvalidCall);
    return Variant::date(result);
}

Variant fDateDiff(BuiltinContext&, CallArgs a) {
    Unit u = unitOf(a[0]);
    if (nullArg(a, 1) || nullArg(a, 2)) return Variant::null();
    double d1 = toDate(a[1]), d2 = toDate(a[2]);
    int32_t first = argLong(a, 3, 1);
    if (first == 0) first = 1;
    DateParts p1 = partsOf(d1), p2 = partsOf(d2);
    double s1 = secondsOf(d1), s2 = secondsOf(d2);
    double r = 0;
    switch (u) {
        case Unit::Year: r = p2.year - p1.year; break;
        case Unit::Quarter: r = (p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3); break;
        case Unit::Month: r = (p2.year * 12 + p2.month) - (p1.year * 12 + p1.month); break;
        case Unit::DayOfYear: case Unit::Day: r = daysOf(p2) - daysOf(p1); break;
        case Unit::Weekday: r = std::trunc((daysOf(p2) - daysOf(p1)) / 7); break;
        case Unit::Week: {
            // week boundaries (first day of week) crossed
            double a1 = daysOf(p1) - (weekdayFrom(p1.weekday, first) - 1);
            double a2 = daysOf(p2) - (weekdayFrom(p2.weekday, first) - 1);
            r = (a2 - a1) / 7;
            break;
        }
        case Unit::Hour: r = std::floor(s2 / 3600) - std::floor(s1 / 3600); break;
        case Unit::Minute: r = std::floor(s2 / 60) - std::floor(s1 / 60); break;
        case Unit::Second: r = s2 - s1; break;
    }
    if (std::fabs(r) <= 2147483647.0) return Variant(static_cast<int32_t>(r));
    return Variant(r);
}

Variant fDatePart(BuiltinContext&, CallArgs a) {
    Unit u = unitOf(a[0]);
    if (nullArg(a, 1)) return Variant::null();
    double d = toDate(a[1]);
    int32_t first = argLong(a, 2, 1);
    if (first == 0) first = 1;
    DateParts p = partsOf(d);
    int32_t r = 0;
    switch (u) {
        case Unit::Year: r = p.year; break;
        case Unit::Quarter: r = (p.month - 1) / 3 + 1; break;
        case Unit::Month: r = p.month; break;
        case Unit::DayOfYear: {
            double jan1;
            dateFromParts(p.year, 1, 1, jan1);
            r = static_cast<int32_t>(daysOf(p) - jan1) + 1;
            break;
        }
        case Unit::Day: r = p.day; break;
        case Unit::Weekday: r = weekdayFrom(p.weekday, first); break;
        case Unit::Week: {
            double jan1;
            dateFromParts(p.year, 1, 1, jan1);
            DateParts j = partsOf(jan1);
            int offset = weekdayFrom(j.weekday, first) - 1;
            r = static_cast<int32_t>((daysOf(p) - jan1 + offset) / 7) + 1;
            break;
        }
        case Unit::Hour: r = p.hour; break;
        case Unit::Minute: r = p.minute; break;
        case Unit::Second: r = p.second; break;
    }
    return Variant(r);
}

Variant fDateSerial(BuiltinContext&, CallArgs a) {
    refuseNull(a, {0, 1, 2});
    int32_t y = toLong(a[0]), m = toLong(a[1]), d = toLong(a[2]);
    if (y >= 0 && y < 30) y += 2000;
    else if (y >= 30 && y < 100) y += 1900;
    if (std::abs(m) > 120000 || std::abs(d) > 4000000) raise(err::InvalidCall);
    double serial;
    if (!dateFromParts(y, m, d, serial)) raise(err::InvalidCall);
    return Variant::date(serial);
}
Variant fTimeSerial(BuiltinContext&, CallArgs a) {
    refuseNull(a, {0, 1, 2});
    double secs = toLong(a[0]) * 3600.0 + toLong(a[1]) * 60.0 + toLong(a[2]);
    double serial = fromSeconds(secs);
    if (!(serial >= -657434.0 && serial < 2958466.0)) raise(err::InvalidCall);
    return Variant::date(serial);
}
Variant fDateValue(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    return Variant::date(serialDays(toDate(a[0])));
}
Variant fTimeValue(BuiltinContext&, CallArgs a) {
    if (nullArg(a, 0)) return Variant::null();
    return Variant::date(serialTime(toDate(a[0])));
}
Variant fFormatDateTime(BuiltinContext&, CallArgs a) {
    refuseNull(a, {1});
    if (nullArg(a, 0)) raise(err::TypeMismatch);
    double d = toDate(a[0]);
    switch (argLong(a, 1, 0)) {
        case 0: return Variant(formatDate(d));
        case 1: return Variant(formatLongDate(d));
        case 2: return Variant(formatShortDate(d));
        case 3: return Variant(formatLongTime(d));
        case 4: return Variant(formatShortTime(d));
        default: raise(err::InvalidCall);
    }
}

const BuiltinDef kDate[] = {
    {"Now", 0, 0, fNow}, {"Date", 0, 0, fDate}, {"Time", 0, 0, fTime}, {"Timer", 0, 0, fTimer},
    {"Year", 1, 1, part<&DateParts::year>}, {"Month", 1, 1, part<&DateParts::month>},
    {"Day", 1, 1, part<&DateParts::day>}, {"Hour", 1, 1, part<&DateParts::hour>},
    {"Minute", 1, 1, part<&DateParts::minute>}, {"Second", 1, 1, part<&DateParts::second>},
    {"Weekday", 1, 2, fWeekday}, {"WeekdayName", 1, 3, fWeekdayName}, {"MonthName", 1, 2, fMonthName},
    {"DateAdd", 3, 3, fDateAdd}, {"DateDiff", 3, 5, fDateDiff}, {"DatePart", 2, 4, fDatePart},
    {"DateSerial", 3, 3, fDateSerial}, {"TimeSerial", 3, 3, fTimeSerial}, {"DateValue", 1, 1, fDateValue},
    {"TimeValue", 1, 1, fTimeValue}, {"FormatDateTime", 1, 2, fFormatDateTime},
};

}  // namespace

std::span<const BuiltinDef> dateBuiltins() { return kDate; }

}  // namespace vk::vbs
