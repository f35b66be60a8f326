#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/IniProfile.h"
#include "platform/Utf16.h"
#include "support/TempDir.h"

namespace vk::platform {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

class IniProfileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path(const char* name = "config.ini") const { return (dir / name).string(); }
};

TEST_F(IniProfileTest, MissingFileGivesTheDefault) {
    EXPECT_EQ(getProfileString(path(), "Window", "Caption", "Default  "), "Default");
    EXPECT_EQ(getProfileString(dir.str(), "Window", "Caption", "dir"), "dir");
    EXPECT_EQ(getProfileString("", "Window", "Caption", "none"), "none");
}

TEST_F(IniProfileTest, WriteCreatesTheFileAndTheSection) {
    ASSERT_TRUE(writeProfileString(path(), "Window", "Caption", "VandrelKast"));
    EXPECT_EQ(test::readFile(path()), "[Window]\r\nCaption=VandrelKast\r\n");
    ASSERT_TRUE(writeProfileString(path(), "Farwatch", "Enabled", "1"));
    EXPECT_EQ(test::readFile(path()), "[Window]\r\nCaption=VandrelKast\r\n[Farwatch]\r\nEnabled=1\r\n");
    EXPECT_EQ(getProfileString(path(), "farwatch", "ENABLED", "0"), "1");
}

struct EditCase {
    const char* label;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST_F(IniProfileTest, EditsKeepEverythingElseByteForByte) {
    const EditCase cases[] = {
        {"replace in place", "; top\r\n[A]\r\nx = 1 ; old\r\ny=2\r\n", "a", "X", "new",
         "; top\r\n[A]\r\nx=new\r\ny=2\r\n"},
        {"append at end of its section", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
        {"append after a trailing comment stays in section", "[A]\r\nx=1\r\n; note\r\n[B]\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\n; note\r\n[B]\r\n"},
        {"empty section", "[A]\r\n[B]\r\n", "A", "k", "v", "[A]\r\nk=v\r\n[B]\r\n"},
        {"last line without line end", "[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
        {"new section after text without line end", "[A]\nx=1", "B", "y", "2", "[A]\nx=1\n[B]\ny=2\n"},
        {"keeps LF line ends", "[A]\nx=1\n", "A", "y", "2", "[A]\nx=1\ny=2\n"},
        {"keeps CR line ends", "[A]\rx=1\r", "A", "x", "9", "[A]\rx=9\r"},
        {"first of repeated sections", "[A]\nx=1\n[a]\nx=2\n", "A", "x", "3", "[A]\nx=3\n[a]\nx=2\n"},
        {"first of repeated keys", "[A]\nx=1\nX=2\n", "A", "x", "3", "[A]\nx=3\nX=2\n"},
        {"key without equals gets one", "[A]\nflag\n", "A", "flag", "1", "[A]\nflag=1\n"},
        {"utf8 bom kept", "\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "x", "2", "\xEF\xBB\xBF[A]\r\nx=2\r\n"},
        {"names are trimmed", "[A]\r\n", " A ", "  key ", " v ", "[A]\r\nkey= v \r\n"},
        {"empty file", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        dir.write("edit.ini", c.before);
        ASSERT_TRUE(writeProfileString(path("edit.ini"), c.section, c.key, c.value));
        EXPECT_EQ(test::readFile(path("edit.ini")), c.after);
    }
}

TEST_F(IniProfileTest, RefusesWhatWouldReadBackAsSomethingElse) {
    dir.write("safe.ini", "[A]\r\nx=1\r\n");
    const std::tuple<const char*, const char*, const char*> refused[] = {
        {"A", "x", "1\r\n[Injected]"}, {"A", "x\ny", "1"}, {"A\rB", "x", "1"},
        {"A", "k=v", "1"},             {"A", "[B]", "1"},  {"A", ";c", "1"},
    };
    for (const auto& [section, key, value] : refused) {
        SCOPED_TRACE(testing::PrintToString(std::string(key) + "|" + value));
        EXPECT_FALSE(writeProfileString(path("safe.ini"), section, key, value));
    }
    EXPECT_EQ(test::readFile(path("safe.ini")), "[A]\r\nx=1\r\n");
    // A NUL ends a text, as in the ANSI calls.
    ASSERT_TRUE(writeProfileString(path("safe.ini"), "A", "x", "2\0hidden"s));
    EXPECT_EQ(test::readFile(path("safe.ini")), "[A]\r\nx=2\r\n");
}

TEST_F(IniProfileTest, ReadsSeeEveryChangeThoughParsesAreCached) {
    ASSERT_TRUE(writeProfileString(path(), "S", "k", "one"));
    EXPECT_EQ(getProfileString(path(), "S", "k", ""), "one");
    ASSERT_TRUE(writeProfileString(path(), "S", "k", "two"));
    EXPECT_EQ(getProfileString(path(), "S", "k", ""), "two");
    // Replaced behind our back with a file of the same size.
    dir.write("config.ini", "[S]\r\nk=six\r\n");
    EXPECT_EQ(getProfileString(path(), "S", "k", ""), "six");
    fs::remove(path());
    EXPECT_EQ(getProfileString(path(), "S", "k", "gone"), "gone");
    for (int i = 0; i < 2000; ++i) {
        std::string key = "k" + std::to_string(i);
        EXPECT_EQ(getProfileString(path(), "S", key, key), key);
    }
}

TEST_F(IniProfileTest, Utf16FileStaysUtf16) {
    dir.write("wide.ini", "\xFF\xFE"s + utf8ToUtf16le("[S]\r\nName=Gr\xc3\xbc\xc3\x9f" "e\r\n"));
    EXPECT_EQ(getProfileString(path("wide.ini"), "S", "Name", ""), "Gr\xc3\xbc\xc3\x9f" "e");
    ASSERT_TRUE(writeProfileString(path("wide.ini"), "S", "New", "\xc3\xa9"));
    EXPECT_EQ(test::readFile(path("wide.ini")),
              "\xFF\xFE"s + utf8ToUtf16le("[S]\r\nName=Gr\xc3\xbc\xc3\x9f" "e\r\nNew=\xc3\xa9\r\n"));
}

TEST_F(IniProfileTest, WritesThatCannotHappenReportFalse) {
    dir.write("file", "x");
    EXPECT_FALSE(writeProfileString((dir / "file" / "below.ini").string(), "S", "k", "v"));
    EXPECT_FALSE(writeProfileString((dir / "missing" / "x.ini").string(), "S", "k", "v"));
    EXPECT_FALSE(writeProfileString(dir.str(), "S", "k", "v"));
    EXPECT_FALSE(writeProfileString("/proc/self/vandrelkast.ini", "S", "k", "v"));
}

TEST_F(IniProfileTest, AReadOnlyFileIsNotWrittenByAnUnprivilegedUser) {
    dir.write("ro.ini", "[S]\r\nk=v\r\n");
    fs::permissions(path("ro.ini"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.path(), fs::perms::all);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        int failures = 0;
        if (getProfileString(path("ro.ini"), "S", "k", "") != "v") failures |= 1;
        if (writeProfileString(path("ro.ini"), "S", "k", "changed")) failures |= 2;
        ::_exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    fs::permissions(dir.path(), fs::perms::owner_all);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 100);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::readFile(path("ro.ini")), "[S]\r\nk=v\r\n");
}

TEST_F(IniProfileTest, ASymlinkedFileStaysALink) {
    dir.write("real/target.ini", "[S]\r\nk=1\r\n");
    fs::create_symlink(dir / "real" / "target.ini", dir / "link.ini");
    ASSERT_TRUE(writeProfileString(path("link.ini"), "S", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(test::readFile(dir / "real" / "target.ini"), "[S]\r\nk=2\r\n");
}

}  // namespace
}  // namespace vk::platform
