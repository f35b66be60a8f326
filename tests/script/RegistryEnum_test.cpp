#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/RegistryStore.h"
#include "script/EnumReg.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

using namespace std::string_literals;
using namespace vk::platform;
using Names = std::vector<std::string>;

class EnumRegTest : public ::testing::Test {
protected:
    test::TempDir dir;
    RegistryStore store{dir.str()};
    void SetUp() override { setSystemRegistry(&store); }
    void TearDown() override { setSystemRegistry(nullptr); }

    void put(std::string_view path, std::string_view name, std::uint32_t type, std::string_view data) {
        RegHandle h = 0;
        ASSERT_EQ(store.createKey(kHkeyCurrentUser, path, kKeyAllAccess, h), kErrorSuccess);
        ASSERT_EQ(store.setValue(h, name, type, data), kErrorSuccess);
        store.closeKey(h);
    }
};

TEST_F(EnumRegTest, ListsNamedStringValuesWithOneEmptyElementAtTheEnd) {
    put("Run", "A", kRegSz, "a.exe\0"s);
    put("Run", "B", kRegDword, "\1\0\0\0"s);
    put("Run", "", kRegSz, "default\0"s);
    put("Run", "C", kRegSz, "c.exe\0"s);
    put("Run", "D", kRegExpandSz, "%x%\0"s);
    EXPECT_EQ(enumRegStringValues(kHkeyCurrentUser, "Run"), (Names{"A", "C", ""}));

    RegHandle h = 0;
    ASSERT_EQ(store.createKey(kHkeyCurrentUser, "Empty", kKeyAllAccess, h), kErrorSuccess);
    store.closeKey(h);
    EXPECT_EQ(enumRegStringValues(kHkeyCurrentUser, "Empty"), (Names{""}));
    EXPECT_EQ(enumRegStringValues(kHkeyCurrentUser, "Missing"), std::nullopt);
    EXPECT_EQ(store.openHandleCount(), 0u);
}

TEST_F(EnumRegTest, StopsAtTheFirstValueThatDoesNotFitTheBuffers) {
    struct Case {
        const char* label;
        std::string name;
        std::string data;
        Names expected;
    };
    const Case cases[] = {
        {"name of 1023 fits", std::string(1023, 'n'), "x\0"s, {"first", std::string(1023, 'n'), "last", ""}},
        {"name of 1024 stops", std::string(1024, 'n'), "x\0"s, {"first", ""}},
        {"data of 1024 fits", "big", std::string(1023, 'd') + '\0', {"first", "big", "last", ""}},
        {"data of 1025 stops", "big", std::string(1024, 'd') + '\0', {"first", ""}},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string key = "Buf" + std::to_string(i++);
        put(key, "first", kRegSz, "1\0"s);
        put(key, c.name, kRegSz, c.data);
        put(key, "last", kRegSz, "2\0"s);
        EXPECT_EQ(enumRegStringValues(kHkeyCurrentUser, key), c.expected);
    }
    // Large non-string data ends it too, as RegEnumValueA reports ERROR_MORE_DATA.
    put("Bin", "first", kRegSz, "1\0"s);
    put("Bin", "blob", kRegBinary, std::string(2000, '\0'));
    put("Bin", "last", kRegSz, "2\0"s);
    EXPECT_EQ(enumRegStringValues(kHkeyCurrentUser, "Bin"), (Names{"first", ""}));
}

TEST_F(EnumRegTest, NeedsFullAccessAndDoesNotNormaliseThePath) {
    put("Software\\Run", "A", kRegSz, "1\0"s);
    EXPECT_EQ(enumRegStringValues(kHkeyCurrentUser, "HKEY_CURRENT_USER\\Software\\Run"), std::nullopt);
    RegistryStore readOnly(dir.str(), RegistryStore::Options{true});
    setSystemRegistry(&readOnly);
    EXPECT_EQ(enumRegStringValues(kHkeyCurrentUser, "Software\\Run"), std::nullopt);
}

}  // namespace
}  // namespace vk::script
