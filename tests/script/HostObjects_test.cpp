#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "checksum/Crc32.h"
#include "checksum/Sha256.h"
#include "script/Console.h"
#include "script/host/ScriptHost.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

namespace fs = std::filesystem;

// Script path of a file below the test folder, written with Windows separators.
std::string winPath(const fs::path& p) {
    std::string s = p.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }

class HostObjects : public ::testing::Test {
protected:
    std::string value(const std::string& expression) {
        vbs::Variant v;
        auto r = host.engine().eval(expression, v);
        EXPECT_TRUE(r.ok) << expression << ": " << r.description;
        return r.ok ? vbs::toUtf8(v) : "<error " + std::to_string(r.number) + ">";
    }
    vbs::ScriptResult run(const std::string& script) { return host.runScript(script); }

    Console console;
    ScriptHost host{console};
    test::TempDir dir;
};

TEST_F(HostObjects, Sha256OfTextsMatchesKnownDigests) {
    struct Case {
        const char* expression;
        const char* digest;
    } cases[] = {
        {"\"\"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"\"abc\"", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"\"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq\"",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"String(1000, \"a\")", "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
    };
    for (const auto& c : cases) EXPECT_EQ(value(std::string("SHA256.SHA256(") + c.expression + ")"), c.digest);
    // One byte per character: Latin-1 as itself, higher characters lose their high byte.
    const std::string e9 = checksum::Sha256::hexDigest("\xE9");
    EXPECT_EQ(value("SHA256.SHA256(ChrW(&HE9))"), e9);
    EXPECT_EQ(value("SHA256.SHA256(ChrW(&H1E9))"), e9);
    EXPECT_EQ(value("SHA256.SHA256(123)"), checksum::Sha256::hexDigest("123"));
}

TEST_F(HostObjects, Md5DigestMembers) {
    EXPECT_EQ(value("MD5Digest.DigestStrToHexStr(\"abc\")"), "900150983CD24FB0D6963F7D28E17F72");
    auto file = dir.write("m.txt", "abc");
    EXPECT_EQ(value("MD5Digest.DigestFileToHexStr(" + inQuotes(winPath(file)) + ")"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(value("MD5Digest.DigestFileToHexStr(" + inQuotes(winPath(dir / "none")) + ")"), "");
    ASSERT_TRUE(run("MD5Digest.CancelDigest = True\r\nc = MD5Digest.CancelDigest").ok);
    EXPECT_EQ(value("c"), "True");
    EXPECT_EQ(run("x = MD5Digest.DigestStrToHexStr(String(40000, \"a\"))").number, 6);
}

TEST_F(HostObjects, ShellFoldersAndSystemFolders) {
    test::ScopedEnv config("XDG_CONFIG_HOME", dir.str().c_str());
    fs::create_directories(dir / "autostart");
    EXPECT_EQ(value("FileIO.ShellFolders(7)"), (dir / "autostart").string());
    EXPECT_EQ(value("FileIO.ShellFolders(9999)"), "");
    EXPECT_EQ(value("FileIO.ShellFolders(-1)"), "");
    test::ScopedEnv windows("VANDRELKAST_WINDOWS", nullptr);
    EXPECT_EQ(value("FileIO.WindowsDirectory & \"|\" & FileIO.SystemDirectory"), "|");
}

TEST_F(HostObjects, CopyMoveAndDeleteFiles) {
    fs::create_directories(dir / "a");
    dir.write("a/src.txt", "new");
    dir.write("a/dst.txt", "old content");
    auto r = run("FileIO.CopyFile " + inQuotes(winPath(dir / "a/src.txt")) + ", " + inQuotes(winPath(dir / "a/dst.txt")) +
                 "\r\nFileIO.CopyFile " + inQuotes(winPath(dir / "missing.txt")) + ", " +
                 inQuotes(winPath(dir / "a/none.txt")));
    ASSERT_TRUE(r.ok) << r.description;
    EXPECT_EQ(test::readFile(dir / "a/dst.txt"), "new");
    EXPECT_FALSE(fs::exists(dir / "a/none.txt"));

    dir.write("a/keep.txt", "keep");
    r = run("FileIO.MoveFile " + inQuotes(winPath(dir / "a/src.txt")) + ", " + inQuotes(winPath(dir / "a/moved.txt")) +
            "\r\nFileIO.MoveFile " + inQuotes(winPath(dir / "a/dst.txt")) + ", " + inQuotes(winPath(dir / "a/keep.txt")) +
            "\r\nFileIO.DeleteFile " + inQuotes(winPath(dir / "a/moved.txt")) + "\r\nFileIO.DeleteFile " +
            inQuotes(winPath(dir / "missing.txt")) + "\r\nFileIO.DeleteFile " + inQuotes(winPath(dir / "a")));
    ASSERT_TRUE(r.ok) << r.description;
    EXPECT_FALSE(fs::exists(dir / "a/src.txt"));
    EXPECT_FALSE(fs::exists(dir / "a/moved.txt"));
    EXPECT_EQ(test::readFile(dir / "a/keep.txt"), "keep") << "MoveFile does not replace";
    EXPECT_TRUE(fs::exists(dir / "a/dst.txt"));
    EXPECT_TRUE(fs::is_directory(dir / "a"));
}

TEST_F(HostObjects, GetFileCrc32) {
    auto data = dir.write("data.bin", "123456789");
    const std::string text = "123456789";
    std::int32_t expected = checksum::computeCrc32(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    EXPECT_EQ(value("FileIO.GetFileCRC32(" + inQuotes(winPath(data)) + ")"), std::to_string(expected));
    EXPECT_EQ(value("TypeName(FileIO.GetFileCRC32(" + inQuotes(winPath(data)) + "))"), "Long");

    auto empty = dir.write("empty.bin", "");
    auto r = run("IOMessage \"x\"\r\nc = FileIO.GetFileCRC32(" + inQuotes(winPath(empty)) + ")\r\nIOMessage \"after\"");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.number, 9);
    EXPECT_EQ(console.text(), "x");

    r = run("c = FileIO.GetFileCRC32(" + inQuotes(winPath(dir / "missing.bin")) + ")");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.number, 53);
    EXPECT_EQ(r.description, "File not found");
    EXPECT_FALSE(fs::exists(dir / "missing.bin")) << "a missing file must not be created";

    EXPECT_EQ(run("c = FileIO.GetFileCRC32(" + inQuotes(winPath(dir.path())) + ")").number, 75);
    // Scripts may handle it themselves.
    ASSERT_TRUE(run("On Error Resume Next\r\nc = FileIO.GetFileCRC32(\"" + winPath(empty) + "\")\r\nn = Err.Number").ok);
    EXPECT_EQ(value("n"), "9");
}

TEST_F(HostObjects, IniValuesAndAttributes) {
    auto ini = winPath(dir / "conf.ini");
    ASSERT_TRUE(run("r = FileIO.WriteINI(" + inQuotes(ini) + ", \"Main\", \"Key\", \"Value 1\")").ok);
    EXPECT_EQ(value("IsEmpty(r)"), "True");
    EXPECT_EQ(value("FileIO.GetINI(" + inQuotes(ini) + ", \"main\", \"KEY\", \"dflt\")"), "Value 1");
    EXPECT_EQ(value("FileIO.GetINI(" + inQuotes(ini) + ", \"Main\", \"Other\", \"dflt\")"), "dflt");

    auto file = dir.write("ro.txt", "x");
    ASSERT_TRUE(run("FileIO.SetAttributes " + inQuotes(winPath(file)) + ", 1").ok);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
    ASSERT_TRUE(run("FileIO.SetAttributes " + inQuotes(winPath(file)) + ", 0").ok);
    EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(run("FileIO.SetAttributes " + inQuotes(winPath(dir / "none.txt")) + ", 1").number, 53);
}

TEST_F(HostObjects, ProcessKillsAStartedCopyOfSleepByItsPath) {
    auto exe = dir / "vk-host-sleeper";
    fs::copy_file("/bin/sleep", exe);
    exe = fs::canonical(exe);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(exe.c_str(), exe.c_str(), "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait until the child runs the copy, not our own image.
    bool started = false;
    for (int i = 0; i < 500 && !started; ++i) {
        std::error_code ec;
        started = fs::read_symlink("/proc/" + std::to_string(child) + "/exe", ec) == exe;
        if (!started) ::usleep(10000);
    }
    ASSERT_TRUE(started);
    auto r = run("found = 0 : killed = False\r\nProcess.Refresh\r\nFor i = 0 To Process.Count\r\n"
                 "  If Process.ExePath(i) = " + inQuotes(exe.string()) + " Then\r\n"
                 "    found = Process.ProcessID(i)\r\n    killed = Process.KillProcess(found)\r\n  End If\r\nNext");
    ASSERT_TRUE(r.ok) << r.description;
    int status = 0;
    if (value("killed") != "True") ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(value("found"), std::to_string(child));
    EXPECT_EQ(value("killed"), "True");
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(value("Process.KillProcess(0)"), "False");
    EXPECT_EQ(value("Process.ExePath(-5)"), "");
}

}  // namespace
}  // namespace vk::script
