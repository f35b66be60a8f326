#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/EntryInsideDrive.h"
#include "support/TempDir.h"

using vk::platform::FileDescriptor;
using vk::platform::findEntryInsideDrive;
using vk::platform::pathInsideDrive;
namespace fs = std::filesystem;

TEST(EntryInsideDrive, NamesAreFoundAsWindowsWouldAndAmbiguityIsRefused) {
    vk::test::TempDir drive;
    fs::create_directories(drive / "Sub Dir");
    for (const char* name : {"Sub Dir/Worm.exe", "Sub Dir/WORM.exe", "Sub Dir/only.vbs"}) std::ofstream(drive / name) << "x";
    FileDescriptor root = FileDescriptor::openDirectory(drive.str());
    struct Case {
        const char* path;
        const char* found;  // "" when refused
        const char* whyNot;
    };
    const Case cases[] = {
        {"sub dir\\ONLY.VBS", "only.vbs", ""},
        {"\"Sub Dir/./only.vbs\"", "only.vbs", ""},
        {"Sub Dir\\\\Worm.exe", "Worm.exe", ""},  // the exact name wins over its twin
        {"sub dir\\worm.EXE", "", "two entries differ only in letter case"},
        {"Sub Dir\\missing.exe", "", "not found"},
        {"nowhere\\x.exe", "", "not found"},
        {"", "", "empty path"},
        {"\\\\server\\share\\x.exe", "", "an absolute path"},
        {".", "", "the drive itself"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string whyNot;
        auto entry = findEntryInsideDrive(root, c.path, &whyNot);
        if (*c.found) {
            ASSERT_TRUE(entry) << whyNot;
            EXPECT_EQ(entry->name, c.found);
        } else {
            EXPECT_FALSE(entry);
            EXPECT_EQ(whyNot, c.whyNot);
        }
    }
}

TEST(PathInsideDrive, OnlyPathsThatStayOnTheDriveAndNamesAsTheyAreOnDisk) {
    vk::test::TempDir dir;
    const std::string root = (dir / "stick").string();
    dir.write("stick/RECYCLER/x.vbs", "x");
    dir.write("stick/file", "x");
    dir.write("outside/y.vbs", "y");
    std::filesystem::create_directories(dir / "stick" / "Twin");
    std::filesystem::create_directories(dir / "stick" / "TWIN");
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
        {"recycler\\X.VBS", root + "/RECYCLER/x.vbs"},  // names as the drive holds them
        {"recycler\\new\\z.exe", root + "/RECYCLER/new/z.exe"},
        {"twin\\a.exe", std::nullopt},            // Twin and TWIN: which one is meant?
    };
    for (const Case& c : cases) EXPECT_EQ(pathInsideDrive(root, c.path), c.inside) << c.path;
    EXPECT_EQ(pathInsideDrive(root + "/", "x.vbs"), root + "/x.vbs");
    EXPECT_EQ(pathInsideDrive("", "x.vbs"), std::nullopt);
}
