#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/TempDir.h"
#include "tools/PathInsideDrive.h"

namespace vk::tools {
namespace {

TEST(PathInsideDrive, OnlyPathsThatStayOnTheDrive) {
    test::TempDir dir;
    const std::string root = (dir / "stick").string();
    dir.write("stick/RECYCLER/x.vbs", "x");
    dir.write("stick/file", "x");
    dir.write("outside/y.vbs", "y");
    std::filesystem::create_directory_symlink(dir / "outside", dir / "stick" / "escape");
    struct Case {
        std::string path;
        std::optional<std::string> inside;
    } cases[] = {
        {"x.vbs", root + "/x.vbs"},
        {".\\RECYCLER\\x.vbs", root + "/RECYCLER/x.vbs"},
        {"RECYCLER//./x.vbs", root + "/RECYCLER/x.vbs"},
        {"\\RECYCLER\\x.vbs", std::nullopt},  // absolute, and not below the mount point
        {root + "/RECYCLER/x.vbs", root + "/RECYCLER/x.vbs"},
        {root + "\\missing.exe", root + "/missing.exe"},
        {root + "x/a.exe", std::nullopt},  // a sibling whose name starts alike
        {"..\\outside\\y.vbs", std::nullopt},
        {"RECYCLER\\..\\x.vbs", std::nullopt},
        {(dir / "outside/y.vbs").string(), std::nullopt},
        {"C:\\WINDOWS\\system32\\cmd.exe", std::nullopt},
        {"E:x.vbs", std::nullopt},
        {"\\\\server\\share\\x.vbs", std::nullopt},
        {"escape\\y.vbs", std::nullopt},       // a folder on the way links out
        {"file\\y.vbs", std::nullopt},         // a file is no folder
        {"escape", root + "/escape"},          // the link itself lies on the drive
        {".", std::nullopt},
        {"", std::nullopt},
        {root, std::nullopt},
        {std::string("a\0b", 3), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(pathInsideDrive(root, c.path), c.inside) << c.path;
    EXPECT_EQ(pathInsideDrive(root + "/", "x.vbs"), root + "/x.vbs");
    EXPECT_EQ(pathInsideDrive("", "x.vbs"), std::nullopt);
}

}  // namespace
}  // namespace vk::tools
