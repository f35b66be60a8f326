#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace vk::platform {

double secondsSinceMidnight() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&t, &local);
    auto sinceEpoch = std::chrono::duration<double>(now.time_since_epoch()).count();
    double fraction = sinceEpoch - static_cast<double>(t);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
}

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace vk::platform
