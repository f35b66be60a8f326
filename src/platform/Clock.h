#pragma once

namespace vk::platform {

// Seconds since local midnight, with fractions (the classic Timer).
double secondsSinceMidnight();

// A clock that never jumps: for waits that must not break at midnight.
double steadySeconds();

}  // namespace vk::platform
