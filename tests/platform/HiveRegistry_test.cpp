#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/linux/HiveRegistry.h"
#include "support/LoopFileSystem.h"
#include "support/RunProgram.h"
#include "support/SharedFixtures.h"
#include "support/TempDir.h"
#include "support/WindowsTree.h"

using namespace vk::platform;
using vk::test::readFile;
using vk::test::runProgram;
using vk::test::ScopedEnv;
using vk::test::TempDir;
using vk::test::WindowsTree;
namespace fs = std::filesystem;

namespace {

struct Messages : RegistryMessages {
    void message(const std::string& text) override { all.push_back(text); }
    std::vector<std::string> all;
};

const char kSoftware[] =
    "[\\Microsoft]\n\n[\\Microsoft\\Windows]\n\n[\\Microsoft\\Windows\\CurrentVersion]\n\n"
    "[\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
    "\"Updater\"=hex(1):43,00,3a,00,5c,00,78,00,2e,00,65,00,78,00,65,00,00,00\n"
    "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\n"
    "\"Flags\"=dword:00000002\n"
    "\"Blob\"=hex:01,02,03\n\n"
    "[\\Classes]\n\n[\\Classes\\.vbs]\n@=hex(1):56,00,42,00,53,00,46,00,69,00,6c,00,65,00,00,00\n\n"
    "[\\Classes\\exefile]\n";
const char kUser[] =
    "[\\Software]\n\n[\\Software\\Classes]\n\n[\\Software\\Classes\\.vbs]\n"
    "@=hex(1):4e,00,6f,00,74,00,65,00,00,00\n";

class HiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (vk::test::sharedFixture("hives/minimal").empty()) GTEST_SKIP() << "shared/fixtures/hives is not beside the checkout";
        if (!WindowsTree::toolsAvailable()) GTEST_SKIP() << "hivexregedit (libwin-hivex-perl) is not installed";
    }
    std::string read(Registry& r, RegHandle root, const char* key, const char* name, std::uint32_t* type = nullptr) {
        RegHandle h;
        if (r.openKey(root, key, kKeyRead, h) != kErrorSuccess) return "<no key>";
        std::uint32_t t = 0;
        std::string data;
        long st = r.queryValue(h, name, t, data);
        r.closeKey(h);
        if (type) *type = t;
        return st == kErrorSuccess ? data : "<none>";
    }
    TempDir dir;
    ScopedEnv data{"XDG_DATA_HOME", (dir / "data").c_str()};
    Messages messages;
};

}  // namespace

TEST_F(HiveTest, ReadsEveryTypeThroughTheRegistryInterface) {
    WindowsTree tree(dir / "win", "WINDOWS/system32/Config", "users");
    ASSERT_TRUE(tree.make(tree.hive("software"), kSoftware));
    ASSERT_TRUE(tree.make(tree.hive("SYSTEM"), ""));
    ASSERT_TRUE(tree.make(tree.userHive("Ann", "ntuser.dat"), kUser));
    HiveRegistry hives(tree.root(), "ann", &messages);
    EXPECT_TRUE(messages.all.empty()) << messages.all.front();
    EXPECT_EQ(hives.userName(), "Ann");
    std::uint32_t type = 0;
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    EXPECT_EQ(read(hives, kHkeyLocalMachine, run, "updater", &type), std::string("C:\\x.exe\0", 9));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(read(hives, kHkeyLocalMachine, run, "Path", &type), std::string("%TEMP%\0", 7));
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_EQ(read(hives, kHkeyLocalMachine, run, "Flags", &type), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(read(hives, kHkeyLocalMachine, run, "Blob", &type), std::string("\x01\x02\x03", 3));
    EXPECT_EQ(read(hives, kHkeyLocalMachine, run, "Missing"), "<none>");

    // The made-up top levels list their hives.
    std::string name;
    EXPECT_EQ(hives.enumKey(kHkeyLocalMachine, 0, name), kErrorSuccess);
    EXPECT_EQ(name, "SOFTWARE");
    EXPECT_EQ(hives.enumKey(kHkeyLocalMachine, 1, name), kErrorSuccess);
    EXPECT_EQ(name, "SYSTEM");
    EXPECT_EQ(hives.enumKey(kHkeyLocalMachine, 2, name), kErrorNoMoreItems);
    EXPECT_EQ(hives.enumKey(kHkeyUsers, 0, name), kErrorSuccess);
    EXPECT_EQ(name, "Ann");

    // Classes: the user's over the machine's, and both sets of keys.
    EXPECT_EQ(read(hives, kHkeyClassesRoot, ".vbs", ""), std::string("Note\0", 5));
    EXPECT_EQ(read(hives, kHkeyCurrentUser, "Software\\Classes\\.vbs", ""), std::string("Note\0", 5));
    std::vector<std::string> classes;
    for (std::uint32_t i = 0; hives.enumKey(kHkeyClassesRoot, i, name) == kErrorSuccess; ++i) classes.push_back(name);
    EXPECT_EQ(classes, (std::vector<std::string>{".vbs", "exefile"}));
}

TEST_F(HiveTest, ChangesLandInTheHiveAfterABackupAndNothingElseMoves) {
    WindowsTree tree(dir / "win");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"), kSoftware));
    ASSERT_TRUE(tree.make(tree.hive("SYSTEM"), ""));
    const std::string before = WindowsTree::exported(tree.hive("SOFTWARE"));
    const std::string original = readFile(tree.hive("SOFTWARE"));
    {
        HiveRegistry hives(tree.root(), "", &messages);
        RegHandle run;
        ASSERT_EQ(hives.openKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kKeyAllAccess, run),
                  kErrorSuccess);
        EXPECT_EQ(hives.deleteValue(run, "UPDATER"), kErrorSuccess);
        EXPECT_EQ(hives.setValue(run, "Flags", kRegDword, std::string("\x07\0\0\0", 4)), kErrorSuccess);
        EXPECT_EQ(hives.setValue(run, "New", kRegSz, std::string("v\xc3\xa9\0", 4)), kErrorSuccess);
        EXPECT_EQ(hives.closeKey(run), kErrorSuccess);
        RegHandle made;
        ASSERT_EQ(hives.createKey(kHkeyLocalMachine, "SOFTWARE\\Policies\\Microsoft\\Windows\\System", kKeyAllAccess, made),
                  kErrorSuccess);
        EXPECT_EQ(hives.setValue(made, "DisableCMD", kRegDword, std::string("\0\0\0\0", 4)), kErrorSuccess);
        hives.closeKey(made);
        // A key with sub-keys is not deleted; an empty one is.
        EXPECT_EQ(hives.deleteKey(kHkeyLocalMachine, "SOFTWARE\\Policies\\Microsoft"), kErrorAccessDenied);
        EXPECT_EQ(hives.deleteKey(kHkeyLocalMachine, "SOFTWARE\\Classes\\exefile"), kErrorSuccess);
    }
    const std::string after = WindowsTree::exported(tree.hive("SOFTWARE"));
    EXPECT_EQ(after.find("\"Updater\""), std::string::npos);
    EXPECT_NE(after.find("\"Flags\"=dword:00000007"), std::string::npos) << after;
    EXPECT_NE(after.find("\"New\"=hex(1):76,00,e9,00,00,00"), std::string::npos) << after;
    EXPECT_NE(after.find("[\\Policies\\Microsoft\\Windows\\System]\n\"DisableCMD\"=dword:00000000"), std::string::npos);
    EXPECT_EQ(after.find("exefile"), std::string::npos);
    // What was not touched reads as before.
    for (const char* kept : {"\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00", "\"Blob\"=hex(3):01,02,03",
                             "[\\Classes\\.vbs]\n@=hex(1):56,00,42,00,53,00,46,00,69,00,6c,00,65,00,00,00"})
        EXPECT_NE(after.find(kept), std::string::npos) << kept << "\n" << after;
    EXPECT_NE(before, after);

    // One backup of the hive as it was, with a note of where it came from.
    std::vector<fs::path> backups;
    for (const auto& e : fs::directory_iterator(dir / "data" / "vandrelkast" / "backups")) backups.push_back(e.path());
    ASSERT_EQ(backups.size(), 2u);
    std::sort(backups.begin(), backups.end());
    EXPECT_EQ(readFile(backups[0]), original);
    EXPECT_NE(readFile(backups[1]).find(tree.hive("SOFTWARE").string()), std::string::npos);
    // No temporary file stays beside the hive.
    for (const auto& e : fs::directory_iterator(tree.hive("SOFTWARE").parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".vk-"), std::string::npos) << e.path();
}

TEST_F(HiveTest, ADirtyHiveIsOnlyReadAndStaysByteForByte) {
    WindowsTree tree(dir / "win");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"), kSoftware));
    {
        // The second sequence number no longer matches the first, as Windows
        // leaves it mid-write; the header's checksum is made to fit again.
        std::string bytes = readFile(tree.hive("SOFTWARE"));
        bytes[8] = static_cast<char>(bytes[8] + 1);
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < 0x1fc; i += 4) {
            std::uint32_t word;
            std::memcpy(&word, bytes.data() + i, 4);
            sum ^= word;
        }
        std::memcpy(bytes.data() + 0x1fc, &sum, 4);
        std::ofstream(tree.hive("SOFTWARE"), std::ios::binary | std::ios::trunc) << bytes;
    }
    const std::string bytes = readFile(tree.hive("SOFTWARE"));
    {
        HiveRegistry hives(tree.root(), "", &messages);
        ASSERT_FALSE(messages.all.empty());
        EXPECT_NE(messages.all[0].find("was not closed cleanly by Windows"), std::string::npos) << messages.all[0];
        EXPECT_EQ(read(hives, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Flags"),
                  std::string("\x02\0\0\0", 4));
        RegHandle h;
        EXPECT_EQ(hives.openKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft", kKeyAllAccess, h), kErrorAccessDenied);
        ASSERT_EQ(hives.openKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft", kKeyRead, h), kErrorSuccess);
        EXPECT_EQ(hives.setValue(h, "x", kRegDword, std::string(4, '\0')), kErrorAccessDenied);
        RegHandle made;
        EXPECT_EQ(hives.createKey(kHkeyLocalMachine, "SOFTWARE\\New", kKeyAllAccess, made), kErrorAccessDenied);
    }
    EXPECT_EQ(readFile(tree.hive("SOFTWARE")), bytes);
    EXPECT_FALSE(fs::exists(dir / "data" / "vandrelkast" / "backups"));
}

TEST_F(HiveTest, NamesWithNulAndNonLatinLettersSurviveARewrite) {
    WindowsTree tree(dir / "win");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"), ""));
    ASSERT_TRUE(tree.make(tree.userHive("Bo"), "", "hives/special"));
    const std::string before = WindowsTree::exported(tree.userHive("Bo"));
    {
        HiveRegistry hives(tree.root(), "Bo", &messages);
        std::vector<std::string> names;
        std::string name;
        for (std::uint32_t i = 0; hives.enumKey(kHkeyCurrentUser, i, name) == kErrorSuccess; ++i) names.push_back(name);
        ASSERT_EQ(names.size(), 3u);
        EXPECT_TRUE(std::find(names.begin(), names.end(), "weird\xe2\x84\xa2") != names.end());
        EXPECT_TRUE(std::find(names.begin(), names.end(), std::string("zero\0key", 8)) != names.end());
        RegHandle h;
        ASSERT_EQ(hives.openKey(kHkeyCurrentUser, "weird\xe2\x84\xa2", kKeyAllAccess, h), kErrorSuccess);
        std::uint32_t type = 0;
        std::string data;
        ASSERT_EQ(hives.enumValue(h, 0, name, type, data), kErrorSuccess);
        EXPECT_EQ(name, "symbols $\xc2\xa3\xe2\x82\xa4\xe2\x82\xa7\xe2\x82\xac");
        EXPECT_EQ(hives.setValue(h, "added", kRegDword, std::string("\x01\0\0\0", 4)), kErrorSuccess);
        hives.closeKey(h);
    }
    std::string after = WindowsTree::exported(tree.userHive("Bo"));
    const std::string added = "\"added\"=dword:00000001\n";
    ASSERT_NE(after.find(added), std::string::npos) << after;
    after.erase(after.find(added), added.size());
    EXPECT_EQ(after, before);
}

TEST_F(HiveTest, DamagedHivesAreRefusedWithAReason) {
    WindowsTree tree(dir / "win");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"), kSoftware));
    const std::string good = readFile(tree.hive("SOFTWARE"));
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string garbled = good;
    for (std::size_t i = 0x1000; i < garbled.size(); i += 7) garbled[i] = static_cast<char>(garbled[i] ^ 0x5a);
    for (const Case& c : {Case{"truncated", good.substr(0, 2000)}, Case{"not a hive", std::string(8192, 'x')},
                          Case{"garbled", garbled}, Case{"empty", ""}}) {
        SCOPED_TRACE(c.name);
        std::ofstream(tree.hive("SOFTWARE"), std::ios::binary | std::ios::trunc) << c.bytes;
        messages.all.clear();
        HiveRegistry hives(tree.root(), "", &messages);
        // Whatever could be read is read; nothing is written back.
        read(hives, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Flags");
        std::string name;
        for (std::uint32_t i = 0; i < 100 && hives.enumKey(kHkeyLocalMachine, i, name) == kErrorSuccess; ++i) {
        }
        if (std::string(c.name) != "garbled") {
            ASSERT_FALSE(messages.all.empty());
            RegHandle h;
            EXPECT_NE(hives.openKey(kHkeyLocalMachine, "SOFTWARE", kKeyRead, h), kErrorSuccess);
        }
        EXPECT_EQ(readFile(tree.hive("SOFTWARE")), c.bytes);
    }
}

TEST_F(HiveTest, TheNewestProfileIsTheDefaultUser) {
    WindowsTree tree(dir / "win");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"), ""));
    ASSERT_TRUE(tree.make(tree.userHive("Old"), ""));
    ASSERT_TRUE(tree.make(tree.userHive("Default"), ""));
    ASSERT_TRUE(tree.make(tree.userHive("Recent"), kUser));
    fs::last_write_time(tree.userHive("Old"), fs::file_time_type::clock::now() - std::chrono::hours(48));
    fs::last_write_time(tree.userHive("Recent"), fs::file_time_type::clock::now() - std::chrono::hours(1));
    HiveRegistry hives(tree.root(), "", &messages);
    EXPECT_EQ(hives.userName(), "Recent");
    EXPECT_EQ(read(hives, kHkeyCurrentUser, "Software\\Classes\\.vbs", ""), std::string("Note\0", 5));
}

TEST_F(HiveTest, ARepairOnARealNtfsDisk) {
    vk::test::LoopFileSystem disk(vk::test::LoopFileSystem::Kind::Ntfs, 32);
    if (!disk.mounted()) GTEST_SKIP() << disk.skipReason();
    WindowsTree tree(disk.root(), "WINDOWS/System32/CONFIG", "Users");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"), kSoftware));
    {
        HiveRegistry hives(disk.root().string(), "", &messages);
        RegHandle run;
        ASSERT_EQ(hives.openKey(kHkeyLocalMachine, "software\\microsoft\\windows\\currentversion\\run", kKeyAllAccess, run),
                  kErrorSuccess);
        EXPECT_EQ(hives.deleteValue(run, "Updater"), kErrorSuccess);
        hives.closeKey(run);
    }
    const std::string after = WindowsTree::exported(tree.hive("SOFTWARE"));
    EXPECT_EQ(after.find("Updater"), std::string::npos);
    EXPECT_NE(after.find("\"Flags\"=dword:00000002"), std::string::npos);
}
