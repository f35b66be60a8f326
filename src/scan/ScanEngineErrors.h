#pragma once

namespace vk::scan {

inline constexpr long kErrDatabaseMissing = 1025;
inline constexpr long kErrDatabaseTooNew = 1026;
inline constexpr long kErrDatabaseNotLoaded = 1027;
inline constexpr long kErrDatabaseHeader = 1028;
inline constexpr long kErrDatabaseCrc = 1029;

}  // namespace vk::scan
