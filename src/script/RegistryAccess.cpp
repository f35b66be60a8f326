#include "script/RegistryAccess.h"

#include <array>
#include <atomic>

#include "platform/VbConversion.h"

namespace vk::script {
namespace {

using platform::Registry;
using platform::RegHandle;

// Closes an opened key on every path out.
class KeyGuard {
public:
    explicit KeyGuard(Registry& reg) : reg_(reg) {}
    ~KeyGuard() {
        if (open_) reg_.closeKey(handle_);
    }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

    long open(RegHandle root, std::string_view subKey, std::uint32_t access) {
        long st = reg_.openKey(root, subKey, access, handle_);
        open_ = st == platform::kErrorSuccess;
        return st;
    }
    RegHandle handle() const { return handle_; }

private:
    Registry& reg_;
    RegHandle handle_ = 0;
    bool open_ = false;
};

// Set while SetRegValue retries after creating the key, so a second failing
// open does not recurse.
std::atomic<bool> g_retrying{false};

class RetryFlag {
public:
    RetryFlag() { g_retrying = true; }
    ~RetryFlag() { g_retrying = false; }
    RetryFlag(const RetryFlag&) = delete;
    RetryFlag& operator=(const RetryFlag&) = delete;
};

}  // namespace

void normalizeRegPath(std::string& path) {
    static constexpr std::array<std::string_view, 7> kRootPrefixes = {
        "HKEY_CURRENT_USER\\", "HKEY_CLASSES_ROOT\\", "HKEY_LOCAL_MACHINE\\", "HKEY_USERS\\",
        "HKEY_CURRENT_CONFIG\\", "HKEY_DYN_DATA\\", "HKEY_PERFORMANCE_DATA\\"};
    if (path.size() >= 2 && path.front() == '\\') path.erase(0, 1);
    std::size_t slash = path.find('\\');
    if (slash == std::string::npos) return;
    std::string_view prefix(path.data(), slash + 1);
    for (auto root : kRootPrefixes) {
        if (prefix == root) {
            path.erase(0, slash + 1);
            return;
        }
    }
}

RegValue getRegValue(RegHandle root, std::string subKey, std::string_view valueName) {
    try {
        normalizeRegPath(subKey);
        Registry& reg = platform::systemRegistry();
        KeyGuard key(reg);
        if (key.open(root, subKey, platform::kKeyRead) != platform::kErrorSuccess) return std::string();
        std::uint32_t type = 0;
        std::string data;
        if (reg.queryValue(key.handle(), valueName, type, data) != platform::kErrorSuccess)
            return std::string();
        if (type == platform::kRegSz) {
            auto nul = data.find('\0');
            if (nul != std::string::npos) data.resize(nul);
            return data;
        }
        if (type == platform::kRegDword) {
            // A 4-byte buffer takes shorter data as it is; longer data does not fit.
            if (data.size() > 4) return std::string();
            std::uint32_t v = 0;
            for (std::size_t i = 0; i < data.size(); ++i)
                v |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
            return static_cast<std::int32_t>(v);
        }
        return std::string();
    } catch (...) {
        return std::string();
    }
}

long setRegValue(std::string_view value, std::uint32_t type, std::string subKey, std::string_view valueName,
                 RegHandle root) {
    normalizeRegPath(subKey);
    Registry& reg = platform::systemRegistry();
    KeyGuard key(reg);
    long st = key.open(root, subKey, platform::kKeyAllAccess);
    if (st != platform::kErrorSuccess) {
        if (g_retrying) return 0;
        if (createRegKey(subKey, root) != 0) return st + kRegStatusOffset;
        RetryFlag retry;
        return setRegValue(value, type, subKey, valueName, root);
    }
    long written;
    if (type == platform::kRegSz) {
        std::string data(value);
        data.push_back('\0');
        written = reg.setValue(key.handle(), valueName, platform::kRegSz, data);
    } else if (type == platform::kRegDword) {
        auto v = static_cast<std::uint32_t>(platform::toLong(value));
        std::string data(4, '\0');
        for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        written = reg.setValue(key.handle(), valueName, platform::kRegDword, data);
    } else {
        return 0;
    }
    return written == platform::kErrorSuccess ? 0 : written + kRegStatusOffset;
}

long createRegKey(std::string subKey, RegHandle root) {
    normalizeRegPath(subKey);
    Registry& reg = platform::systemRegistry();
    RegHandle handle = 0;
    long st = reg.createKey(root, subKey, platform::kKeyAllAccess, handle);
    if (st != platform::kErrorSuccess) return st + kRegStatusOffset;
    reg.closeKey(handle);
    return 0;
}

bool deleteRegValue(RegHandle root, std::string_view subKey, std::string_view valueName) {
    Registry& reg = platform::systemRegistry();
    KeyGuard key(reg);
    if (key.open(root, subKey, platform::kKeyAllAccess) != platform::kErrorSuccess) return false;
    reg.deleteValue(key.handle(), valueName);
    return true;
}

bool deleteRegKey(RegHandle root, std::string_view parentSubKey, std::string_view keyName) {
    Registry& reg = platform::systemRegistry();
    KeyGuard key(reg);
    if (key.open(root, parentSubKey, platform::kKeyAllAccess) != platform::kErrorSuccess) return false;
    reg.deleteKey(key.handle(), keyName);
    return true;
}

}  // namespace vk::script
