#pragma once

#include <cstdint>

#include "platform/Registry.h"

namespace vk::platform {

inline constexpr std::uint32_t kKeyDelete = 0x10000;
// Rights that change a key: refused on a read-only registry.
inline constexpr std::uint32_t kKeyWriteBits = kKeySetValue | kKeyCreateSubKey | 0x0020 /*KEY_CREATE_LINK*/ |
                                               kKeyDelete | 0x40000 /*WRITE_DAC*/ | 0x80000 /*WRITE_OWNER*/;
inline constexpr std::uint32_t kMaximumAllowed = 0x02000000;

// The generic rights spelled out as key rights.
constexpr std::uint32_t effectiveKeyAccess(std::uint32_t access) {
    if (access & 0x80000000u) access |= kKeyRead;       // GENERIC_READ
    if (access & 0x40000000u) access |= kKeyWrite;      // GENERIC_WRITE
    if (access & 0x20000000u) access |= kKeyRead;       // GENERIC_EXECUTE
    if (access & 0x10000000u) access |= kKeyAllAccess;  // GENERIC_ALL
    return access;
}

}  // namespace vk::platform
