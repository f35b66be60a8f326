#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class VkLog : public ::testing::Test {
protected:
    void SetUp() override {
        program = vk::test::builtProgram("vklog");
        if (program.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    }
    vk::test::ProgramResult run(const std::vector<std::string>& args) {
        return vk::test::runProgram(program, args,
                                    {{"VANDRELKAST_REGISTRY", (dir / "registry").string()},
                                     {"XDG_CONFIG_HOME", (dir / "config").string()},
                                     {"XDG_CONFIG_DIRS", (dir / "xdg").string()},
                                     {"VANDRELKAST_TARGET", "local"}});
    }
    std::string program;
    vk::test::TempDir dir;
};

TEST_F(VkLog, HelpVersionAndUsageErrors) {
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vklog [--target T] [--user NAME] [FILE]"), std::string::npos);
    auto version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vklog (VandrelKast) 1.4.0 Beta\n");
    auto unknown = run({"--bogus"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown option --bogus"), std::string::npos);
    EXPECT_EQ(run({"a.txt", "b.txt"}).status, 2);
}

TEST_F(VkLog, PrintsTheSnapshotWithCrLfLineEnds) {
    auto r = run({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with(std::string(40, '=') + "\r\nVandrelKast Log Agent\r\n"));
    EXPECT_TRUE(r.out.ends_with("\r\n\r\n\r\nFinished logging.\r\n"));
    EXPECT_NE(r.out.find("\r\n" + fs::canonical(program).string() + "\r\n"), std::string::npos);
    // Only CR LF: no bare line feed anywhere.
    for (std::size_t i = 0; i < r.out.size(); ++i) {
        if (r.out[i] == '\n') {
            ASSERT_TRUE(i > 0 && r.out[i - 1] == '\r') << i;
        }
    }
}

TEST_F(VkLog, FileIsWrittenOrTheReasonGiven) {
    auto file = dir / "snap.txt";
    auto r = run({file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(vk::test::readFile(file).ends_with("Finished logging.\r\n"));
    auto bad = run({(dir / "missing/snap.txt").string()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("cannot write " + (dir / "missing/snap.txt").string()), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "registry"));  // a snapshot writes nothing else
}

TEST_F(VkLog, ReadsAWinePrefixAsTarget) {
    fs::create_directories(dir / "prefix" / "drive_c");
    std::ofstream(dir / "prefix" / "system.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n\"Worm\"=\"C:\\\\w.exe\"\n";
    std::ofstream(dir / "prefix" / "user.reg") << "WINE REGISTRY Version 2\n";
    const std::string before = vk::test::readFile(dir / "prefix" / "system.reg");
    auto r = run({"--target=wine:" + (dir / "prefix").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\r\nWorm: C:\\w.exe\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(vk::test::readFile(dir / "prefix" / "system.reg"), before);
    auto bad = run({"--target", "windows:" + (dir / "none").string()});
    EXPECT_EQ(bad.status, 2);
}

}  // namespace

namespace {

TEST_F(VkLog, TheSnapshotOfAWinePrefix) {
    const fs::path prefix = dir / "prefix";
    fs::create_directories(prefix / "drive_c");
    std::ofstream(prefix / "system.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n\"PrefixWorm\"=\"C:\\\\users\\\\w.exe\"\n";
    std::ofstream(prefix / "user.reg") << "WINE REGISTRY Version 2\n";
    auto local = run({});
    auto wine = run({"--target", "wine:" + prefix.string()});
    EXPECT_EQ(wine.status, 0) << wine.err;
    EXPECT_EQ(local.out.find("PrefixWorm"), std::string::npos);
    EXPECT_NE(wine.out.find("C:\\users\\w.exe"), std::string::npos) << wine.out;
}

}  // namespace
