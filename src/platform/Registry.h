#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vk::platform {

// Handles are the published Win32 numbers for roots; opened keys get handles
// of their own from the implementation.
using RegHandle = std::uint32_t;

inline constexpr RegHandle kHkeyClassesRoot = 0x80000000u;
inline constexpr RegHandle kHkeyCurrentUser = 0x80000001u;
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;
inline constexpr RegHandle kHkeyUsers = 0x80000003u;
inline constexpr RegHandle kHkeyPerformanceData = 0x80000004u;
inline constexpr RegHandle kHkeyCurrentConfig = 0x80000005u;
inline constexpr RegHandle kHkeyDynData = 0x80000006u;

// Value types (winnt.h numbers).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Access masks.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Win32 status codes the registry reports.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;
inline constexpr long kErrorKeyDeleted = 1018;

// Win32-like registry. Names are compared without regard to ASCII case; value
// data is kept as raw bytes (REG_SZ as ANSI/UTF-8 bytes with its terminating
// NUL, REG_DWORD as 4 little-endian bytes), exactly as written.
class Registry {
public:
    virtual ~Registry() = default;

    virtual long openKey(RegHandle parent, std::string_view subKey, std::uint32_t access,
                         RegHandle& result) = 0;
    // Creates every missing key on the path.
    virtual long createKey(RegHandle parent, std::string_view subKey, std::uint32_t access,
                           RegHandle& result) = 0;
    virtual long closeKey(RegHandle key) = 0;

    // name "" is the key's default value.
    virtual long queryValue(RegHandle key, std::string_view name, std::uint32_t& type,
                            std::string& data) = 0;
    virtual long setValue(RegHandle key, std::string_view name, std::uint32_t type,
                          std::string_view data) = 0;
    virtual long deleteValue(RegHandle key, std::string_view name) = 0;
    // Refused (access denied) while the key has sub-keys, as RegDeleteKey does.
    virtual long deleteKey(RegHandle key, std::string_view subKey) = 0;

    // Enumeration in insertion order; kErrorNoMoreItems past the end.
    virtual long enumValue(RegHandle key, std::uint32_t index, std::string& name,
                           std::uint32_t& type, std::string& data) = 0;
    virtual long enumKey(RegHandle key, std::uint32_t index, std::string& name) = 0;
};

// The process-wide registry: the file store in $VANDRELKAST_REGISTRY (default
// $XDG_DATA_HOME/vandrelkast/registry), opened on first use.
Registry& systemRegistry();

// Lets tests and tools point the process at another registry; nullptr restores
// the default store.
void setSystemRegistry(Registry* registry);

}  // namespace vk::platform
