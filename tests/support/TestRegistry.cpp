#include "support/TestRegistry.h"

#include <filesystem>
#include <stdexcept>

namespace vk::test {

using namespace platform;

TestRegistry::TestRegistry()
    : folder_((dir_.path() / "registry").string()), store_(std::make_unique<RegistryStore>(folder_)) {
    setSystemRegistry(store_.get());
}

TestRegistry::~TestRegistry() { setSystemRegistry(nullptr); }

void TestRegistry::putRaw(RegHandle root, std::string_view key, std::string_view name, std::uint32_t type,
                          std::string_view data) {
    RegHandle h = 0;
    if (store_->createKey(root, key, kKeyAllAccess, h) != kErrorSuccess) throw std::runtime_error("createKey");
    long st = store_->setValue(h, name, type, data);
    store_->closeKey(h);
    if (st != kErrorSuccess) throw std::runtime_error("setValue");
}

void TestRegistry::putString(RegHandle root, std::string_view key, std::string_view name, std::string_view text) {
    std::string data(text);
    data.push_back('\0');
    putRaw(root, key, name, kRegSz, data);
}

void TestRegistry::putDword(RegHandle root, std::string_view key, std::string_view name, std::uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    putRaw(root, key, name, kRegDword, data);
}

void TestRegistry::remove(RegHandle root, std::string_view key, std::string_view name) {
    RegHandle h = 0;
    if (store_->openKey(root, key, kKeyAllAccess, h) != kErrorSuccess) return;
    store_->deleteValue(h, name);
    store_->closeKey(h);
}

std::optional<std::pair<std::uint32_t, std::string>> TestRegistry::get(RegHandle root, std::string_view key,
                                                                      std::string_view name) {
    RegHandle h = 0;
    if (store_->openKey(root, key, kKeyRead, h) != kErrorSuccess) return std::nullopt;
    std::uint32_t type = 0;
    std::string data;
    long st = store_->queryValue(h, name, type, data);
    store_->closeKey(h);
    if (st != kErrorSuccess) return std::nullopt;
    return std::make_pair(type, data);
}

std::optional<std::string> TestRegistry::getString(RegHandle root, std::string_view key, std::string_view name) {
    auto v = get(root, key, name);
    if (!v || v->first != kRegSz) return std::nullopt;
    std::string s = v->second;
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

std::optional<std::uint32_t> TestRegistry::getDword(RegHandle root, std::string_view key, std::string_view name) {
    auto v = get(root, key, name);
    if (!v || v->first != kRegDword || v->second.size() != 4) return std::nullopt;
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<std::uint32_t>(static_cast<unsigned char>(v->second[static_cast<std::size_t>(i)])) << (8 * i);
    return n;
}

std::map<std::string, std::string> TestRegistry::files() const {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder_, ec))
        if (e.path().extension() == ".reg") out[e.path().filename().string()] = readFile(e.path());
    return out;
}

void TestRegistry::makeReadOnly() {
    setSystemRegistry(nullptr);
    store_ = std::make_unique<RegistryStore>(folder_, RegistryStore::Options{true});
    setSystemRegistry(store_.get());
}

}  // namespace vk::test
