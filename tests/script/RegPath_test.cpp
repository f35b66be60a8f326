#include "script/RegPath.h"

#include <gtest/gtest.h>

namespace vk::script {
namespace {

using namespace vk::platform;

TEST(RegPathTest, SplitsRootParentAndLastComponent) {
    struct Case {
        const char* text;
        RegHandle root;
        const char* parent;
        const char* last;
    };
    const Case cases[] = {
        {"hkcu\\Software\\Test\\Run\\", kHkeyCurrentUser, "Software\\Test\\Run", ""},
        {"HKCU\\Software\\Test\\Run\\Value", kHkeyCurrentUser, "Software\\Test\\Run", "Value"},
        {"HKEY_LOCAL_MACHINE\\Software\\X", kHkeyLocalMachine, "Software", "X"},
        {"hkey_local_machine\\a\\b", kHkeyLocalMachine, "a", "b"},
        {"HkLm\\Only", kHkeyLocalMachine, "", "Only"},
        {"HKCR\\.exe\\", kHkeyClassesRoot, ".exe", ""},
        {"HKEY_CLASSES_ROOT\\x", kHkeyClassesRoot, "", "x"},
        {"HKUS\\.DEFAULT\\Software", kHkeyUsers, ".DEFAULT", "Software"},
        {"HKEY_USERS\\S-1\\a\\b\\c", kHkeyUsers, "S-1\\a\\b", "c"},
        {"HKPD\\x", kHkeyPerformanceData, "", "x"},
        {"HKEY_PERFORMANCE_DATA\\x\\y", kHkeyPerformanceData, "x", "y"},
        {"HKCU\\", kHkeyCurrentUser, "", ""},
        {"HKCU\\a\\\\b", kHkeyCurrentUser, "a\\", "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto parsed = parseRegPath(c.text);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->root, c.root);
        EXPECT_EQ(parsed->parentSubKey, c.parent);
        EXPECT_EQ(parsed->lastComponent, c.last);
    }
}

TEST(RegPathTest, UnknownRootsAndPathsWithoutBackslashDoNothing) {
    for (const char* text : {"HKEY_CURRENT_CONFIG\\System", "HKCC\\System", "HKEY_DYN_DATA\\x", "HKU\\x",
                             "HKEY_CURRENT_USERS\\x", "HKCU", "HKEY_LOCAL_MACHINE", "", "\\Software\\x",
                             " HKCU\\x", "Software\\HKCU\\x"}) {
        EXPECT_FALSE(parseRegPath(text)) << text;
    }
}

}  // namespace
}  // namespace vk::script
