#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>

#include "ScriptIniEngineTestSupport.h"
#include "platform/IniProfile.h"
#include "platform/Registry.h"
#include "platform/linux/RegistryStore.h"
#include "checksum/Md5.h"
#include "script/IniFile.h"
#include "script/RegistryAccess.h"
#include "script/WizardScript.h"

namespace vk::script {
namespace {

namespace fs = std::filesystem;

TEST(WizardScript, CompileNameGetsVkiOnlyWhenMissing) {
    const std::pair<const char*, const char*> cases[] = {{"myscript", "myscript.vki"},
                                                         {"myscript.vki", "myscript.vki"},
                                                         {"/a/B.VKI", "/a/B.VKI"},
                                                         {"x.vks", "x.vks.vki"},
                                                         {"vki", "vki.vki"}};
    for (const auto& [chosen, name] : cases) EXPECT_EQ(compileFileName(chosen), name) << chosen;
}

TEST(WizardScript, DriveTypeNumbers) {
    const std::pair<const char*, const char*> cases[] = {
        {"All Types", "6"}, {"Fixed Drives", "2"}, {"Removable Drives", "1"}, {"removable drives", "6"}, {"", "6"}};
    for (const auto& [text, number] : cases) EXPECT_EQ(disinfectDriveType(text), number) << text;
}

TEST(WizardScript, WritesEveryKeyInOrderWithNotAvailableAsEmpty) {
    test::TempDir dir;
    WizardScript s;
    s.title = "T";
    s.threatName = "W";
    s.version = "V";
    s.copyright = "C";
    s.terminateWScript = true;
    s.processes = {{"n/a", "ABC"}, {"/usr/bin/worm", "n/a"}};
    s.deleteFiles = {"<WINDIR>\\a.exe"};
    s.registryChanges = {{"HKCU\\K\\V", "1", "REG_DWORD"}};
    s.registryDeleteKeys = {"HKCU\\Software\\Worm"};
    s.driveTypes = "Removable Drives";
    s.runScan = true;
    s.fileSizeLimit = "5";
    const std::string file = (dir / "s.vki").string();
    ASSERT_TRUE(compileWizardScript(file, s));
    EXPECT_EQ(test::readFile(file),
              "[Main]\r\nTitle=T\r\nThreatName=W\r\nVersion=V\r\nVersionCompatible=1.1.0\r\nLegalCopyright=C\r\n"
              "DoTerminateProcesses=0\r\nDoManageFiles=0\r\nDoManageRegistry=0\r\nDoDisinfectDrives=0\r\n"
              "[TerminateProcess]\r\nTerminateWScript=1\r\nCount=2\r\nProcess1_Path=\r\nProcess1_MD5=ABC\r\n"
              "Process2_Path=/usr/bin/worm\r\nProcess2_MD5=\r\n"
              "[ManageFiles]\r\nDeleteFileCount=1\r\nDeleteFile1=<WINDIR>\\a.exe\r\n"
              "[ManageRegistry]\r\nRegistryChangeCount=1\r\nRegistryChange1_Key=HKCU\\K\\V\r\n"
              "RegistryChange1_Contents=1\r\nRegistryChange1_Type=REG_DWORD\r\nRegistryDeleteKeyCount=1\r\n"
              "RegistryDeleteKey1=HKCU\\Software\\Worm\r\n"
              "[DisinfectDrives]\r\nDisinfectDriveType=1\r\nRunScan=1\r\nThreatMD5Signature=\r\nFileSizeLimit=5\r\n"
              "ScanRecurseDir=0\r\nFilterFileExtension=0\r\nFileExtensionFilter=\r\n");
}

TEST(WizardScript, CompilingIntoAnExistingScriptKeepsItsOtherKeys) {
    test::TempDir dir;
    const std::string file =
        dir.write("old.vki", "[Main]\r\nTitle=Old\r\nAuthor=Someone\r\n[ManageFiles]\r\nDeleteFileCount=3\r\n"
                             "DeleteFile1=a\r\nDeleteFile2=b\r\nDeleteFile3=c\r\n")
            .string();
    WizardScript s;
    s.title = "New";
    s.deleteFiles = {"z"};
    ASSERT_TRUE(compileWizardScript(file, s));
    platform::clearProfileCache();
    EXPECT_EQ(getIniString(file, "Main", "Title", "-"), "New");
    EXPECT_EQ(getIniString(file, "Main", "Author", "-"), "Someone");
    EXPECT_EQ(getIniString(file, "ManageFiles", "DeleteFileCount", "-"), "1");
    EXPECT_EQ(getIniString(file, "ManageFiles", "DeleteFile1", "-"), "z");
    EXPECT_EQ(getIniString(file, "ManageFiles", "DeleteFile3", "-"), "c");
}

TEST(WizardScript, AWriteThatFailsIsReported) {
    test::TempDir dir;
    WizardScript s;
    s.title = "T";
    EXPECT_FALSE(compileWizardScript((dir / "no/such/folder/s.vki").string(), s));
    EXPECT_FALSE(fs::exists(dir / "no"));
}

// A script the wizard's pages describe does in the INI engine what they said.
TEST(WizardScript, CompiledScriptRunsEndToEnd) {
    testing::EngineHarness h;
    test::TempDir store;
    platform::RegistryStore registry(store.str());
    platform::setSystemRegistry(&registry);
    setRegValue("evil.exe", platform::kRegSz, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Worm",
                platform::kHkeyCurrentUser);
    setRegValue("1", platform::kRegDword, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                "DisableTaskMgr", platform::kHkeyCurrentUser);
    auto dropped = h.dir.write("home/dropped.exe", "MZ");
    h.dir.write("stick/autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
    auto copy = h.dir.write("stick/games/copy.exe", "worm bytes");
    auto clean = h.dir.write("stick/games/clean.exe", "clean bytes");
    test::ScopedEnv drives("VANDRELKAST_DRIVES", ((h.dir / "stick").string() + "|1|1").c_str());

    WizardScript s;
    s.title = "Worm Remover";
    s.threatName = "Worm.Test";
    s.version = "Version 1.0";
    s.copyright = "(c) me";
    s.manageFiles = true;
    s.deleteFiles = {testing::backslashed(dropped.string())};
    s.manageRegistry = true;
    s.registryChanges = {{"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableTaskMgr", "0",
                          "REG_DWORD"}};
    s.registryDeleteValues = {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Worm"};
    s.disinfectDrives = true;
    s.driveTypes = "Removable Drives";
    s.driveFiles = {"autorun.inf"};
    s.runScan = true;
    checksum::Md5 md5;
    s.threatMd5 = md5.digestStrToHexStr("worm bytes");
    s.fileSizeLimit = "1";
    const std::string file = (h.dir / "wizard.vki").string();
    ASSERT_TRUE(compileWizardScript(file, s));

    h.console.clear();
    h.engine.runIniKastScript(file);
    const std::string& text = h.console.text();
    EXPECT_TRUE(text.starts_with("Worm Remover\r\nVersion 1.0\r\n(c) me\r\n")) << text;
    EXPECT_NE(text.find("Repair finished."), std::string::npos);
    EXPECT_FALSE(fs::exists(dropped));
    EXPECT_FALSE(fs::exists(h.dir / "stick/autorun.inf"));
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(fs::exists(clean));
    EXPECT_NE(text.find(copy.string() + " << Threat detected and neutralized!"), std::string::npos);
    auto task = getRegValue(platform::kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                            "DisableTaskMgr");
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(task));
    EXPECT_EQ(std::get<std::int32_t>(task), 0);
    auto run = getRegValue(platform::kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Worm");
    EXPECT_EQ(run, RegValue(std::string()));  // read before the run: "evil.exe"
    platform::setSystemRegistry(nullptr);
}

}  // namespace
}  // namespace vk::script
