#include "support/WindowsTree.h"

#include <unistd.h>

#include <fstream>

#include "support/RunProgram.h"
#include "support/SharedFixtures.h"

namespace vk::test {

namespace fs = std::filesystem;

namespace {
constexpr const char* kRegedit = "/usr/bin/hivexregedit";
}

WindowsTree::WindowsTree(const fs::path& root, const char* config, const char* users)
    : root_(root), config_(root / config), users_(root / users) {
    fs::create_directories(config_);
}

bool WindowsTree::toolsAvailable() { return ::access(kRegedit, X_OK) == 0; }

bool WindowsTree::make(const fs::path& hive, const std::string& keys, const char* from) const {
    fs::create_directories(hive.parent_path());
    const fs::path fixture = sharedFixture(from);
    if (fixture.empty()) return false;
    fs::copy_file(fixture, hive, fs::copy_options::overwrite_existing);
    fs::permissions(hive, fs::perms::owner_read | fs::perms::owner_write);
    if (keys.empty()) return true;
    const fs::path reg = hive.string() + ".reg";
    std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n" << keys;
    const bool ok = runProgram(kRegedit, {"--merge", hive.string(), reg.string()}).status == 0;
    fs::remove(reg);
    return ok;
}

std::string WindowsTree::exported(const fs::path& hive) {
    return runProgram(kRegedit, {"--export", hive.string(), "\\"}).out;
}

}  // namespace vk::test
