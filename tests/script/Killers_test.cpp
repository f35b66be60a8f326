// The built-in killers of data/killers/, run on simulated drives: folders
// named as drives in $VANDRELKAST_DRIVES, infected the way the worms do it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <variant>

#include "platform/Registry.h"
#include "platform/linux/RegistryStore.h"
#include "script/Console.h"
#include "script/RegistryAccess.h"
#include "script/ScriptIniEngine.h"
#include "script/host/ScriptHost.h"
#include "support/RunProgram.h"
#include "support/ShellLinkWriter.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::ShellLinkSpec;
using test::shellLinkBytes;

std::string killer(const std::string& name) {
    std::string path = test::builtProgram("killers/" + name);
    return path;
}

// Every file and folder below dir, relative, with file contents.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        std::string rel = it->path().lexically_relative(dir).string();
        if (it->is_symlink()) out[rel] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory()) out[rel] = "<dir>";
        else out[rel] = readFile(it->path());
    }
    return out;
}

class Killers : public ::testing::Test {
protected:
    void SetUp() override {
        if (killer("").empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    }
    vbs::ScriptResult runVbs(const std::string& name) {
        std::string text = readFile(killer(name));
        EXPECT_FALSE(text.empty()) << killer(name);
        ScriptHost host(console);
        return host.runScript(scriptTextFromBytes(text));
    }
    bool consoleHas(const std::string& line) const {
        return ("\r\n" + console.text() + "\r\n").find("\r\n" + line + "\r\n") != std::string::npos;
    }

    test::TempDir dir;
    Console console;
};

TEST_F(Killers, ShortcutWormKillerCleansTheStickAndNothingElse) {
    const fs::path stick = dir / "stick";
    const fs::path other = dir / "fixed";
    const fs::path outside = dir / "outside";
    const std::string root = stick.string();
    // What the worm did: the user's folder and file are still there (hidden
    // on a real stick), a shortcut of the same name beside each, its payload
    // at the root and in a hidden folder, and an autorun file.
    dir.write("stick/Photos/family.jpg", "jpeg");
    dir.write("stick/report.doc", "the user's report");
    dir.write("stick/RECYCLER/S-1-5-21/x.vbs", "worm body");
    dir.write("stick/Photos.exe", "MZ worm copy");
    dir.write("stick/drop.exe", "MZ autorun copy");
    dir.write("stick/autorun.inf", "[autorun]\r\nopen=drop.exe\r\nshellexecute=..\\outside\\victim.exe\r\n");
    dir.write("stick/Photos.lnk",
              shellLinkBytes(ShellLinkSpec().withIdList(std::string(30, '\x01')).withLocalBasePath("C:\\WINDOWS\\system32\\cmd.exe").withRelativePath("..\\..\\WINDOWS\\system32\\cmd.exe").withArguments("/c start \"\" wscript /e:VBScript.Encode RECYCLER\\S-1-5-21\\x.vbs & "
                                           "start explorer Photos & exit").withIconLocation("%SystemRoot%\\system32\\SHELL32.dll")));
    dir.write("stick/report.doc.lnk", shellLinkBytes(ShellLinkSpec().withRelativePath(".\\Photos.exe").singleByte()));
    // Shortcuts that point off the stick: through "..", by an absolute path, and
    // through a link out of the drive.
    dir.write("outside/victim.vbs", "not the stick's");
    dir.write("outside/victim.js", "not the stick's either");
    dir.write("outside/victim.bat", "nor this");
    dir.write("outside/victim.exe", "nor this one");
    fs::create_directory_symlink(outside, stick / "escape");
    dir.write("stick/Evil.lnk", shellLinkBytes(ShellLinkSpec().withRelativePath("..\\outside\\victim.vbs").withArguments((outside / "victim.js").string())));
    dir.write("stick/Sneaky.lnk", shellLinkBytes(ShellLinkSpec().withRelativePath("escape\\victim.bat")));
    // A shortcut of the user's own, to a document, and a fixed drive that is not treated.
    dir.write("stick/Docs/manual.pdf", "pdf");
    dir.write("stick/Manual.lnk", shellLinkBytes(ShellLinkSpec().withRelativePath(".\\Docs\\manual.pdf")));
    dir.write("fixed/Photos.lnk", shellLinkBytes(ShellLinkSpec().withRelativePath("x.vbs")));
    dir.write("fixed/x.vbs", "a fixed drive's own file");
    const auto outsideBefore = snapshot(outside);
    const auto otherBefore = snapshot(other);

    test::ScopedEnv drives("VANDRELKAST_DRIVES", (root + "|1|1;" + other.string() + "|2|1").c_str());
    auto r = runVbs("Shortcut Worm Killer.vks");
    ASSERT_TRUE(r.ok) << r.number << " " << r.description << " line " << r.line << "\n" << console.text();

    auto after = snapshot(stick);
    std::map<std::string, std::string> expected = {
        {"Photos", "<dir>"},
        {"Photos/family.jpg", "jpeg"},
        {"report.doc", "the user's report"},
        {"RECYCLER", "<dir>"},
        {"RECYCLER/S-1-5-21", "<dir>"},
        {"escape", "-> " + outside.string()},
        {"Docs", "<dir>"},
        {"Docs/manual.pdf", "pdf"},
        {"Manual.lnk", readFile(stick / "Manual.lnk")},
    };
    EXPECT_EQ(after, expected) << console.text();
    EXPECT_EQ(snapshot(outside), outsideBefore);
    EXPECT_EQ(snapshot(other), otherBefore);

    for (const std::string& line : {
             "Worm shortcut: " + root + "/Photos.lnk",
             "  Deleted payload: " + root + "/RECYCLER/S-1-5-21/x.vbs",
             "  Deleted shortcut: " + root + "/Photos.lnk",
             "  Deleted payload: " + root + "/Photos.exe",
             "  Left alone (not on " + root + "): ..\\outside\\victim.vbs",
             "  Left alone (not on " + root + "): " + (outside / "victim.js").string(),
             "  Left alone (not on " + root + "): escape\\victim.bat",
             "  Left alone (not on " + root + "): ..\\outside\\victim.exe",
             "  Deleted payload: " + root + "/drop.exe",
             "Deleted autorun file: " + root + "/autorun.inf",
             "Visible again: " + root + "/report.doc",
             std::string("Finished: 1 removable drive(s) checked."),
         })
        EXPECT_TRUE(consoleHas(line)) << line << "\n---\n" << console.text();
    EXPECT_FALSE(consoleHas("Worm shortcut: " + root + "/Manual.lnk"));
}

TEST_F(Killers, ShortcutWormKillerWithoutRemovableDrives) {
    dir.write("fixed/Photos.lnk", shellLinkBytes(ShellLinkSpec().withRelativePath("x.vbs")));
    test::ScopedEnv drives("VANDRELKAST_DRIVES", ((dir / "fixed").string() + "|2|1").c_str());
    auto r = runVbs("Shortcut Worm Killer.vks");
    ASSERT_TRUE(r.ok) << r.description;
    EXPECT_TRUE(consoleHas("No removable drive is connected."));
    EXPECT_TRUE(fs::exists(dir / "fixed/Photos.lnk"));
}

TEST_F(Killers, VaccinationLeavesTheProtectiveFolderOnEveryRemovableDrive) {
    dir.write("a/autorun.inf", "[AutoRun]\r\nOpen=run.exe\r\n");
    dir.write("a/run.exe", "MZ");
    dir.write("b/AUTORUN.INF", "[autorun]\r\nopen=..\\outside\\keep.exe\r\n");
    dir.write("outside/keep.exe", "MZ keep");
    dir.write("c/Autorun.inf/Readme.txt", "old");  // already vaccinated
    dir.write("fixed/autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
    std::string list;
    for (const char* d : {"a", "b", "c"}) list += (dir / d).string() + "|1|1;";
    list += (dir / "fixed").string() + "|2|1";
    test::ScopedEnv drives("VANDRELKAST_DRIVES", list.c_str());
    auto r = runVbs("Vaccinate Removable Drives.vks");
    ASSERT_TRUE(r.ok) << r.description << " line " << r.line << "\n" << console.text();

    const std::string readme =
        "This folder is automatically generated by VandrelKast.\r\n"
        "Please do not remove this folder! Because it will protect your USB flash drive from being infected by "
        "Autorun viruses.\r\n"
        "by: VandrelKast Labs\r\n"
        "\r\n"
        "https://vandrelkast.example.org/\r\n";
    for (const char* d : {"a", "b", "c"}) {
        EXPECT_TRUE(fs::is_directory(dir / d / "Autorun.inf")) << d;
        EXPECT_EQ(readFile(dir / d / "Autorun.inf/Readme.txt"), readme) << d;
    }
    EXPECT_FALSE(fs::exists(dir / "a/run.exe"));
    EXPECT_FALSE(fs::exists(dir / "b/AUTORUN.INF"));
    EXPECT_EQ(readFile(dir / "outside/keep.exe"), "MZ keep");
    EXPECT_TRUE(consoleHas("Left alone (not on " + (dir / "b").string() + "): ..\\outside\\keep.exe")) << console.text();
    EXPECT_TRUE(fs::is_regular_file(dir / "fixed/autorun.inf"));
    EXPECT_TRUE(consoleHas("Finished: 3 removable drive(s) vaccinated."));
}

TEST_F(Killers, RestoreSystemToolsUndoesThePolicies) {
    test::TempDir store;
    platform::RegistryStore registry(store.str());
    platform::setSystemRegistry(&registry);
    const std::string policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
    const std::string advanced = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
    for (platform::RegHandle root : {platform::kHkeyCurrentUser, platform::kHkeyLocalMachine}) {
        setRegValue("1", platform::kRegDword, policies + "\\System", "DisableTaskMgr", root);
        setRegValue("1", platform::kRegDword, policies + "\\System", "DisableRegistryTools", root);
        setRegValue("1", platform::kRegDword, policies + "\\Explorer", "NoFolderOptions", root);
    }
    setRegValue("1", platform::kRegDword, policies + "\\System", "NoDispCPL", platform::kHkeyCurrentUser);
    setRegValue("2", platform::kRegDword, advanced, "Hidden", platform::kHkeyCurrentUser);
    setRegValue("1", platform::kRegDword, advanced, "HideFileExt", platform::kHkeyCurrentUser);
    setRegValue("0", platform::kRegDword, advanced + "\\Folder\\Hidden\\SHOWALL", "CheckedValue",
                platform::kHkeyLocalMachine);

    ScriptIniEngine engine;
    engine.setConsole(&console);
    engine.runIniKastScript(killer("Restore System Tools.vki"));

    auto number = [](platform::RegHandle root, const std::string& key, const char* name) -> std::string {
        auto v = getRegValue(root, key, name);
        if (std::holds_alternative<std::int32_t>(v)) return std::to_string(std::get<std::int32_t>(v));
        return "missing";
    };
    for (platform::RegHandle root : {platform::kHkeyCurrentUser, platform::kHkeyLocalMachine}) {
        EXPECT_EQ(number(root, policies + "\\System", "DisableTaskMgr"), "missing");
        EXPECT_EQ(number(root, policies + "\\System", "DisableRegistryTools"), "missing");
        EXPECT_EQ(number(root, policies + "\\Explorer", "NoFolderOptions"), "missing");
    }
    EXPECT_EQ(number(platform::kHkeyCurrentUser, policies + "\\System", "NoDispCPL"), "1");  // not its business
    EXPECT_EQ(number(platform::kHkeyCurrentUser, advanced, "Hidden"), "1");
    EXPECT_EQ(number(platform::kHkeyCurrentUser, advanced, "ShowSuperHidden"), "1");
    EXPECT_EQ(number(platform::kHkeyCurrentUser, advanced, "HideFileExt"), "0");
    EXPECT_EQ(number(platform::kHkeyLocalMachine, advanced + "\\Folder\\Hidden\\SHOWALL", "CheckedValue"), "1");
    EXPECT_NE(console.text().find("Repair finished."), std::string::npos);
    platform::setSystemRegistry(nullptr);
}

}  // namespace
}  // namespace vk::script
