#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/EntryInsideDrive.h"
#include "support/TempDir.h"

using vk::platform::FileDescriptor;
using vk::platform::findEntryInsideDrive;
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
