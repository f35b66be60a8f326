#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/WineRegistry.h"
#include "support/TempDir.h"

using namespace vk::platform;
using vk::test::readFile;
using vk::test::ScopedEnv;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

const char kSystem[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Classes\\\\.vbs] 1700000000\n"
    "#time=1da1b2c3d4e5f60\n"
    "@=\"VBSFile\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1700000001\n"
    "#time=1da1b2c3d4e5f61\n"
    "#class=\"Shell\"\n"
    "\"Caf\\xe9 \\\"Updater\\\"\"=\"C:\\\\users\\\\x\\\\caf\\x00e9.exe\\ttab\"\n"
    "\"Path\"=str(2):\"%SystemRoot%\\\\system32\"\n"
    "\"List\"=str(7):\"one\\0two\\0\"\n"
    "\"Wide\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
    "\"Flags\"=dword:0000002a\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
    "  17,18,19\n"
    "\"Odd\"=weird(5):thing\n"
    "\n"
    "[Software\\\\Wine] 1700000002\n"
    "#time=1da1b2c3d4e5f62\n"
    "\"Version\"=\"win10\"\n";

const char kUser[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Classes\\\\.vbs] 1700000003\n"
    "#time=1da1b2c3d4e5f63\n"
    "@=\"Notepad\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Policies\\\\System] 1700000004\n"
    "#time=1da1b2c3d4e5f64\n"
    "\"DisableTaskMgr\"=dword:00000001\n";

struct Messages : RegistryMessages {
    void message(const std::string& text) override { all.push_back(text); }
    std::vector<std::string> all;
};

std::string value(Registry& r, RegHandle root, const char* key, const char* name, std::uint32_t* type = nullptr) {
    RegHandle h;
    if (r.openKey(root, key, kKeyRead, h)) return "<no key>";
    std::uint32_t t = 0;
    std::string data;
    long st = r.queryValue(h, name, t, data);
    r.closeKey(h);
    if (type) *type = t;
    return st ? "<none>" : data;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

class WinePrefix : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(prefix / "drive_c" / "windows");
        std::ofstream(prefix / "system.reg") << kSystem;
        std::ofstream(prefix / "user.reg") << kUser;
    }
    TempDir dir;
    fs::path prefix = dir / "prefix";
    ScopedEnv data{"XDG_DATA_HOME", (dir / "data").c_str()};
    Messages messages;
};

}  // namespace

TEST_F(WinePrefix, ReadsEveryFormWinesFilesUse) {
    WineRegistry wine(prefix.string(), &messages);
    EXPECT_TRUE(messages.all.empty()) << messages.all.front();
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::uint32_t type = 0;
    EXPECT_EQ(value(wine, kHkeyLocalMachine, run, "Caf\xc3\xa9 \"updater\"", &type),
              std::string("C:\\users\\x\\caf\xc3\xa9.exe\ttab\0", 25));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(value(wine, kHkeyLocalMachine, run, "Path", &type), std::string("%SystemRoot%\\system32\0", 22));
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_EQ(value(wine, kHkeyLocalMachine, run, "List", &type), std::string("one\0two\0\0", 9));
    EXPECT_EQ(type, kRegMultiSz);
    EXPECT_EQ(value(wine, kHkeyLocalMachine, run, "Wide"), std::string("a\0b\0\0", 5));
    EXPECT_EQ(value(wine, kHkeyLocalMachine, run, "Flags"), std::string("\x2a\0\0\0", 4));
    std::string blob;
    for (int i = 0; i < 26; ++i) blob.push_back(static_cast<char>(i));
    EXPECT_EQ(value(wine, kHkeyLocalMachine, run, "Blob", &type), blob);
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(value(wine, kHkeyLocalMachine, run, "Odd"), "<none>");  // a form this reader does not know

    // The user's classes over the machine's; the user's key under HKEY_USERS.
    EXPECT_EQ(value(wine, kHkeyClassesRoot, ".vbs", ""), std::string("Notepad\0", 8));
    EXPECT_EQ(value(wine, kHkeyUsers, "S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                    "DisableTaskMgr"),
              std::string("\x01\0\0\0", 4));
    std::string name;
    EXPECT_EQ(wine.enumKey(kHkeyUsers, 0, name), kErrorSuccess);
    EXPECT_EQ(name, "S-1-5-21-0-0-0-1000");
}

TEST_F(WinePrefix, AChangeRewritesOnlyItsKeyAndKeepsWhatItDoesNotKnow) {
    {
        WineRegistry wine(prefix.string(), &messages);
        RegHandle run;
        ASSERT_EQ(wine.openKey(kHkeyLocalMachine, "software\\microsoft\\windows\\currentversion\\run", kKeyAllAccess, run),
                  kErrorSuccess);
        EXPECT_EQ(wine.deleteValue(run, "flags"), kErrorSuccess);
        EXPECT_EQ(wine.setValue(run, "New\ttab", kRegSz, std::string("d:\\\xe2\x84\xa2\0", 7)), kErrorSuccess);
        wine.closeKey(run);
        RegHandle made;
        ASSERT_EQ(wine.createKey(kHkeyCurrentUser, "Software\\Fresh\\Key", kKeyAllAccess, made), kErrorSuccess);
        EXPECT_EQ(wine.setValue(made, "", kRegDword, std::string("\x05\0\0\0", 4)), kErrorSuccess);
        wine.closeKey(made);
    }
    const auto before = linesOf(kSystem);
    const auto after = linesOf(readFile(prefix / "system.reg"));
    // Everything up to the changed key, and the key after it, stand as they were.
    ASSERT_GE(after.size(), 10u);
    for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(after[i], before[i]) << i;
    const std::string tail = "[Software\\\\Wine] 1700000002\n#time=1da1b2c3d4e5f62\n\"Version\"=\"win10\"\n";
    EXPECT_TRUE(readFile(prefix / "system.reg").ends_with(tail));
    const std::string text = readFile(prefix / "system.reg");
    EXPECT_EQ(text.find("\"Flags\""), std::string::npos);
    EXPECT_NE(text.find("#class=\"Shell\""), std::string::npos);
    EXPECT_NE(text.find("\"Odd\"=weird(5):thing"), std::string::npos);
    EXPECT_NE(text.find("\"New\\ttab\"=\"d:\\\\\\x2122\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Wide\"=str(7):\"a\\0b\\0\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Path\"=str(2):\"%SystemRoot%\\\\system32\""), std::string::npos);
    EXPECT_EQ(text.find("#time=1da1b2c3d4e5f61"), std::string::npos);  // the changed key got a fresh time
    EXPECT_NE(readFile(prefix / "user.reg").find("[Software\\\\Fresh\\\\Key] "), std::string::npos);
    EXPECT_NE(readFile(prefix / "user.reg").find("@=dword:00000005"), std::string::npos);

    // What was written reads back the same.
    WineRegistry again(prefix.string(), &messages);
    EXPECT_EQ(value(again, kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "New\ttab"),
              std::string("d:\\\xe2\x84\xa2\0", 7));
    EXPECT_EQ(value(again, kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Blob").size(), 26u);
    // And the files were kept as they were before the first change.
    std::size_t backups = 0;
    for (const auto& e : fs::directory_iterator(dir / "data" / "vandrelkast" / "backups"))
        backups += e.path().extension() != ".txt";
    EXPECT_EQ(backups, 2u);
}

TEST_F(WinePrefix, ARunningWineserverMakesTheRegistryReadOnly) {
    const std::string server = wineServerFolder(prefix.string());
    ASSERT_FALSE(server.empty());
    fs::create_directories(server);
    const std::string lockPath = server + "/lock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ::fcntl(fd, F_SETLK, &lock);
        char c = 1;
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    {
        EXPECT_TRUE(wineServerRunning(prefix.string()));
        WineRegistry wine(prefix.string(), &messages);
        ASSERT_EQ(messages.all.size(), 1u);
        EXPECT_NE(messages.all[0].find("wineserver -k"), std::string::npos);
        EXPECT_EQ(value(wine, kHkeyLocalMachine, "Software\\Wine", "Version"), std::string("win10\0", 6));
        RegHandle h;
        EXPECT_EQ(wine.openKey(kHkeyLocalMachine, "Software\\Wine", kKeyAllAccess, h), kErrorAccessDenied);
        EXPECT_EQ(wine.createKey(kHkeyLocalMachine, "Software\\New", kKeyAllAccess, h), kErrorAccessDenied);
    }
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    fs::remove_all(server);
    EXPECT_EQ(readFile(prefix / "system.reg"), kSystem);
    EXPECT_FALSE(wineServerRunning(prefix.string()));
}

TEST_F(WinePrefix, BrokenFilesAreOnlyRead) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"no header", "REGEDIT4\n[Software]\n"},
        {"key line without its end", std::string(kSystem) + "[Software\\\\Broken 17\n\"x\"=\"y\"\n"},
        {"endless line", "WINE REGISTRY Version 2\n[A] 1\n\"x\"=\"" + std::string((16u << 20) + 10, 'a') + "\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(prefix / "system.reg", std::ios::trunc) << c.text;
        messages.all.clear();
        WineRegistry wine(prefix.string(), &messages);
        ASSERT_EQ(messages.all.size(), 1u);
        EXPECT_NE(messages.all[0].find("only read"), std::string::npos) << messages.all[0];
        RegHandle h;
        EXPECT_NE(wine.createKey(kHkeyLocalMachine, "Software\\New", kKeyAllAccess, h), kErrorSuccess);
        EXPECT_EQ(readFile(prefix / "system.reg"), c.text);
    }
}

TEST(WineStrings, EscapesGoBothWays) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"a\\b\"c", "a\\\\b\\\"c"},
        {"tab\tnl\ncr\r", "tab\\tnl\\ncr\\r"},
        {std::string("nul\0end", 7), "nul\\0end"},
        {std::string("\x01" "7", 2), "\\0017"},
        {"caf\xc3\xa9", "caf\\xe9"},
        {"\xc3\xa9" "a", "\\x00e9a"},
        {"\xe2\x84\xa2", "\\x2122"},
    };
    for (const auto& [text, escaped] : cases) {
        SCOPED_TRACE(escaped);
        EXPECT_EQ(escapeWineString(text, '"'), escaped);
        std::string quoted = escaped + "\"";
        std::size_t pos = 0;
        EXPECT_EQ(unescapeWineString(quoted, pos, '"'), text);
        EXPECT_EQ(pos, quoted.size());
    }
    std::size_t pos = 0;
    EXPECT_FALSE(unescapeWineString("never closes", pos, '"'));
}
