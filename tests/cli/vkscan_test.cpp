#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "scan/DatabaseFile.h"
#include "scan/SignatureDatabase.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using vk::test::ProgramResult;
using vk::test::TempDir;

namespace {

class VkScan : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = vk::test::builtProgram("vkscan");
        if (program_.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
        std::vector<vk::scan::SignatureEntry> entries{{"Test.Marker", 0, "", true, "VKSCAN-TEST-MARK"}};
        vk::scan::DatabaseMain main{"1", "1.4.0", {2026, 1, 1}, 0};
        home.write("signatures.dat", vk::scan::buildDatabaseFile(vk::scan::formatPayload(main, entries)));
    }

    ProgramResult run(std::vector<std::string> args, const std::string& input = {}) {
        return vk::test::runProgram(program_, args, {{"VANDRELKAST_HOME", home.str()}}, input);
    }

    std::string program_;
    TempDir home;
    TempDir tree;
};

TEST_F(VkScan, CleanTreeExitsZeroWithTheSummary) {
    tree.write("a.exe", "clean");
    tree.write("sub/b.dll", "clean too");
    auto r = run({tree.str()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Files scanned:  2\nFiles infected: 0\nFiles healed:   0\nFiles deleted:  0\nFiles renamed:  0\n");
    EXPECT_EQ(r.out.find('\033'), std::string::npos);  // no progress line off a terminal
}

TEST_F(VkScan, DetectionsAreReportedAndActedOnAsAsked) {
    struct Case {
        const char* action;
        const char* actionLine;
        bool fileRemains;
    };
    for (Case c : {Case{"report", "  left in place", true}, Case{"delete", "  deleted", false},
                   Case{"heal", "  healed", false}, Case{"ask", "  left in place", true}}) {
        SCOPED_TRACE(c.action);
        TempDir t;
        auto bad = t.write("deep/x.exe", "prefix VKSCAN-TEST-MARK suffix");
        auto r = run({"--action", c.action, t.str()});
        EXPECT_EQ(r.status, 1) << r.err;
        std::string expectedStart = bad.string() + ": Test.Marker FOUND\n" + c.actionLine + "\n";
        EXPECT_EQ(r.out.substr(0, expectedStart.size()), expectedStart);
        EXPECT_NE(r.out.find("Files infected: 1\n"), std::string::npos);
        EXPECT_EQ(std::filesystem::exists(bad), c.fileRemains);
    }
    auto bad = tree.write("y.exe", "VKSCAN-TEST-MARK");
    auto r = run({"--action", "rename", "--quiet", bad.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, bad.string() + ": Test.Marker FOUND\n  renamed to " + bad.string() + ".vir\n");
    EXPECT_TRUE(std::filesystem::exists(bad.string() + ".vir"));
}

TEST_F(VkScan, FilterAndSizeOptionsChooseTheFiles) {
    tree.write("a.txt", "VKSCAN-TEST-MARK");
    tree.write("b.exe", std::string(2 * 1048576, 'x') + "VKSCAN-TEST-MARK");
    auto found = [](const std::string& path) { return path + ": Test.Marker FOUND\n  left in place\n"; };
    // Defaults: the program folder's config.ini is absent, so the built-in list and 10 MB apply.
    auto r = run({"--quiet", "--action", "report", tree.str()});
    EXPECT_EQ(r.out, found((tree / "b.exe").string()));
    r = run({"--quiet", "--action", "report", "--all-files", "--max-size", "1", tree.str()});
    EXPECT_EQ(r.out, found((tree / "a.txt").string()));
    r = run({"--quiet", "--action", "report", "--extensions", "TXT;com", tree.str()});
    EXPECT_EQ(r.out, found((tree / "a.txt").string()));
    home.write("config.ini", "[ScanningOptions]\r\nFilterFileExtensions=0\r\nFileSizeLimit=1\r\n");
    r = run({"--quiet", "--action", "report", tree.str()});
    EXPECT_EQ(r.out, found((tree / "a.txt").string()));
}

TEST_F(VkScan, InterruptStopsTheScanAndStillPrintsTheSummary) {
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) tree.write("f" + std::to_string(i) + ".exe", "VKSCAN-TEST-MARK");
    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(pipeFd[1], 1);
        ::close(pipeFd[0]);
        ::setenv("VANDRELKAST_HOME", home.str().c_str(), 1);
        ::execl(program_.c_str(), program_.c_str(), "--action", "report", tree.str().c_str(), nullptr);
        ::_exit(127);
    }
    ::close(pipeFd[1]);
    // Two lines per detection overflow the pipe long before the last file, so
    // the scan is still running (or blocked writing) when the signal comes.
    std::string out;
    char buf[65536];
    while (out.size() < 100) {
        ssize_t n = ::read(pipeFd[0], buf, 100 - out.size());
        ASSERT_GT(n, 0);
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::usleep(100000);
    ::kill(pid, SIGINT);
    for (ssize_t n; (n = ::read(pipeFd[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFd[0]);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    auto stopped = out.find("Scan stopped.\nFiles scanned:  ");
    ASSERT_NE(stopped, std::string::npos) << out.substr(out.size() > 300 ? out.size() - 300 : 0);
    int scanned = std::stoi(out.substr(stopped + 30));
    EXPECT_GT(scanned, 0);
    EXPECT_LT(scanned, kFiles);
}

TEST_F(VkScan, ErrorsExitTwo) {
    tree.write("a.exe", "x");
    auto missing = vk::test::runProgram(program_, {tree.str()}, {{"VANDRELKAST_HOME", tree.str()}});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("Error #1025"), std::string::npos) << missing.err;
    home.write("broken.dat", "VANDRELKAST_VIRUS_DATABASE garbage");
    auto broken = run({"--database", (home / "broken.dat").string(), tree.str()});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("An internal application error occured:"), std::string::npos) << broken.err;
    auto noPath = run({(tree / "nope").string()});
    EXPECT_EQ(noPath.status, 2);
    EXPECT_EQ(run({"--action", "explode", tree.str()}).status, 2);
    EXPECT_EQ(run({}).status, 2);
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vkscan"), std::string::npos);
}

}  // namespace
