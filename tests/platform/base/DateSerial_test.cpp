#include <gtest/gtest.h>

#include "platform/base/DateSerial.h"

using namespace vk::base;

TEST(DateSerial, KnownDaysAndTheRoundTrip) {
    EXPECT_EQ(dateSerial(1899, 12, 30), 0);
    EXPECT_EQ(dateSerial(1900, 3, 1), 61);
    EXPECT_EQ(dateSerial(2009, 1, 5), 39818);
    EXPECT_DOUBLE_EQ(dateSerial(2023, 3, 15, 18, 0, 0), 45000.75);
    EXPECT_EQ(dateSerial(1601, 1, 1), -109205);  // the base of file times
    for (std::int64_t days : {-800000, -25569, -1, 0, 1, 59, 60, 11016, 2932896}) {
        int y = 0, m = 0, d = 0;
        civilFromDays(days, y, m, d);
        EXPECT_EQ(daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)), days) << days;
    }
}
