#include "script/IniFile.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace vk::script {
namespace {

TEST(IniFileTest, MissingFileGivesTheDefaultAndWritingCreatesIt) {
    test::TempDir dir;
    const std::string file = (dir / "config.ini").string();
    EXPECT_EQ(getIniString(file, "Window", "Caption", "VandrelKast 1.4.0 Beta"), "VandrelKast 1.4.0 Beta");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(writeIniString(file, "ScanningOptions", "Action", "0"));
    EXPECT_TRUE(writeIniString(file, "ScanningOptions", "MaxSize", "10"));
    EXPECT_TRUE(writeIniString(file, "ScanningOptions", "action", "2"));
    EXPECT_EQ(test::readFile(file), "[ScanningOptions]\r\nAction=2\r\nMaxSize=10\r\n");
    EXPECT_EQ(getIniString(file, "scanningoptions", "ACTION", "0"), "2");
    EXPECT_EQ(getIniString(file, "ScanningOptions", "Missing", "d"), "d");
    EXPECT_FALSE(writeIniString((dir / "no" / "such" / "folder.ini").string(), "S", "k", "v"));
}

TEST(IniFileTest, ReadsAreCutTo1999Characters) {
    test::TempDir dir;
    const std::string file = (dir / "long.ini").string();
    ASSERT_TRUE(writeIniString(file, "S", "k", std::string(2500, 'v')));
    EXPECT_EQ(getIniString(file, "S", "k", "").size(), 1999u);
}

}  // namespace
}  // namespace vk::script
