#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "InstallLayout.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using vk::test::ScopedEnv;
using vk::test::TempDir;

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
    return names;
}

// The install rules and the program-folder lookup agree: a command installed
// into a fresh prefix finds the database and killers installed with it.
TEST(InstalledLayout, InstalledScannerUsesTheInstalledDatabase) {
    const std::string built = vk::test::builtProgram("vkscan");
    if (built.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    TempDir prefix, user, tree;
    auto install = vk::test::runProgram(VK_CMAKE_COMMAND, {"--install", VK_BINARY_DIR, "--prefix", prefix.str()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;

    const fs::path bin = prefix / vk::platform::kInstallBinDir;
    const fs::path data = prefix / vk::platform::kInstallDataDir / "vandrelkast";
    ASSERT_TRUE(fs::is_regular_file(bin / "vkscan"));
    EXPECT_FALSE(fs::exists(bin / "signatures.dat"));
    ASSERT_TRUE(fs::is_regular_file(data / "signatures.dat"));
    EXPECT_EQ(namesIn(data / "killers"), namesIn(fs::path(VK_BINARY_DIR) / "bin" / "killers"));
    EXPECT_FALSE(namesIn(data / "killers").empty());

    tree.write("sample.exe", "X5O-EICAR-STANDARD-ANTIVIRUS-TEST-FILE!");
    ScopedEnv home("VANDRELKAST_HOME", nullptr);
    const std::vector<std::pair<std::string, std::string>> env = {
        {"HOME", user.str()}, {"XDG_CONFIG_HOME", user.str()}, {"XDG_DATA_HOME", user.str()}};
    auto installed = vk::test::runProgram((bin / "vkscan").string(), {"--action", "report", tree.str()}, env);
    // The same database named outright, with nothing else from the build tree.
    TempDir emptyHome;
    auto reference = vk::test::runProgram(
        built, {"--database", VK_BINARY_DIR "/bin/signatures.dat", "--action", "report", tree.str()},
        {{"VANDRELKAST_HOME", emptyHome.str()}, {"HOME", user.str()}, {"XDG_CONFIG_HOME", user.str()},
         {"XDG_DATA_HOME", user.str()}});
    EXPECT_EQ(installed.status, 1) << installed.err;
    EXPECT_NE(installed.out.find("EICAR"), std::string::npos) << installed.out;
    auto head = [](const std::string& out) { return out.substr(0, out.find("Time:")); };
    EXPECT_EQ(head(installed.out), head(reference.out));
}

}  // namespace
