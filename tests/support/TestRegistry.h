#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/RegistryStore.h"
#include "support/TempDir.h"

namespace vk::test {

// A registry store in a fresh folder, made the process registry while the
// object lives.
class TestRegistry {
public:
    TestRegistry();
    ~TestRegistry();
    TestRegistry(const TestRegistry&) = delete;
    TestRegistry& operator=(const TestRegistry&) = delete;

    platform::RegistryStore& store() { return *store_; }
    const std::string& folder() const { return folder_; }

    void putString(platform::RegHandle root, std::string_view key, std::string_view name, std::string_view text);
    void putDword(platform::RegHandle root, std::string_view key, std::string_view name, std::uint32_t value);
    void putRaw(platform::RegHandle root, std::string_view key, std::string_view name, std::uint32_t type,
                std::string_view data);
    void remove(platform::RegHandle root, std::string_view key, std::string_view name);
    // The raw value, nullopt when missing.
    std::optional<std::pair<std::uint32_t, std::string>> get(platform::RegHandle root, std::string_view key,
                                                            std::string_view name);
    std::optional<std::string> getString(platform::RegHandle root, std::string_view key, std::string_view name);
    std::optional<std::uint32_t> getDword(platform::RegHandle root, std::string_view key, std::string_view name);

    // Every .reg file of the store with its bytes.
    std::map<std::string, std::string> files() const;

    // From now on every root answers reads only, as for a user without the
    // right to change anything.
    void makeReadOnly();

private:
    TempDir dir_;
    std::string folder_;
    std::unique_ptr<platform::RegistryStore> store_;
};

}  // namespace vk::test
