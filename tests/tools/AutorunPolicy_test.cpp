#include "tools/AutorunPolicy.h"

#include <gtest/gtest.h>

#include "support/TestRegistry.h"

namespace vk::tools {
namespace {

using namespace platform;

const char* const kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

TEST(AutorunPolicy, MissingValueEnablesAutorunEverywhere) {
    test::TestRegistry registry;
    auto f = getDriveTypeAutoRun();
    EXPECT_TRUE(f.unknown && f.removable && f.fixed && f.remote && f.cdRom && f.ram);
    setDriveTypeAutoRun(0x04, true);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun"), 0x04u);
    EXPECT_FALSE(getDriveTypeAutoRun().removable);
}

TEST(AutorunPolicy, BitsOutsideTheBoxesAreKept) {
    test::TestRegistry registry;
    registry.putDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun", 0x91);
    auto f = getDriveTypeAutoRun();
    EXPECT_FALSE(f.unknown);
    EXPECT_FALSE(f.remote);
    EXPECT_TRUE(f.removable && f.fixed && f.cdRom && f.ram);
    setDriveTypeAutoRun(0x80, false);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun"), 0x11u);
    setDriveTypeAutoRun(0x10, false);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun"), 0x01u);
    registry.putDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun", 0xFFFFFF03u);
    setDriveTypeAutoRun(0x20, true);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun"), 0xFFFFFF23u);
    setDriveTypeAutoRun(0x20, true);  // already set: the same value
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun"), 0xFFFFFF23u);
}

TEST(AutorunPolicy, ValueReplacedInPlaceWithOneWrite) {
    test::TestRegistry registry;
    registry.putDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun", 0x91);
    registry.putDword(kHkeyCurrentUser, kKey, "NoRun", 0);
    auto before = registry.files().at("HKEY_CURRENT_USER.reg");
    setDriveTypeAutoRun(0x04, true);
    // Deleting first would have moved the value behind NoRun.
    std::string expected = before;
    expected.replace(expected.find("dword:00000091"), 14, "dword:00000095");
    EXPECT_EQ(registry.files().at("HKEY_CURRENT_USER.reg"), expected);
}

TEST(AutorunPolicy, RefusedWriteKeepsThePolicy) {
    test::TestRegistry registry;
    registry.putDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun", 0x91);
    registry.makeReadOnly();
    auto before = registry.files();
    setDriveTypeAutoRun(0x04, true);
    EXPECT_EQ(registry.files(), before);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kKey, "NoDriveTypeAutoRun"), 0x91u);
}

}  // namespace
}  // namespace vk::tools
