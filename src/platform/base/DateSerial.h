#pragma once

#include <cstdint>

// Dates as the classic serials: days since 30 December 1899, the time of day
// as the fraction (proleptic Gregorian calendar).
namespace vk::base {

// Days from 1970-01-01 to a date, and back.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);
void civilFromDays(std::int64_t days, int& year, int& month, int& day);

// Days from 1970-01-01 to 1899-12-30, the serials' day 0.
inline constexpr std::int64_t kSerialEpochDays = -25569;

double dateSerial(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace vk::base
