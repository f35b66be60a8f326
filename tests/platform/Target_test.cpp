#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Registry.h"
#include "platform/SpecialFolders.h"
#include "platform/Target.h"
#include "support/TempDir.h"

using namespace vk::platform;
using vk::test::ScopedEnv;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

// A prefix Wine would recognise, with drive links as winecfg makes them.
fs::path makePrefix(const fs::path& at) {
    fs::create_directories(at / "drive_c" / "windows" / "system32");
    fs::create_directories(at / "dosdevices");
    std::ofstream(at / "system.reg") << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
                                        "[Software\\\\Wine] 1\n\"Version\"=\"win10\"\n";
    std::ofstream(at / "user.reg") << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-1\n";
    fs::create_symlink("../drive_c", at / "dosdevices" / "c:");
    fs::create_symlink("/media/stick", at / "dosdevices" / "e:");
    fs::create_symlink("/dev/sr0", at / "dosdevices" / "d::");
    return at;
}

fs::path makeWindows(const fs::path& at) {
    fs::create_directories(at / "WINDOWS" / "system32" / "CONFIG");
    std::ofstream(at / "WINDOWS" / "system32" / "CONFIG" / "software") << "";
    return at;
}

}  // namespace

TEST(Target, SpecsAreParsedAndChecked) {
    TempDir dir;
    const fs::path prefix = makePrefix(dir / "prefix");
    const fs::path windows = makeWindows(dir / "win");
    struct Case {
        std::string spec;
        bool ok;
        Target::Kind kind;
        std::string error;
    };
    const Case cases[] = {
        {"local", true, Target::Kind::Local, ""},
        {"wine:" + prefix.string() + "/", true, Target::Kind::Wine, ""},
        {"windows:" + windows.string(), true, Target::Kind::Windows, ""},
        {"wine:" + windows.string(), false, Target::Kind::Local, windows.string() + " is not a Wine prefix (it has no system.reg)"},
        {"windows:" + prefix.string(), false, Target::Kind::Local,
         prefix.string() + " holds no Windows installation (no Windows/System32/config/SOFTWARE)"},
        {"windows:" + (dir / "nothing").string(), false, Target::Kind::Local, (dir / "nothing").string() + " is not a folder"},
        {"wine:", false, Target::Kind::Local, "the target \"wine:\" names no folder"},
        {"mac:/x", false, Target::Kind::Local, "the target must be local, wine:PREFIX or windows:ROOT, not \"mac:/x\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        std::string error;
        auto t = parseTarget(c.spec, &error);
        ASSERT_EQ(t.has_value(), c.ok) << error;
        if (c.ok) EXPECT_EQ(t->kind, c.kind);
        else EXPECT_EQ(error, c.error);
    }
    auto wine = parseTarget("wine:" + prefix.string());
    EXPECT_EQ(wine->path, prefix.string());  // the trailing slash is gone
    EXPECT_EQ(wine->systemDrive(), (prefix / "drive_c").string());
}

TEST(Target, DriveLettersComeFromTheTarget) {
    TempDir dir;
    auto wine = parseTarget("wine:" + makePrefix(dir / "prefix").string());
    auto letters = targetDriveLetters(*wine);
    ASSERT_EQ(letters.size(), 2u);  // the raw device d:: is no drive
    EXPECT_EQ(letters['c'], (dir / "prefix" / "drive_c").string());
    EXPECT_EQ(letters['e'], "/media/stick");
    auto windows = parseTarget("windows:" + makeWindows(dir / "win").string());
    EXPECT_EQ(targetDriveLetters(*windows), (std::map<char, std::string>{{'c', (dir / "win").string()}}));
    EXPECT_TRUE(targetDriveLetters(Target{}).empty());
}

TEST(Target, PrefixesAndMountedWindowsAreFound) {
    TempDir dir;
    makePrefix(dir / "home" / ".wine");
    makePrefix(dir / "home" / ".local/share/wineprefixes/office");
    fs::create_directories(dir / "home" / ".local/share/wineprefixes/empty");
    makePrefix(dir / "elsewhere");
    makeWindows(dir / "mnt" / "win");
    ScopedEnv home("HOME", (dir / "home").c_str());
    ScopedEnv prefix("WINEPREFIX", (dir / "elsewhere").c_str());
    ScopedEnv drives("VANDRELKAST_DRIVES", ((dir / "mnt" / "win").string() + "|2|1;" + dir.str() + "|2|1").c_str());
    std::vector<std::string> found;
    for (const auto& t : discoverTargets()) found.push_back(t.spec());
    EXPECT_EQ(found, (std::vector<std::string>{"wine:" + (dir / "elsewhere").string(),
                                               "wine:" + (dir / "home" / ".wine").string(),
                                               "wine:" + (dir / "home" / ".local/share/wineprefixes/office").string(),
                                               "windows:" + (dir / "mnt" / "win").string()}));
}

TEST(Target, AnActiveTargetServesTheRegistryAndTheWindowsFolder) {
    TempDir dir;
    auto wine = parseTarget("wine:" + makePrefix(dir / "prefix").string());
    ScopedEnv windows("VANDRELKAST_WINDOWS", nullptr);
    ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    {
        ActiveTarget active(*wine, nullptr);
        EXPECT_EQ(windowsDirectory(), (dir / "prefix" / "drive_c" / "windows").string());
        RegHandle h;
        ASSERT_EQ(systemRegistry().openKey(kHkeyLocalMachine, "Software\\Wine", kKeyRead, h), kErrorSuccess);
        std::uint32_t type = 0;
        std::string version;
        EXPECT_EQ(systemRegistry().queryValue(h, "Version", type, version), kErrorSuccess);
        EXPECT_EQ(version, std::string("win10\0", 6));
        systemRegistry().closeKey(h);
    }
    EXPECT_EQ(windowsDirectory(), "");
}
