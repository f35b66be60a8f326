#pragma once

#include <string>
#include <string_view>

namespace vk::vbs {

// Dates are OLE Automation serials: days since 1899-12-30, the fraction the time of day
// (for negative serials the fraction still counts forward from midnight).
struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int weekday = 7;  // 1 = Sunday
};

bool dateFromParts(int year, int month, int day, double& serial);  // month/day may overflow (DateSerial)
double timeFromParts(int hour, int minute, int second);
DateParts partsOf(double serial);
double nowSerial();
double makeSerial(double datePart, double timePart);  // combines with the sign rule
double serialDays(double serial);   // whole-day part (toward zero)
double serialTime(double serial);   // 0..1 time fraction

std::u16string formatDate(double serial);  // General Date: M/D/YYYY h:mm:ss AM
std::u16string formatShortDate(double serial);
std::u16string formatLongDate(double serial);
std::u16string formatLongTime(double serial);
std::u16string formatShortTime(double serial);
bool parseDate(std::u16string_view s, double& serial);

const char* monthName(int month, bool abbreviate);
const char* weekdayName(int weekday, bool abbreviate);  // 1 = Sunday

}  // namespace vk::vbs
