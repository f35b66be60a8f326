#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "checksum/Md5.h"
#include "platform/Registry.h"
#include "platform/base/Text.h"
#include "platform/linux/RegistryStore.h"
#include "script/RegistryAccess.h"
#include "script/ScriptIniEngine.h"
#include "ScriptIniEngineTestSupport.h"

extern char** environ;

namespace vk::script {
namespace {

namespace fs = std::filesystem;
using testing::backslashed;
using testing::EngineHarness;

// ---------------------------------------------------------------- processes

// A copy of sleep with a random tail: its digest is its own, so a digest
// entry can never hit anything but the test's children.
fs::path uniqueProgram(const test::TempDir& dir, const std::string& name) {
    fs::path target = dir / name;
    fs::create_directories(target.parent_path());
    fs::copy_file("/bin/sleep", target, fs::copy_options::overwrite_existing);
    std::ofstream out(target, std::ios::binary | std::ios::app);
    std::random_device rd;
    for (int i = 0; i < 32; ++i) out.put(static_cast<char>(rd()));
    out.close();
    fs::permissions(target, fs::perms::owner_all);
    return target;
}

class Child {
public:
    explicit Child(const fs::path& program) {
        std::string path = program.string();
        // Long enough to outlive a slow run on a loaded machine; killed at the end anyway.
        char arg[] = "600";
        char* argv[] = {path.data(), arg, nullptr};
        if (posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    }
    ~Child() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    // True when the child has ended by SIGKILL (reaps it).
    bool killed() {
        if (reaped_) return killedBySignal_;
        int status = 0;
        for (int i = 0; i < 200; ++i) {
            pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                reaped_ = true;
                killedBySignal_ = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
                return killedBySignal_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    bool killedBySignal_ = false;
};

TEST(ScriptIniEngineProcesses, BlockListByPathInAnyCaseAndByDigestInAnyCase) {
    EngineHarness h;
    fs::path byPath = uniqueProgram(h.dir, "bin/trojan");
    fs::path byDigest = uniqueProgram(h.dir, "bin/dropper");
    fs::path spared = uniqueProgram(h.dir, "bin/innocent");
    Child a(byPath), b(byDigest), c(spared);
    ASSERT_GT(a.pid(), 0);
    ASSERT_GT(b.pid(), 0);
    ASSERT_GT(c.pid(), 0);
    std::string digest = checksum::Md5().digestFileToHexStr(byDigest.string());
    ASSERT_EQ(digest.size(), 32u);

    h.run("[Main]\r\nThreatName=T\r\nDoTerminateProcesses=1\r\n"
          "[TerminateProcess]\r\nCount=3\r\n"
          "Process1_Path=" + base::asciiUpper(backslashed(byPath.string())) + "\r\n"
          "Process2_MD5=" + base::asciiLower(digest) + "\r\n"
          "Process3_Path=\r\nProcess3_MD5=\r\n");

    EXPECT_TRUE(a.killed());
    EXPECT_TRUE(b.killed());
    EXPECT_FALSE(c.killed());

    auto lines = h.sectionAfter("Terminating Processes of T...");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Loading Process BlockList...");
    EXPECT_EQ(lines[1], "Terminating processes...");
    EXPECT_EQ(lines[2], "Terminating: " + byPath.string());
    // Entry 2 digests every process: one line each, the match ended.
    std::size_t scanned = 0, ended = 0;
    for (std::size_t i = 3; i < lines.size(); ++i) {
        if (lines[i].rfind("Scanning File: ", 0) == 0) ++scanned;
        if (lines[i] == "Terminating: " + byDigest.string()) {
            ++ended;
            EXPECT_EQ(lines[i - 1], "Scanning File: " + byDigest.string());
        }
    }
    EXPECT_EQ(ended, 1u);
    EXPECT_GE(scanned, 2u);
    EXPECT_EQ(scanned + ended + 3, lines.size());  // entry 3 wrote nothing
}

TEST(ScriptIniEngineProcesses, PathEntryWithDigestIsAlsoDigested) {
    EngineHarness h;
    fs::path program = uniqueProgram(h.dir, "worm");
    Child a(program);
    ASSERT_GT(a.pid(), 0);
    h.run("[Main]\r\nDoTerminateProcesses=1\r\n[TerminateProcess]\r\nCount=1\r\n"
          "Process1_Path=" + program.string() + "\r\nProcess1_MD5=00000000000000000000000000000000\r\n");
    EXPECT_TRUE(a.killed());
    auto lines = h.sectionAfter("Terminating Processes of ...");
    auto at = std::find(lines.begin(), lines.end(), "Terminating: " + program.string());
    ASSERT_NE(at, lines.end());
    ASSERT_NE(at + 1, lines.end());
    EXPECT_EQ(*(at + 1), "Scanning File: " + program.string());
}

TEST(ScriptIniEngineProcesses, ProgramThatDeletedItsFileIsStillFoundByDigest) {
    EngineHarness h;
    fs::path program = uniqueProgram(h.dir, "selfdelete");
    std::string digest = checksum::Md5().digestFileToHexStr(program.string());
    Child a(program);
    ASSERT_GT(a.pid(), 0);
    fs::remove(program);
    h.run("[Main]\r\nDoTerminateProcesses=1\r\n[TerminateProcess]\r\nCount=1\r\nProcess1_MD5=" + digest +
          "\r\n");
    EXPECT_TRUE(a.killed());
    EXPECT_TRUE(h.hasLine("Terminating: " + program.string() + " (deleted)"));
}

TEST(ScriptIniEngineProcesses, ProgramThatDeletedItsFileIsStillFoundByPathInAnyCase) {
    EngineHarness h;
    fs::path program = uniqueProgram(h.dir, "Gone/Sleeper");
    Child a(program);
    ASSERT_GT(a.pid(), 0);
    fs::remove(program);
    h.run("[Main]\r\nDoTerminateProcesses=1\r\n[TerminateProcess]\r\nCount=1\r\nProcess1_Path=" +
          base::asciiUpper(backslashed(program.string())) + "\r\n");
    EXPECT_TRUE(a.killed());
    EXPECT_TRUE(h.hasLine("Terminating: " + program.string() + " (deleted)")) << h.console.text();
}

TEST(ScriptIniEngineProcesses, TerminateWScriptEndsEveryInstance) {
    EngineHarness h;
    fs::path one = uniqueProgram(h.dir, "a/WScript.exe");
    fs::path two = uniqueProgram(h.dir, "b/wscript.exe");
    Child a(one), b(two);
    ASSERT_GT(a.pid(), 0);
    ASSERT_GT(b.pid(), 0);
    h.run("[Main]\r\nDoTerminateProcesses=1\r\n[TerminateProcess]\r\nTerminateWScript=1\r\nCount=abc\r\n");
    EXPECT_TRUE(a.killed());
    EXPECT_TRUE(b.killed());
    EXPECT_EQ(h.sectionAfter("Terminating Processes of ..."),
              std::vector<std::string>{"Terminating all instances of wscript.exe..."});
    EXPECT_FALSE(h.errors.numbers.empty());  // the count "abc"
}

TEST(ScriptIniEngineProcesses, SectionSwitchedOffDoesNothing) {
    EngineHarness h;
    fs::path program = uniqueProgram(h.dir, "worm");
    Child a(program);
    h.run("[Main]\r\nDoTerminateProcesses=0\r\n[TerminateProcess]\r\nCount=1\r\nProcess1_Path=" +
          program.string() + "\r\n");
    EXPECT_FALSE(a.killed());
    EXPECT_TRUE(h.sectionAfter("Terminating Processes of ...").empty());
}

// -------------------------------------------------------------------- files

TEST(ScriptIniEngineFiles, DeletesListedFilesWhateverTheirAttributes) {
    EngineHarness h;
    test::TempDir home;
    test::ScopedEnv env("HOME", home.str().c_str());
    auto plain = h.dir.write("sub/plain.exe", "x");
    auto readOnly = h.dir.write("ro.dll", "x");
    fs::permissions(readOnly, fs::perms::owner_read);
    auto inHome = home.write("dropped.vbs", "x");
    auto target = h.dir.write("target.txt", "keep");
    fs::create_symlink(target, h.dir / "link.txt");
    fs::create_directories(h.dir / "folder");

    std::string homeLine = "Deleting file: " + home.str() + "\\dropped.vbs";
    h.run("[Main]\r\nThreatName=T\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=6\r\n"
          "DeleteFile1=" + backslashed(plain.string()) + "\r\n"
          "DeleteFile2=" + readOnly.string() + "\r\n"
          "DeleteFile3=<profile>\\dropped.vbs\r\n"
          "DeleteFile4=" + (h.dir / "missing.exe").string() + "\r\n"
          "DeleteFile5=" + (h.dir / "link.txt").string() + "\r\n"
          "DeleteFile6=" + (h.dir / "folder").string() + "\r\n");

    EXPECT_FALSE(fs::exists(plain));
    EXPECT_FALSE(fs::exists(readOnly));
    EXPECT_FALSE(fs::exists(inHome));
    EXPECT_FALSE(fs::exists(fs::symlink_status(h.dir / "link.txt")));
    EXPECT_TRUE(fs::exists(target));  // the link went, not what it pointed to
    EXPECT_TRUE(fs::is_directory(h.dir / "folder"));
    EXPECT_EQ(h.sectionAfter("Deleting T's files..."),
              (std::vector<std::string>{
                  "Deleting file: " + backslashed(plain.string()),
                  "Deleting file: " + readOnly.string(),
                  homeLine,
                  "Deleting file: " + (h.dir / "missing.exe").string(),
                  "Deleting file: " + (h.dir / "link.txt").string(),
                  "Deleting file: " + (h.dir / "folder").string(),
              }));
}

TEST(ScriptIniEngineFiles, NameUnderAFolderTheSystemLacksIsNotLookedForAtTheRoot) {
    EngineHarness h;
    // Relative to the working folder, "\name" would be "/name"; with the
    // placeholder unresolved it must not be touched anywhere.
    h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=1\r\n"
          "DeleteFile1=<PROGRAMFILESX86>\\vk-test-never-there.exe\r\n");
    EXPECT_EQ(h.sectionAfter("Deleting 's files..."),
              std::vector<std::string>{
                  "Skipping file: <PROGRAMFILESX86>\\vk-test-never-there.exe (this system has no such folder)"});
}

// Runs with the working folder set to folder.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~InFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

TEST(ScriptIniEngineFiles, ADriveLetterNeverLeadsIntoTheWorkingFolder) {
    EngineHarness h;
    // A folder named like a drive, as a stick from Windows may carry one.
    auto victim = h.dir.write("C:/victim.txt", "keep");
    InFolder cwd(h.dir.path());
    h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=2\r\n"
          "DeleteFile1=C:\\victim.txt\r\nDeleteFile2=c:victim.txt\r\n");
    EXPECT_TRUE(fs::exists(victim));
    EXPECT_EQ(h.sectionAfter("Deleting 's files..."),
              (std::vector<std::string>{"Deleting file: C:\\victim.txt", "Deleting file: c:victim.txt"}));
}

TEST(ScriptIniEngineFiles, ADriveLetterLeadsThroughTheDriveList) {
    EngineHarness h;
    auto stick = h.dir / "stick";
    auto worm = h.dir.write("stick/RECYCLER/Worm.EXE", "x");
    test::ScopedEnv drives("VANDRELKAST_DRIVES", (stick.string() + "|1|1|E").c_str());
    h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=1\r\n"
          "DeleteFile1=e:\\recycler\\worm.exe\r\n");
    EXPECT_FALSE(fs::exists(worm));
}

TEST(ScriptIniEngineFiles, NamesAreFoundWithoutRegardToLetterCase) {
    EngineHarness h;
    auto upper = h.dir.write("Sys/UPPER.EXE", "x");
    auto greek = h.dir.write("Sys/\xce\xb1\xcf\x81\xcf\x87\xce\xb5\xce\xaf\xce\xbf.exe", "x");  // αρχείο
    auto cyrillic = h.dir.write("Sys/\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.exe", "x");                   // файл
    auto exactLower = h.dir.write("Sys/twin.txt", "x");
    auto exactUpper = h.dir.write("Sys/TWIN.txt", "x");
    auto clashA = h.dir.write("Sys/Clash.txt", "x");
    auto clashB = h.dir.write("Sys/cLASH.txt", "x");
    std::string sys = backslashed((h.dir / "SYS").string());
    h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=5\r\n"
          "DeleteFile1=" + sys + "\\upper.exe\r\n"
          "DeleteFile2=" + sys + "\\\xce\x91\xce\xa1\xce\xa7\xce\x95\xce\x8a\xce\x9f.EXE\r\n"  // ΑΡΧΕΊΟ
          "DeleteFile3=" + sys + "\\\xd0\xa4\xd0\x90\xd0\x99\xd0\x9b.Exe\r\n"                     // ФАЙЛ
          "DeleteFile4=" + sys + "\\TWIN.txt\r\n"
          "DeleteFile5=" + sys + "\\CLASH.TXT\r\n");
    EXPECT_FALSE(fs::exists(upper));
    EXPECT_FALSE(fs::exists(greek));
    EXPECT_FALSE(fs::exists(cyrillic));
    EXPECT_TRUE(fs::exists(exactLower));   // the exact name wins
    EXPECT_FALSE(fs::exists(exactUpper));
    EXPECT_TRUE(fs::exists(clashA));       // which one was meant cannot be told
    EXPECT_TRUE(fs::exists(clashB));
    EXPECT_TRUE(h.hasLine("Left alone: " + sys + "\\CLASH.TXT (" + (h.dir / "Sys").string() +
                          " holds Clash.txt, cLASH.txt, names that differ only in letter case)"))
        << h.console.text();
}

TEST(ScriptIniEngineFiles, AScriptInTheWindowsCodePageIsDecoded) {
    EngineHarness h;
    auto file = h.dir.write("f\xc3\xafle.txt", "x");  // fïle.txt
    std::string script = "[Main]\r\nTitle=Caf\xe9 cleaner\r\nThreatName=W\xfcrm\r\nDoManageFiles=1\r\n"
                         "[ManageFiles]\r\nDeleteFileCount=1\r\nDeleteFile1=" +
                         backslashed(h.dir.str()) + "\\f\xefle.txt\r\n";
    h.run(script);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(h.lines().front(), "Caf\xc3\xa9 cleaner");
    EXPECT_TRUE(h.hasLine("Deleting W\xc3\xbcrm's files...")) << h.console.text();

    // A UTF-8 BOM is not part of the first section's name.
    h.run("\xEF\xBB\xBF[Main]\r\nTitle=Bom\r\n");
    EXPECT_EQ(h.lines().front(), "Bom");
}

// ----------------------------------------------------------------- registry

class ScriptIniEngineRegistry : public ::testing::Test {
protected:
    void SetUp() override { platform::setSystemRegistry(&registry_); }
    void TearDown() override { platform::setSystemRegistry(nullptr); }

    static std::string text(platform::RegHandle root, const std::string& key, const std::string& name) {
        auto v = getRegValue(root, key, name);
        return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : "<number>";
    }
    static std::optional<std::int32_t> number(platform::RegHandle root, const std::string& key,
                                              const std::string& name) {
        auto v = getRegValue(root, key, name);
        if (std::holds_alternative<std::int32_t>(v)) return std::get<std::int32_t>(v);
        return std::nullopt;
    }
    static bool keyExists(platform::RegHandle root, const std::string& key) {
        platform::RegHandle h = 0;
        if (platform::systemRegistry().openKey(root, key, platform::kKeyRead, h) != platform::kErrorSuccess)
            return false;
        platform::systemRegistry().closeKey(h);
        return true;
    }

    test::TempDir store;
    platform::RegistryStore registry_{store.str()};
};

TEST_F(ScriptIniEngineRegistry, ChangesValues) {
    using platform::kHkeyCurrentUser;
    using platform::kHkeyLocalMachine;
    EngineHarness h;
    h.run("[Main]\r\nDoManageRegistry=1\r\n[ManageRegistry]\r\nRegistryChangeCount=8\r\n"
          "RegistryChange1_Key=HKCU\\Software\\Test\\Name\r\nRegistryChange1_Contents=abc\r\n"
          "RegistryChange2_Key=hkey_local_machine\\Software\\Test\\Hex\r\nRegistryChange2_Contents=&H10\r\n"
          "RegistryChange2_Type=reg_dword\r\n"
          "RegistryChange3_Key=HKCU\\Software\\Test\\Bad\r\nRegistryChange3_Contents=xyz\r\n"
          "RegistryChange3_Type=REG_DWORD\r\n"
          "RegistryChange4_Key=HKCU\\Software\\Test\\Bin\r\nRegistryChange4_Contents=0102\r\n"
          "RegistryChange4_Type=REG_BINARY\r\n"
          "RegistryChange5_Key=HKCU\\Software\\Fresh\\\r\nRegistryChange5_Contents=default text\r\n"
          "RegistryChange6_Key=HKEY_CURRENT_CONFIG\\Software\\Test\\Cfg\r\nRegistryChange6_Contents=1\r\n"
          "RegistryChange7_Key=HKCU\\NoKey\r\nRegistryChange7_Contents=1\r\n"
          "RegistryChange8_Key=HKCU\\Software\\BadOnly\\V\r\nRegistryChange8_Contents=\r\n"
          "RegistryChange8_Type=REG_DWORD\r\n");
    EXPECT_EQ(text(kHkeyCurrentUser, "Software\\Test", "Name"), "abc");
    EXPECT_EQ(number(kHkeyLocalMachine, "Software\\Test", "Hex"), 16);
    EXPECT_EQ(text(kHkeyCurrentUser, "Software\\Test", "Bad"), "");
    EXPECT_EQ(text(kHkeyCurrentUser, "Software\\Test", "Bin"), "0102");
    EXPECT_EQ(text(kHkeyCurrentUser, "Software\\Fresh", ""), "default text");
    EXPECT_FALSE(keyExists(kHkeyCurrentUser, "Software\\BadOnly"));  // nothing made for a bad number
    EXPECT_EQ(text(kHkeyCurrentUser, "", "NoKey"), "");
    const std::string q = "\"";
    EXPECT_EQ(h.sectionAfter("Restoring Windows Registry to its original state..."),
              (std::vector<std::string>{
                  "Restoring modified registry keys...",
                  "Changing the value of \"HKCU\\Software\\Test\\Name\" to \"abc\"",
                  "Changing the value of \"hkey_local_machine\\Software\\Test\\Hex\" to \"&H10\"",
                  "Changing the value of \"HKCU\\Software\\Test\\Bad\" to \"xyz\"",
                  "Changing the value of \"HKCU\\Software\\Test\\Bin\" to \"0102\"",
                  "Changing the value of \"HKCU\\Software\\Fresh\\\" to \"default text\"",
                  "Changing the value of \"HKEY_CURRENT_CONFIG\\Software\\Test\\Cfg\" to \"1\"",
                  "Changing the value of \"HKCU\\NoKey\" to \"1\"",
                  "Changing the value of \"HKCU\\Software\\BadOnly\\V\" to \"\"",
              }));
    // xyz, the path without a key, and the empty number; not the foreign root.
    EXPECT_EQ(h.errors.numbers.size(), 3u);
}

TEST_F(ScriptIniEngineRegistry, DeletesValuesAndKeys) {
    using platform::kHkeyCurrentUser;
    ASSERT_EQ(setRegValue("v", platform::kRegSz, "Software\\Worm", "Run", kHkeyCurrentUser), 0);
    ASSERT_EQ(setRegValue("d", platform::kRegSz, "Software\\Worm", "", kHkeyCurrentUser), 0);
    ASSERT_EQ(setRegValue("k", platform::kRegSz, "Software\\Worm", "Keep", kHkeyCurrentUser), 0);
    ASSERT_EQ(createRegKey("Software\\Worm\\Leaf", kHkeyCurrentUser), 0);
    ASSERT_EQ(createRegKey("Software\\Nest\\Child", kHkeyCurrentUser), 0);

    EngineHarness h;
    h.run("[Main]\r\nDoManageRegistry=1\r\n[ManageRegistry]\r\n"
          "RegistryDeleteValueCount=2\r\n"
          "RegistryDeleteValue1=hkcu\\Software\\Worm\\Run\r\n"
          "RegistryDeleteValue2=HKEY_CURRENT_USER\\Software\\Worm\\\r\n"
          "RegistryDeleteKeyCount=2\r\n"
          "RegistryDeleteKey1=HKCU\\Software\\Worm\\Leaf\r\n"
          "RegistryDeleteKey2=HKCU\\Software\\Nest\r\n");
    EXPECT_EQ(text(kHkeyCurrentUser, "Software\\Worm", "Run"), "");
    EXPECT_EQ(text(kHkeyCurrentUser, "Software\\Worm", ""), "");
    EXPECT_EQ(text(kHkeyCurrentUser, "Software\\Worm", "Keep"), "k");
    EXPECT_FALSE(keyExists(kHkeyCurrentUser, "Software\\Worm\\Leaf"));
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "Software\\Nest\\Child"));  // refused: it has a sub-key
    EXPECT_EQ(h.sectionAfter("Restoring Windows Registry to its original state..."),
              (std::vector<std::string>{
                  "Deleting registry values that are created by the worm...",
                  "Deleting registry value: \"hkcu\\Software\\Worm\\Run\"",
                  "Deleting registry value: \"HKEY_CURRENT_USER\\Software\\Worm\\\"",
                  "Deleting registry keys that are created by the worm...",
                  "Deleting registry key: \"HKCU\\Software\\Worm\\Leaf",
                  "Deleting registry key: \"HKCU\\Software\\Nest",
              }));
}

// ------------------------------------------------------------------- drives

class ScriptIniEngineDrives : public ::testing::Test {
protected:
    void setDrives(const std::string& list) { drives_.emplace("VANDRELKAST_DRIVES", list.c_str()); }

    std::string md5Of(const std::string& bytes) {
        auto f = scratch.write("digest-me", bytes);
        return checksum::Md5().digestFileToHexStr(f.string());
    }

    test::TempDir top;  // drives are folders inside it
    test::TempDir scratch;
    std::optional<test::ScopedEnv> drives_;
};

TEST_F(ScriptIniEngineDrives, DeletesRootNamesOnTreatedDrivesOnly) {
    auto removable = top / "usb";
    auto fixed = top / "disk";
    auto empty = top / "floppy";
    for (const auto& d : {removable, fixed, empty}) {
        fs::create_directories(d);
        std::ofstream(d / "autorun.inf") << "x";
    }
    setDrives(removable.string() + "|1|1;" + fixed.string() + "|2|1;" + empty.string() + "|1|0");
    EngineHarness h;
    h.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\n"
          "DeleteFileCount=1\r\nDeleteFile1=autorun.inf\r\n");
    EXPECT_FALSE(fs::exists(removable / "autorun.inf"));
    EXPECT_TRUE(fs::exists(fixed / "autorun.inf"));
    EXPECT_TRUE(fs::exists(empty / "autorun.inf"));  // not ready
    EXPECT_EQ(h.sectionAfter("Disinfecting connected drives..."),
              std::vector<std::string>{"Deleting file: " + removable.string() + "/autorun.inf"});

    EngineHarness all;
    all.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=6\r\n"
            "DeleteFileCount=1\r\nDeleteFile1=AUTORUN.INF\r\n");
    EXPECT_EQ(all.sectionAfter("Disinfecting connected drives...").size(), 2u);  // both ready drives
    EXPECT_TRUE(fs::exists(empty / "autorun.inf"));
}

TEST_F(ScriptIniEngineDrives, RootNamesAreFoundWithoutRegardToLetterCase) {
    auto drive = top / "usb";
    fs::create_directories(drive / "Recycled");
    std::ofstream(drive / "AUTORUN.INF") << "x";
    std::ofstream(drive / "Recycled" / "Worm.Exe") << "x";
    std::ofstream(drive / "Twin.vbs") << "x";
    std::ofstream(drive / "tWIN.vbs") << "x";
    setDrives(drive.string() + "|1|1");
    EngineHarness h;
    h.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\n"
          "DeleteFileCount=3\r\nDeleteFile1=autorun.inf\r\nDeleteFile2=RECYCLED\\worm.exe\r\n"
          "DeleteFile3=twin.vbs\r\n");
    EXPECT_FALSE(fs::exists(drive / "AUTORUN.INF"));
    EXPECT_FALSE(fs::exists(drive / "Recycled" / "Worm.Exe"));
    EXPECT_TRUE(fs::exists(drive / "Twin.vbs"));
    EXPECT_TRUE(fs::exists(drive / "tWIN.vbs"));
    EXPECT_TRUE(h.hasLine("Left alone: " + drive.string() + "/twin.vbs (" + drive.string() +
                          " holds Twin.vbs, tWIN.vbs, names that differ only in letter case)"))
        << h.console.text();
}

TEST_F(ScriptIniEngineDrives, DriveRelativeNamesStayInsideTheDrive) {
    auto drive = top / "usb";
    fs::create_directories(drive / "sub");
    std::ofstream(top / "outside.txt") << "keep";
    std::ofstream(drive / "outside.txt") << "x";
    std::ofstream(drive / "sub" / "x.exe") << "x";
    fs::create_directories(top / "elsewhere");
    std::ofstream(top / "elsewhere" / "victim") << "keep";
    fs::create_directory_symlink(top / "elsewhere", drive / "linked");
    std::ofstream(drive / "etc-passwd") << "x";
    setDrives(drive.string() + "|1|1");

    EngineHarness h;
    h.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\n"
          "DeleteFileCount=4\r\n"
          "DeleteFile1=..\\..\\outside.txt\r\n"
          "DeleteFile2=sub\\.\\x.exe\r\n"
          "DeleteFile3=linked\\victim\r\n"
          "DeleteFile4=\\etc-passwd\r\n");
    EXPECT_TRUE(fs::exists(top / "outside.txt"));
    EXPECT_FALSE(fs::exists(drive / "outside.txt"));
    EXPECT_FALSE(fs::exists(drive / "sub" / "x.exe"));
    EXPECT_TRUE(fs::exists(top / "elsewhere" / "victim"));  // no link is followed on the way
    EXPECT_FALSE(fs::exists(drive / "etc-passwd"));
    EXPECT_TRUE(h.hasLine("Deleting file: " + drive.string() + "/..\\..\\outside.txt"));
}

TEST_F(ScriptIniEngineDrives, ScanDeletesFilesWithTheThreatDigest) {
    auto drive = top / "usb";
    const std::string evil = "this is the worm";
    fs::create_directories(drive / "a" / "deep");
    std::ofstream(drive / "root.exe") << evil;
    std::ofstream(drive / "a" / "level1.exe") << evil;
    std::ofstream(drive / "a" / "deep" / "level2.exe") << evil;
    std::ofstream(drive / "clean.exe") << "clean";
    setDrives(drive.string() + "|1|1");
    std::string sig = md5Of(evil);

    struct Case {
        bool recurse;
        bool deepGone;
    };
    for (Case c : {Case{false, false}, Case{true, true}}) {
        std::ofstream(drive / "root.exe") << evil;
        std::ofstream(drive / "a" / "level1.exe") << evil;
        EngineHarness h;
        h.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\nRunScan=1\r\n"
              "ThreatMD5Signature=" + sig + "\r\nScanRecurseDir=" + (c.recurse ? "1" : "0") + "\r\n");
        EXPECT_FALSE(fs::exists(drive / "root.exe"));
        EXPECT_FALSE(fs::exists(drive / "a" / "level1.exe"));
        EXPECT_EQ(!fs::exists(drive / "a" / "deep" / "level2.exe"), c.deepGone);
        EXPECT_TRUE(fs::exists(drive / "clean.exe"));
        EXPECT_TRUE(h.hasLine("Scanning File: " + (drive / "clean.exe").string()));
        EXPECT_TRUE(h.hasLine("Scanning File: " + (drive / "root.exe").string()));
        EXPECT_TRUE(h.hasLine((drive / "root.exe").string() + " << Threat detected and neutralized!"));
        auto lines = h.sectionAfter("Disinfecting connected drives...");
        auto at = std::find(lines.begin(), lines.end(), "Scanning File: " + (drive / "a" / "level1.exe").string());
        ASSERT_NE(at, lines.end());
        EXPECT_EQ(*(at + 1), (drive / "a" / "level1.exe").string() + " << Threat detected and neutralized!");
    }
}

TEST_F(ScriptIniEngineDrives, LowerCaseThreatDigestOrEmptyDigestNeverMatches) {
    auto drive = top / "usb";
    const std::string evil = "worm bytes";
    fs::create_directories(drive);
    std::ofstream(drive / "w.exe") << evil;
    setDrives(drive.string() + "|2|1");
    for (std::string sig : {base::asciiLower(md5Of(evil)), std::string()}) {
        EngineHarness h;
        h.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=2\r\nRunScan=1\r\n"
              "ThreatMD5Signature=" + sig + "\r\n");
        EXPECT_TRUE(fs::exists(drive / "w.exe")) << sig;
        EXPECT_EQ(h.sectionAfter("Disinfecting connected drives..."),
                  std::vector<std::string>{"Scanning File: " + (drive / "w.exe").string()})
            << sig;
    }
}

TEST_F(ScriptIniEngineDrives, SizeLimitAndExtensionFilterChooseWhatIsDigested) {
    auto drive = top / "usb";
    fs::create_directories(drive);
    std::ofstream(drive / "a.EXE") << "a";
    std::ofstream(drive / "b.com") << "b";
    std::ofstream(drive / "c.scr") << "c";
    std::ofstream(drive / "noext") << "n";
    std::ofstream(drive / "empty.exe");
    std::ofstream(drive / "big.exe") << std::string(1048577, 'x');
    std::ofstream(drive / "onemeg.exe") << std::string(1048576, 'x');
    setDrives(drive.string() + "|1|1");

    struct Case {
        const char* settings;
        std::vector<std::string> digested;
    };
    const std::vector<Case> cases{
        {"FilterFileExtension=1\r\nFileExtensionFilter=exe;com\r\n", {"a.EXE", "b.com", "empty.exe", "onemeg.exe"}},
        {"FilterFileExtension=1\r\nFileExtensionFilter=exe; com\r\n", {"a.EXE", "empty.exe", "onemeg.exe"}},
        {"FilterFileExtension=0\r\nFileExtensionFilter=exe\r\n",
         {"a.EXE", "b.com", "c.scr", "noext", "empty.exe", "onemeg.exe"}},
        {"FilterFileExtension=1\r\nFileExtensionFilter=\r\n", {}},
        {"FileSizeLimit=0\r\n", {"empty.exe"}},
        {"FileSizeLimit=2\r\nFilterFileExtension=1\r\nFileExtensionFilter=exe\r\n",
         {"a.EXE", "empty.exe", "big.exe", "onemeg.exe"}},
        {"FileSizeLimit=2048\r\nFilterFileExtension=1\r\nFileExtensionFilter=exe\r\n",
         {"a.EXE", "empty.exe", "big.exe", "onemeg.exe"}},
        {"FileSizeLimit=-1\r\n", {}},
    };
    for (const Case& c : cases) {
        EngineHarness h;
        h.run(std::string("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\n"
                          "RunScan=1\r\n") + c.settings);
        std::vector<std::string> got;
        for (const auto& line : h.sectionAfter("Disinfecting connected drives...")) {
            ASSERT_EQ(line.rfind("Scanning File: ", 0), 0u) << line;
            got.push_back(fs::path(line.substr(15)).filename().string());
        }
        std::sort(got.begin(), got.end());
        auto want = c.digested;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << c.settings;
    }
}

TEST_F(ScriptIniEngineDrives, ScanStaysOutOfLinkedFolders) {
    auto drive = top / "usb";
    fs::create_directories(drive / "real");
    fs::create_directories(top / "outside");
    std::ofstream(top / "outside" / "o.exe") << "o";
    std::ofstream(drive / "real" / "r.exe") << "r";
    fs::create_directory_symlink(top / "outside", drive / "link");
    fs::create_symlink(top / "outside" / "o.exe", drive / "filelink.exe");
    setDrives(drive.string() + "|1|1");
    EngineHarness h;
    h.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\nRunScan=1\r\n"
          "ScanRecurseDir=1\r\n");
    EXPECT_EQ(h.sectionAfter("Disinfecting connected drives..."),
              std::vector<std::string>{"Scanning File: " + (drive / "real" / "r.exe").string()});
}

}  // namespace
}  // namespace vk::script
