#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class VkRepair : public ::testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("VANDRELKAST_TEST_BIN");
        if (!bin) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
        program_ = fs::path(bin) / "vkrepair";
        ASSERT_TRUE(fs::exists(program_)) << program_;
    }

    // Runs vkrepair with the given arguments (already quoted) in a clean
    // environment: its own registry store and no drives.
    Result run(const std::string& args, const std::string& drives = "") {
        auto out = dir / "stdout";
        auto err = dir / "stderr";
        std::string cmd = "env VANDRELKAST_REGISTRY='" + (dir / "registry").string() + "' VANDRELKAST_DRIVES='" +
                          drives + "' '" + program_.string() + "' " + args + " >'" + out.string() + "' 2>'" +
                          err.string() + "'";
        int raw = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = vk::test::readFile(out);
        r.err = vk::test::readFile(err);
        return r;
    }

    vk::test::TempDir dir;
    fs::path program_;
};

TEST_F(VkRepair, PrintsEachConsoleLineWithLfEndings) {
    auto victim = dir.write("drive/autorun.inf", "x");
    auto script = dir.write("fix.vki",
                            "[Main]\r\nTitle=Fix\r\nVersion=1\r\nThreatName=Foo\r\nLegalCopyright=c\r\n"
                            "DoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\n"
                            "DeleteFileCount=1\r\nDeleteFile1=autorun.inf\r\n");
    auto r = run("'" + script.string() + "'", (dir / "drive").string() + "|1|1");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string rule(45, '=');
    EXPECT_EQ(r.out, "Fix\n1\nc\n"
                     "\n"
                     "This KastScript is designed to remove virus strains of Foo.\n"
                     "\n" + rule + "\nTerminating Processes of Foo...\n" + rule + "\n"
                     "\n" + rule + "\nDeleting Foo's files...\n" + rule + "\n"
                     "\n" + rule + "\nRestoring Windows Registry to its original state...\n" + rule + "\n"
                     "\n" + rule + "\nDisinfecting connected drives...\n" + rule + "\n"
                     "Deleting file: " + (dir / "drive").string() + "/autorun.inf\n"
                     "\n\nCopying AutoRepair log to clipboard...\n"
                     "\nRepair finished.\n"
                     "Your computer is now disinfected is now free from Foo.\n\n");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_FALSE(fs::exists(victim));
}

TEST_F(VkRepair, RefusedVersionIsACompletedRun) {
    auto script = dir.write("new.vki", "[Main]\r\nVersionCompatible=9.0.0\r\n");
    auto r = run("'" + script.string() + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "This KastScript needs a newer version of VandrelKast. Please update your copy of "
              "VandrelKast.\n\nVersion Needed: 9.0.0\n");
}

TEST_F(VkRepair, MissingOrUnreadableScriptIsAnError) {
    auto missing = run("'" + (dir / "nothere.vki").string() + "'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("nothere.vki"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());

    fs::create_directories(dir / "folder.vki");
    auto folder = run("'" + (dir / "folder.vki").string() + "'");
    EXPECT_EQ(folder.status, 2);
    EXPECT_FALSE(folder.err.empty());

    if (geteuid() != 0) {
        auto locked = dir.write("locked.vki", "[Main]\r\n");
        fs::permissions(locked, fs::perms::none);
        auto r = run("'" + locked.string() + "'");
        EXPECT_EQ(r.status, 2);
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(VkRepair, OtherExtensionsAreRefusedClearly) {
    for (const char* name : {"c.txt", "noext", "d.vbs"}) {
        auto script = dir.write(name, "IOMessage \"hi\"\r\n");
        auto r = run("'" + script.string() + "'");
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_NE(r.err.find(name), std::string::npos) << name;
        EXPECT_TRUE(r.out.empty()) << name;
    }
    auto upper = dir.write("UP.VKI", "[Main]\r\nTitle=Up\r\n");
    auto r = run("'" + upper.string() + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 3), "Up\n");
}

TEST_F(VkRepair, RunsVBScriptKastScripts) {
    const std::string body =
        "Dim n\r\nn = 0\r\nIOMessage \"hello\"\r\nIO.IOMessage \"sum \" & (1 + 2)\r\n"
        "folder = ShowScanFileDialog(\"\")\r\nIOMessage \"[\" & folder & \"]\"\r\n"
        "IOMessage Len(SHA256.SHA256(\"abc\"))\r\n";
    for (const char* name : {"a.vks", "b.KST"}) {
        auto script = dir.write(name, body);
        auto r = run("'" + script.string() + "' </dev/null");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, "hello\nsum 3\n[]\n64\n") << name;
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
}

TEST_F(VkRepair, VBScriptErrorEndsTheRunWithItsText) {
    auto script = dir.write("fail.vks", "IOMessage \"before\"\r\nx = 1 / 0\r\nIOMessage \"after\"\r\n");
    auto r = run("'" + script.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "before\n");
    EXPECT_EQ(r.err, "VBScript Error\nKastScript Error:\n\nError Number:11\nError Description: Division by zero\n"
                     "Line 2, column 1\n");

    auto crc = dir.write("crc.kst", "c = FileIO.GetFileCRC32(\"" + (dir / "none.bin").string() + "\")\r\n");
    r = run("'" + crc.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error Number:53\nError Description: File not found\n"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "none.bin"));

    auto syntax = dir.write("syntax.vks", "If Then\r\n");
    r = run("'" + syntax.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error Number:1023"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nLine 1, column 4\n"), std::string::npos) << r.err;

    auto nested = dir.write("nested.vks", "Sub Inner()\r\n  IOMessage \"in\"\r\n    Err.Raise 5\r\nEnd Sub\r\nInner\r\n");
    r = run("'" + nested.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error Number:5\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nLine 3, column 5\n"), std::string::npos) << r.err;
}

TEST_F(VkRepair, HelpVersionAndUsage) {
    auto help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("vkrepair [--target T] [--user NAME] SCRIPT"), std::string::npos);
    auto version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vkrepair (VandrelKast) 1.4.0 Beta\n");
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("a.vki b.vki").status, 2);
    EXPECT_EQ(run("--bogus").status, 2);
}

}  // namespace
