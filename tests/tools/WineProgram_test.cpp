#include "tools/WineProgram.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "tools/ExecutableRemoval.h"
#include "tools/ProcessList.h"

namespace vk::tools {
namespace {

namespace fs = std::filesystem;

std::int64_t indexOfProcess(const ProcessList& list, pid_t pid) {
    for (std::int32_t i = 0; i <= list.count(); ++i)
        if (list.processID(i) == static_cast<std::uint32_t>(pid)) return i;
    return -1;
}

// A prefix as winecfg leaves it, its program in another letter case than the command line writes it.
fs::path makePrefix(const test::TempDir& dir, const fs::path& at) {
    fs::create_directories(at / "dosdevices");
    fs::create_symlink("../drive_c", at / "dosdevices" / "c:");
    fs::create_symlink((dir / "stick").string(), at / "dosdevices" / "e:");
    dir.write((at / "drive_c" / "windows" / "evil.exe").lexically_relative(dir.path()).string(), "MZ");
    dir.write("stick/Tools/Run.exe", "MZ");
    return at;
}

}  // namespace

TEST(WineProgram, AProgramUnderWineIsListedWithItsWindowsFile) {
    test::TempDir dir;
    const fs::path prefix = makePrefix(dir, dir / "prefix");
    const fs::path homePrefix = makePrefix(dir, dir / "home" / ".wine");
    const std::string big(100000, 'x');
    std::vector<std::string> hugeEnvironment(15, "FILLER=" + big);  // past the 1 MiB read
    hugeEnvironment.push_back("WINEPREFIX=" + prefix.string());
    struct Case {
        const char* what;
        const char* loader;
        std::string argv0;
        std::vector<std::string> environment;
        std::string listed;  // "" = the loader's own file
    };
    const Case cases[] = {
        {"C: through the prefix", "wine64-preloader", "C:\\WINDOWS\\Evil.EXE", {"WINEPREFIX=" + prefix.string()},
         (prefix / "drive_c" / "windows" / "evil.exe").string()},
        {"a dosdevices letter", "wine-preloader", "e:\\tools\\run.exe", {"WINEPREFIX=" + prefix.string()},
         (dir / "stick" / "Tools" / "Run.exe").string()},
        {"~/.wine of its HOME", "wine64", "c:\\windows\\evil.exe", {"HOME=" + (dir / "home").string()},
         (homePrefix / "drive_c" / "windows" / "evil.exe").string()},
        {"a Unix path", "wine", (dir / "stick" / "Tools" / "Run.exe").string(), {},
         (dir / "stick" / "Tools" / "Run.exe").string()},
        {"a Unix path that is no Windows program", "wine", "/etc/passwd", {"WINEPREFIX=" + prefix.string()}, ""},
        {"a wine-named program running an .exe", "wine-staging", "C:\\windows\\evil.exe",
         {"WINEPREFIX=" + prefix.string()}, (prefix / "drive_c" / "windows" / "evil.exe").string()},
        {"no loader", "sleeper", "C:\\windows\\evil.exe", {"WINEPREFIX=" + prefix.string()}, ""},
        {"a prefix beyond the bounded read", "wine64-preloader", "C:\\windows\\evil.exe", hugeEnvironment, ""},
        {"a relative prefix", "wine64-preloader", "C:\\windows\\evil.exe", {"WINEPREFIX=prefix"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path loader = test::copyProgram(dir, std::string("bin/") + c.loader);
        test::ChildProcess child(loader, {c.argv0, "30"}, c.environment);
        ASSERT_TRUE(child.started());
        ProcessList list;
        const std::int64_t index = indexOfProcess(list, child.pid());
        ASSERT_GE(index, 0);
        EXPECT_EQ(list.exePath(index), c.listed.empty() ? loader.string() : c.listed);
    }
}

TEST(WineProgram, TheWindowsProgramIsEndedAndItsFileDeleted) {
    test::TempDir dir;
    const fs::path prefix = makePrefix(dir, dir / "prefix");
    const fs::path program = prefix / "drive_c" / "windows" / "evil.exe";
    const fs::path loader = test::copyProgram(dir, "bin/wine64-preloader");
    test::ChildProcess child(loader, {"C:\\windows\\EVIL.exe", "30"}, {"WINEPREFIX=" + prefix.string()});
    ASSERT_TRUE(child.started());
    ProcessList list;
    const std::int64_t index = indexOfProcess(list, child.pid());
    ASSERT_GE(index, 0);
    ASSERT_EQ(list.exePath(index), program.string());
    EXPECT_FALSE(list.exeMatches(index, loader.string()));
    EXPECT_TRUE(list.exeMatches(index, (prefix / "DRIVE_C" / "Windows" / "Evil.exe").string()));
    EXPECT_TRUE(list.terminateProcessItem(index));
    EXPECT_TRUE(child.reapedByKill());
    EXPECT_TRUE(deleteExecutable(list.exePath(index), list.executableIdentity(index)));
    EXPECT_FALSE(fs::exists(program));
    EXPECT_TRUE(fs::exists(loader));
}

TEST(WineProgram, ProcFilesAreReadOnlyUpToTheLimit) {
    test::TempDir dir;
    const fs::path file = dir.write("big", std::string(5000, 'a') + "end");
    EXPECT_EQ(readProcFile(file.string(), 4096)->size(), 4096u);
    EXPECT_EQ(readProcFile(file.string())->size(), 5003u);
    EXPECT_FALSE(readProcFile((dir / "missing").string()).has_value());
}

}  // namespace vk::tools
