#include "script/ScriptIniEngine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/SpecialFolders.h"
#include "ScriptIniEngineTestSupport.h"

namespace vk::script {
namespace {

namespace fs = std::filesystem;
using testing::EngineHarness;

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return text;
}

TEST(ScriptIniEngineRun, MainOnlyScriptWritesTheWholeSequenceAndCopiesIt) {
    struct CountingPump : platform::EventPump {
        int calls = 0;
        void pump() override { ++calls; }
    } pump;
    EngineHarness h;
    h.console.setPump(&pump);
    h.console.setText("AutoRepair Console");  // the caller empties it; run() does
    h.run(
        "[Main]\r\n"
        "VersionCompatible=1.4.0\r\n"
        "Title=Kill Foo\r\n"
        "Version=2.1\r\n"
        "ThreatName=W32.Foo\r\n"
        "LegalCopyright=(c) Nobody\r\n"
        "DoTerminateProcesses=0\r\n"
        "DoManageFiles=0\r\n"
        "DoManageRegistry=0\r\n"
        "DoDisinfectDrives=0\r\n");
    const std::string rule = "=============================================";
    std::string expected = joinCrLf({
        "Kill Foo",
        "2.1",
        "(c) Nobody",
        "",
        "This KastScript is designed to remove virus strains of W32.Foo.",
        "",
        rule,
        "Terminating Processes of W32.Foo...",
        rule,
        "",
        rule,
        "Deleting W32.Foo's files...",
        rule,
        "",
        rule,
        "Restoring Windows Registry to its original state...",
        rule,
        "",
        rule,
        "Disinfecting connected drives...",
        rule,
        "",
        "",
        "Copying AutoRepair log to clipboard...",
        "",
        "Repair finished.",
        "Your computer is now disinfected is now free from W32.Foo.",
        "",
    });
    EXPECT_EQ(h.console.text(), expected);
    ASSERT_EQ(h.clipboard.copies.size(), 1u);
    EXPECT_EQ(h.clipboard.copies[0], expected);
    EXPECT_TRUE(h.errors.numbers.empty());
    EXPECT_EQ(pump.calls, 9);  // one per console entry
}

TEST(ScriptIniEngineRun, MissingKeysTakeTheirDefaults) {
    EngineHarness h;
    h.run("[Main]\r\n");
    auto lines = h.lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "1.0");  // Version defaults to 1.0
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[4], "This KastScript is designed to remove virus strains of .");
    EXPECT_TRUE(h.hasLine("Terminating Processes of ..."));
    EXPECT_TRUE(h.hasLine("Deleting 's files..."));
    EXPECT_EQ(h.clipboard.copies.size(), 1u);
}

TEST(ScriptIniEngineRun, NamesAreMatchedWithoutRegardToCase) {
    EngineHarness h;
    h.run("[MAIN]\r\ntitle=T\r\nTHREATNAME=X\r\n");
    EXPECT_EQ(h.lines()[0], "T");
    EXPECT_TRUE(h.hasLine("Terminating Processes of X..."));
}

TEST(ScriptIniEngineRun, VersionRefusals) {
    struct Case {
        const char* required;
        bool runs;
    };
    for (Case c : {Case{"1.4.0", true}, Case{"1.5.0", false}, Case{"1.10.0", true}, Case{"1.4", false},
                   Case{"1.1", true}, Case{"1.3.9", true}, Case{"2.0.0", false}, Case{"1.4.1", false},
                   Case{"1.4.0.7", true}, Case{"", true}, Case{"1", false}}) {
        EngineHarness h;
        h.run(std::string("[Main]\r\nVersionCompatible=") + c.required + "\r\nTitle=T\r\n");
        if (c.runs) {
            EXPECT_EQ(h.lines()[0], "T") << c.required;
            EXPECT_EQ(h.clipboard.copies.size(), 1u) << c.required;
        } else {
            EXPECT_EQ(h.console.text(),
                      std::string("This KastScript needs a newer version of VandrelKast. Please update "
                                  "your copy of VandrelKast.\r\n\r\nVersion Needed: ") +
                          c.required)
                << c.required;
            EXPECT_TRUE(h.clipboard.copies.empty()) << c.required;
        }
    }
}

TEST(ScriptIniEngineRun, VersionDefaultsToOneOneZero) {
    EngineHarness h;
    h.run("[Main]\r\nTitle=T\r\n");
    EXPECT_EQ(h.lines()[0], "T");
}

TEST(ScriptIniEngine, IsVersionCompatibleComparesPartsAsText) {
    EXPECT_TRUE(ScriptIniEngine::isVersionCompatible("1.4.0", "1.4.0"));
    EXPECT_TRUE(ScriptIniEngine::isVersionCompatible("1.4.0", "1.10.0"));
    EXPECT_FALSE(ScriptIniEngine::isVersionCompatible("1.4.0", "1.5.0"));
    EXPECT_FALSE(ScriptIniEngine::isVersionCompatible("1.4.0", "1.4"));
    EXPECT_TRUE(ScriptIniEngine::isVersionCompatible("1.4.0", "1.1"));
    EXPECT_FALSE(ScriptIniEngine::isVersionCompatible("1.4.0", "1.4.0a"));
    EXPECT_TRUE(ScriptIniEngine::isVersionCompatible("1.4.0", "1.4.-"));
}

TEST(ScriptIniEngineRun, ConsoleOverTheLimitIsEmptiedByTheRun) {
    EngineHarness h;
    auto path = h.dir.write("s.vki", "[Main]\r\nTitle=T\r\n");
    h.console.setText(std::string(55001, 'x'));
    h.engine.runIniKastScript(path.string());
    EXPECT_EQ(h.lines()[0], "T");
    EXPECT_EQ(h.console.text().find('x'), std::string::npos);
}

TEST(ScriptIniEngineRun, ConsoleAtTheLimitKeepsItsText) {
    EngineHarness h;
    auto path = h.dir.write("s.vki", "[Main]\r\nTitle=T\r\n");
    h.console.setText(std::string(55000, 'x'));
    h.engine.runIniKastScript(path.string());
    // The title joined the old text; that made it too long for the next line.
    EXPECT_TRUE(h.console.text().starts_with("\r\nThis KastScript is designed"));
    EXPECT_EQ(h.console.text().find('x'), std::string::npos);
}

// Flags through DoManageFiles: the file is deleted only when the flag is on.
TEST(ScriptIniEngineConversions, Flags) {
    struct Case {
        const char* text;
        bool on;
        bool error;
    };
    for (Case c : {Case{"1", true, false}, Case{"-1", true, false}, Case{"7", true, false},
                   Case{"True", true, false}, Case{"true", true, false}, Case{"0", false, false},
                   Case{"False", false, false}, Case{"yes", false, true}, Case{"", false, true}}) {
        EngineHarness h;
        auto victim = h.dir.write("victim.txt", "x");
        h.run(std::string("[Main]\r\nDoManageFiles=") + c.text +
              "\r\n[ManageFiles]\r\nDeleteFileCount=1\r\nDeleteFile1=" + victim.string() + "\r\n");
        EXPECT_EQ(fs::exists(victim), !c.on) << c.text;
        EXPECT_EQ(h.hasLine("Deleting file: " + victim.string()), c.on) << c.text;
        EXPECT_EQ(!h.errors.numbers.empty(), c.error) << c.text;
    }
}

TEST(ScriptIniEngineConversions, CountsRoundHalfToEvenAndNonNumbersAreZero) {
    struct Case {
        const char* text;
        int entries;
        bool error;
    };
    for (Case c : {Case{"2", 2, false}, Case{"2.5", 2, false}, Case{"3.5", 4, false}, Case{"1.4", 1, false},
                   Case{"&H3", 3, false}, Case{"1e1", 10, false}, Case{"abc", 0, true}, Case{"-3", 0, false},
                   Case{"99999999999", 0, true}}) {
        EngineHarness h;
        std::string script = std::string("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=") +
                             c.text + "\r\n";
        std::vector<fs::path> files;
        for (int n = 1; n <= 5; ++n) {
            files.push_back(h.dir.write("f" + std::to_string(n), "x"));
            script += "DeleteFile" + std::to_string(n) + "=" + files.back().string() + "\r\n";
        }
        h.run(script);
        int deleted = 0;
        for (const auto& f : files) deleted += fs::exists(f) ? 0 : 1;
        EXPECT_EQ(deleted, std::min(c.entries, 5)) << c.text;
        auto lines = h.sectionAfter("Deleting 's files...");
        EXPECT_EQ(static_cast<int>(lines.size()), c.entries) << c.text;
        for (int n = 5; n < c.entries; ++n) EXPECT_EQ(lines[n], "Deleting file: ") << c.text;
        EXPECT_EQ(!h.errors.numbers.empty(), c.error) << c.text;
    }
}

TEST(ScriptIniEngineConversions, MissingCountMeansNoEntries) {
    EngineHarness h;
    auto f = h.dir.write("f", "x");
    h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFile1=" + f.string() + "\r\n");
    EXPECT_TRUE(fs::exists(f));
    EXPECT_TRUE(h.sectionAfter("Deleting 's files...").empty());
    EXPECT_TRUE(h.errors.numbers.empty());
}

TEST(ScriptIniEngineConversions, HugeCountDoesNotRunAway) {
    EngineHarness h;
    h.run("[Main]\r\nDoManageFiles=1\r\n[ManageFiles]\r\nDeleteFileCount=2147483647\r\nDeleteFile1=a\r\n");
    auto lines = h.sectionAfter("Deleting 's files...");
    EXPECT_GE(lines.size(), 2u);
    EXPECT_LE(lines.size(), 5000u);
    EXPECT_TRUE(h.hasLine("Repair finished."));
}

class ScriptIniEngineExpand : public ::testing::Test {
protected:
    test::TempDir home;
    test::ScopedEnv homeEnv{"HOME", home.str().c_str()};
};

TEST_F(ScriptIniEngineExpand, PlaceholdersInAnyCase) {
    std::string profile = platform::specialFolderPath(platform::kCsidlProfile);
    ASSERT_FALSE(profile.empty());
    ScriptIniEngine engine;
    EXPECT_EQ(engine.expandScriptPath("<PROFILE>\\evil.exe"), profile + "\\evil.exe");
    EXPECT_EQ(engine.expandScriptPath("<profile>\\evil.exe"), profile + "\\evil.exe");
    EXPECT_EQ(engine.expandScriptPath("<Profile>\\a;<pRoFiLe>\\b"), profile + "\\a;" + profile + "\\b");
    EXPECT_FALSE(engine.lastExpansionUnresolved());
}

TEST_F(ScriptIniEngineExpand, UnknownPlaceholderStaysAsWritten) {
    ScriptIniEngine engine;
    EXPECT_EQ(engine.expandScriptPath("<NoSuchFolder>\\x.exe"), "<NoSuchFolder>\\x.exe");
    EXPECT_EQ(engine.expandScriptPath("<PROFILE\\x.exe"), "<PROFILE\\x.exe");
    EXPECT_EQ(engine.expandScriptPath("plain\\path"), "plain\\path");
    EXPECT_FALSE(engine.lastExpansionUnresolved());
}

TEST_F(ScriptIniEngineExpand, FolderTheSystemLacksBecomesEmpty) {
    ASSERT_EQ(platform::specialFolderPath(42), "");
    ScriptIniEngine engine;
    EXPECT_EQ(engine.expandScriptPath("<PROGRAMFILESX86>\\file.exe"), "\\file.exe");
    EXPECT_TRUE(engine.lastExpansionUnresolved());
}

TEST_F(ScriptIniEngineExpand, EveryNameMapsToItsFolder) {
    // Written out again here so that a slip in either table shows.
    const std::vector<std::pair<std::string, int>> table{
        {"DESKTOP", 0},          {"PROGRAMS", 2},          {"PERSONAL", 5},
        {"FAVORITES", 6},        {"STARTUP", 7},           {"RECENT", 8},
        {"SENDTO", 9},           {"STARTMENU", 11},        {"DESKTOPDIRECTORY", 16},
        {"NETHOOD", 19},         {"FONTS", 20},            {"TEMPLATES", 21},
        {"COMMONSTARTMENU", 22}, {"COMMONPROGRAMS", 23},   {"COMMONSTARTUP", 24},
        {"COMMONDESKTOPDIRECTORY", 25}, {"APPDATA", 26},   {"LOCALAPPDATA", 28},
        {"PRINTHOOD", 27},       {"ALTSTARTUP", 29},       {"COMMONALTSTARTUP", 30},
        {"COMMONFAVORITES", 31}, {"INTERNETCACHE", 32},    {"COOKIES", 33},
        {"HISTORY", 34},         {"COMMONAPPDATA", 35},    {"WINDIR", -1},
        {"SYSDIR", -2},          {"PROGRAMFILES", 38},     {"MYPICTURES", 39},
        {"PROFILE", 40},         {"SYSTEMX86", 41},        {"PROGRAMFILESX86", 42},
        {"PROGRAMFILESCOMMON", 43}, {"PROGRAMFILESCOMMONX86", 44}, {"COMMONTEMPLATES", 45},
        {"COMMONDOCUMENTS", 46}, {"COMMONADMINTOOLS", 47}, {"ADMINTOOLS", 48},
    };
    ASSERT_EQ(table.size(), 39u);
    ASSERT_EQ(ScriptIniEngine::placeholderNames().size(), 39u);
    ScriptIniEngine engine;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& [name, csidl] = table[i];
        EXPECT_EQ(ScriptIniEngine::placeholderNames()[i], name);
        std::string folder = csidl == -1   ? platform::windowsDirectory()
                             : csidl == -2 ? platform::systemDirectory()
                                           : platform::specialFolderPath(csidl);
        EXPECT_EQ(engine.expandScriptPath("<" + name + ">|"), folder + "|") << name;
    }
}

TEST_F(ScriptIniEngineExpand, WindowsFoldersComeFromTheConfiguredInstallation) {
    test::TempDir windows;
    std::filesystem::create_directories(windows / "Windows" / "System32");
    test::ScopedEnv env("VANDRELKAST_WINDOWS", windows.str().c_str());
    std::string windir = platform::windowsDirectory();
    ASSERT_FALSE(windir.empty());
    ScriptIniEngine engine;
    EXPECT_EQ(engine.expandScriptPath("<windir>\\explorer.exe"), windir + "\\explorer.exe");
    EXPECT_EQ(engine.expandScriptPath("<SysDir>\\x.dll"), platform::systemDirectory() + "\\x.dll");
}

TEST_F(ScriptIniEngineExpand, FoldersAreResolvedOncePerEngine) {
    ScriptIniEngine engine;
    std::string first = engine.expandScriptPath("<PROFILE>");
    ASSERT_EQ(first, platform::specialFolderPath(platform::kCsidlProfile));
    test::TempDir otherHome;
    test::ScopedEnv env("HOME", otherHome.str().c_str());
    EXPECT_EQ(engine.expandScriptPath("<PROFILE>"), first);
    ScriptIniEngine fresh;
    EXPECT_EQ(fresh.expandScriptPath("<PROFILE>"), platform::specialFolderPath(platform::kCsidlProfile));
}

TEST(ScriptIniEngine, ExtensionFilterItemsAreNotTrimmed) {
    struct Case {
        const char* list;
        const char* extension;
        bool in;
    };
    EngineHarness h;
    for (Case c : {Case{"exe;com", "EXE", true}, Case{"exe;com", "com", true}, Case{"exe;com", "scr", false},
                   Case{"exe;com", "", false}, Case{"exe; com", "com", false}, Case{"exe; com", " com", true},
                   Case{"", "", false}, Case{"EXE", "exe", true}, Case{"exe;", "", true}}) {
        h.run(std::string("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=99\r\n"
                          "FileExtensionFilter=") +
              c.list + "\r\n");
        EXPECT_EQ(h.engine.extensionInFilter(c.extension), c.in) << c.list << " / " << c.extension;
    }
}

}  // namespace
}  // namespace vk::script
