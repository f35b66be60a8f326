#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/linux/WineRegistry.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using namespace vk::platform;
namespace fs = std::filesystem;

namespace {

std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view list = path ? path : "";
    while (!list.empty()) {
        const auto colon = list.find(':');
        const fs::path candidate = fs::path(std::string(list.substr(0, colon))) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return {};
}

}  // namespace

// Wine's own reg command reads what we wrote into its prefix, and we read what it wrote.
TEST(WineRegCommand, WineAndWeReadEachOthersChanges) {
    const std::string wine = onPath("wine");
    const std::string server = onPath("wineserver");
    if (wine.empty() || server.empty()) GTEST_SKIP() << "wine is not installed (the check needs wine and wineserver on PATH)";
    vk::test::TempDir dir;
    const std::string prefix = (dir / "prefix").string();
    const std::vector<std::pair<std::string, std::string>> env = {
        {"WINEPREFIX", prefix}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}, {"DISPLAY", ""}};
    const char* key = "HKLM\\Software\\VandrelKastCheck";
    auto added = vk::test::runProgram(wine, {"reg", "add", key, "/v", "Before", "/d", "from wine", "/f"}, env);
    ASSERT_EQ(added.status, 0) << added.err;
    // The server writes the registry files when it ends.
    ASSERT_EQ(vk::test::runProgram(server, {"-w"}, env).status, 0);
    {
        vk::test::ScopedEnv backups("XDG_DATA_HOME", (dir / "data").c_str());
        WineRegistry reg(prefix, nullptr);
        RegHandle h = 0;
        ASSERT_EQ(reg.openKey(kHkeyLocalMachine, "Software\\VandrelKastCheck", kKeyAllAccess, h), kErrorSuccess);
        std::uint32_t type = 0;
        std::string data;
        ASSERT_EQ(reg.queryValue(h, "Before", type, data), kErrorSuccess);
        EXPECT_EQ(type, kRegSz);
        EXPECT_EQ(data, std::string("from wine\0", 10));
        ASSERT_EQ(reg.setValue(h, "After", kRegSz, std::string("from us\0", 8)), kErrorSuccess);
        reg.closeKey(h);
        ASSERT_TRUE(reg.flush());
    }
    auto query = vk::test::runProgram(wine, {"reg", "query", key}, env);
    vk::test::runProgram(server, {"-k"}, env);
    ASSERT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.out.find("After"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("from us"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("from wine"), std::string::npos) << query.out;
}
