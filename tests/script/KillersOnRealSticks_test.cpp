// The shortcut worm killer on real stick file systems (FAT and NTFS images),
// where the worm's hidden and system attributes are stored and can be seen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/FileAttributes.h"
#include "script/Console.h"
#include "script/host/ScriptHost.h"
#include "support/LoopFileSystem.h"
#include "support/RunProgram.h"
#include "support/ShellLinkWriter.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

namespace fs = std::filesystem;
using platform::kAttrHidden;
using platform::kAttrSystem;
using test::LoopFileSystem;
using test::ShellLinkSpec;

std::optional<std::uint32_t> attributesOf(const fs::path& path) {
    int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return std::nullopt;
    auto a = platform::fileAttributesAt(dir, path.filename().string());
    ::close(dir);
    return a;
}

bool hide(const fs::path& path) {
    int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    bool ok = platform::setFileAttributesAt(dir, path.filename().string(), kAttrHidden | kAttrSystem);
    ::close(dir);
    return ok;
}

void cleanStick(LoopFileSystem::Kind kind) {
    const std::string script = test::builtProgram("killers/Shortcut Worm Killer.vks");
    if (script.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    LoopFileSystem stick(kind);
    if (!stick.mounted()) GTEST_SKIP() << stick.skipReason();
    const fs::path root = stick.root();
    test::TempDir outside;
    auto victim = outside.write("victim.vbs", "not the stick's");

    fs::create_directories(root / "Photos");
    test::TempDir scratch;
    fs::copy_file(scratch.write("family.jpg", "jpeg"), root / "Photos/family.jpg");
    fs::copy_file(scratch.write("report.doc", "report"), root / "report.doc");
    fs::create_directories(root / "RECYCLER");
    fs::copy_file(scratch.write("x.vbs", "worm"), root / "RECYCLER/x.vbs");
    auto link = [&](const std::string& name, const ShellLinkSpec& spec) {
        fs::copy_file(scratch.write(name, test::shellLinkBytes(spec)), root / name);
    };
    link("Photos.lnk", ShellLinkSpec()
                           .withLocalBasePath("C:\\WINDOWS\\system32\\cmd.exe")
                           .withArguments("/c start wscript /e:VBScript RECYCLER\\x.vbs & start explorer Photos"));
    link("report.doc.lnk", ShellLinkSpec().withRelativePath(victim.string()));
    for (const char* name : {"Photos", "report.doc", "RECYCLER"}) ASSERT_TRUE(hide(root / name)) << name;
    ASSERT_EQ(attributesOf(root / "Photos").value_or(0) & (kAttrHidden | kAttrSystem), kAttrHidden | kAttrSystem);

    test::ScopedEnv drives("VANDRELKAST_DRIVES", (root.string() + "|1|1").c_str());
    Console console;
    ScriptHost host(console);
    auto r = host.runScript(scriptTextFromBytes(test::readFile(script)));
    ASSERT_TRUE(r.ok) << r.description << " line " << r.line << "\n" << console.text();

    EXPECT_FALSE(fs::exists(root / "Photos.lnk"));
    EXPECT_FALSE(fs::exists(root / "report.doc.lnk"));
    EXPECT_FALSE(fs::exists(root / "RECYCLER/x.vbs"));
    EXPECT_EQ(test::readFile(victim), "not the stick's");
    EXPECT_EQ(test::readFile(root / "Photos/family.jpg"), "jpeg");
    for (const char* name : {"Photos", "report.doc", "RECYCLER"}) {
        auto a = attributesOf(root / name);
        ASSERT_TRUE(a) << name;
        EXPECT_EQ(*a & (kAttrHidden | kAttrSystem), 0u) << name << "\n" << console.text();
    }
    EXPECT_NE(console.text().find("Left alone (not on " + root.string() + "): " + victim.string()), std::string::npos)
        << console.text();
}

TEST(KillersOnRealSticks, ShortcutWormOnFat) { cleanStick(LoopFileSystem::Kind::Fat); }
TEST(KillersOnRealSticks, ShortcutWormOnNtfs) { cleanStick(LoopFileSystem::Kind::Ntfs); }

}  // namespace
}  // namespace vk::script
