#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "ScriptIniEngineTestSupport.h"
#include "platform/SpecialFolders.h"
#include "platform/Target.h"
#include "platform/WindowsPath.h"
#include "script/Console.h"
#include "script/host/ScriptHost.h"
#include "support/SharedFixtures.h"
#include "support/TempDir.h"
#include "support/WindowsTree.h"

using namespace vk::platform;
using vk::test::ScopedEnv;
using vk::test::TempDir;
using vk::test::WindowsTree;
namespace fs = std::filesystem;

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// .reg hex of a REG_SZ as Windows stores it (UTF-16LE, with its NUL).
std::string utf16Hex(const std::string& ascii) {
    std::string out = "hex(1):";
    char byte[8];
    for (char c : ascii + '\0') {
        std::snprintf(byte, sizeof byte, "%02x,00,", static_cast<unsigned char>(c));
        out += byte;
    }
    out.pop_back();
    return out;
}

// A Windows root or a Wine prefix whose user "cy" keeps the Startup folder
// where the Shell Folders value says, and a D: leading out of the prefix.
struct TargetTree {
    Target target;
    fs::path systemDrive;  // what C: stands for
    fs::path profile;
    std::string skip;
    bool failed = false;

    TargetTree(Target::Kind kind, const TempDir& dir) {
        if (kind == Target::Kind::Windows) {
            if (vk::test::sharedFixture("hives/minimal").empty() || !WindowsTree::toolsAvailable()) {
                skip = "the shared hive fixtures or hivexregedit (libwin-hivex-perl) are missing";
                return;
            }
            WindowsTree tree(dir / "win");
            systemDrive = dir / "win";
            profile = systemDrive / "Users" / "Cy";
            std::string keys;
            std::string path;
            for (const char* part : {"Software", "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell Folders"}) {
                path += std::string("\\") + part;
                keys += (keys.empty() ? "[" : "\n[") + path + "]\n";
            }
            keys += "\"Startup\"=" + utf16Hex("C:\\USERS\\cy\\My Startup") + "\n";
            if (!tree.make(tree.hive("SOFTWARE"), "") || !tree.make(tree.userHive("Cy"), keys)) failed = true;
            fs::create_directories(systemDrive / "Windows" / "System32");
        } else {
            systemDrive = dir / "prefix" / "drive_c";
            profile = systemDrive / "users" / "cy";
            fs::create_directories(systemDrive / "windows" / "system32");
            fs::create_directories(systemDrive / "users" / "Public" / "Desktop");
            fs::create_directories(dir / "prefix" / "dosdevices");
            fs::create_symlink("../drive_c", dir / "prefix" / "dosdevices" / "c:");
            fs::create_symlink((dir / "stick").string(), dir / "prefix" / "dosdevices" / "d:");
            std::ofstream(dir / "prefix" / "system.reg") << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n";
            std::ofstream(dir / "prefix" / "user.reg")
                << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-1\n\n#arch=win64\n\n"
                   "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1700000000\n"
                   "#time=1d9a1b2c3d4e5f6\n\"Startup\"=\"C:\\\\users\\\\CY\\\\My Startup\"\n";
        }
        for (const char* folder : {"My Startup", "Desktop", "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"})
            fs::create_directories(profile / folder);
        fs::create_directories(systemDrive / "ProgramData/Microsoft/Windows/Start Menu/Programs/Startup");
        fs::create_directories(profile.parent_path() / "Public" / "Desktop");
        target = *parseTarget((kind == Target::Kind::Wine ? "wine:" : "windows:") +
                              (kind == Target::Kind::Wine ? dir / "prefix" : systemDrive).string());
    }
};

class TargetPaths : public ::testing::TestWithParam<Target::Kind> {
protected:
    void SetUp() override {
        // On this computer C: is another folder that holds the same names.
        dir.write("local/WINDOWS/system32/evil.exe", "keep");
        drives_ = std::make_unique<ScopedEnv>("VANDRELKAST_DRIVES", ((dir / "local").string() + "|3|1|C").c_str());
        tree_ = std::make_unique<TargetTree>(GetParam(), dir);
        if (!tree_->skip.empty()) GTEST_SKIP() << tree_->skip;
        ASSERT_FALSE(tree_->failed) << "hivexregedit could not build the hives";
    }

    TempDir dir;
    ScopedEnv data{"XDG_DATA_HOME", (dir / "data").c_str()};
    ScopedEnv user{"USER", nullptr};
    ScopedEnv windows{"VANDRELKAST_WINDOWS", nullptr};
    std::unique_ptr<ScopedEnv> drives_;
    std::unique_ptr<TargetTree> tree_;
};

}  // namespace

TEST_P(TargetPaths, ScriptsDeleteWindowsPathsInsideTheTarget) {
    const fs::path evil = tree_->systemDrive / (GetParam() == Target::Kind::Wine ? "windows/system32" : "Windows/System32");
    const fs::path local = dir / "local" / "WINDOWS" / "system32" / "evil.exe";
    const bool wine = GetParam() == Target::Kind::Wine;
    {
        ActiveTarget active(tree_->target, nullptr);
        dir.write((evil / "evil.exe").lexically_relative(dir.path()).string(), "MZ");
        dir.write("stick/Payload.dll", "MZ");
        vk::script::testing::EngineHarness h;
        h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=2\r\n"
              "DeleteFile1=C:\\WINDOWS\\system32\\EVIL.exe\r\nDeleteFile2=d:\\PAYLOAD.DLL\r\n");
        EXPECT_FALSE(fs::exists(evil / "evil.exe"));
        // A dosdevices link is followed out of the prefix as Wine follows it; a Windows root has no D:.
        EXPECT_EQ(fs::exists(dir / "stick" / "Payload.dll"), !wine);

        dir.write((evil / "evil.exe").lexically_relative(dir.path()).string(), "MZ");
        vk::script::Console console;
        vk::script::ScriptHost host{console};
        auto r = host.runScript("CreateObject(\"Scripting.FileSystemObject\").DeleteFile \"c:\\Windows\\SYSTEM32\\Evil.Exe\"");
        EXPECT_TRUE(r.ok) << r.description;
        EXPECT_FALSE(fs::exists(evil / "evil.exe"));
    }
    EXPECT_TRUE(fs::exists(local));
    // The computer's own letters are back.
    EXPECT_EQ(resolveWindowsPath("C:\\windows\\SYSTEM32\\evil.exe").path, local.string());
}

TEST_P(TargetPaths, SpecialFoldersAreThoseOfTheTargetsUser) {
    const fs::path profile = tree_->profile;
    {
        ActiveTarget active(tree_->target, nullptr);
        struct Case {
            int csidl;
            fs::path expected;  // "" = the folder does not exist there
        };
        const Case cases[] = {
            {kCsidlStartup, profile / "My Startup"},  // from Shell Folders
            {kCsidlDesktop, profile / "Desktop"},
            {kCsidlPrograms, profile / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"},
            {kCsidlAppData, profile / "AppData/Roaming"},
            {kCsidlProfile, profile},
            {kCsidlPersonal, ""},
            {kCsidlCommonStartup, tree_->systemDrive / "ProgramData/Microsoft/Windows/Start Menu/Programs/Startup"},
            {kCsidlCommonDesktopDirectory, profile.parent_path() / "Public" / "Desktop"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.csidl);
            EXPECT_EQ(specialFolderPath(c.csidl), c.expected.string());
        }
        const fs::path windows = tree_->systemDrive / (GetParam() == Target::Kind::Wine ? "windows" : "Windows");
        EXPECT_EQ(windowsDirectory(), windows.string());
        EXPECT_EQ(systemDirectory(), (windows / (GetParam() == Target::Kind::Wine ? "system32" : "System32")).string());

        dir.write((profile / "My Startup" / "evil.lnk").lexically_relative(dir.path()).string(), "L");
        vk::script::testing::EngineHarness h;
        h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=1\r\nDeleteFile1=<startup>\\evil.lnk\r\n");
        EXPECT_FALSE(fs::exists(profile / "My Startup" / "evil.lnk"));
    }
    EXPECT_NE(specialFolderPath(kCsidlProfile), profile.string());
}

INSTANTIATE_TEST_SUITE_P(Targets, TargetPaths, ::testing::Values(Target::Kind::Windows, Target::Kind::Wine),
                         [](const auto& info) { return info.param == Target::Kind::Wine ? "Wine" : "Windows"; });
