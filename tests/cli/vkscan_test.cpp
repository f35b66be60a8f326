#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "scan/DatabaseFile.h"
#include "scan/SignatureDatabase.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

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
        return vk::test::runProgram(program_, args, {{"VANDRELKAST_HOME", home.str()}, {"XDG_DATA_HOME", data.str()}},
                                    input);
    }

    // The report lines of stdout before the summary, sorted: walks follow the platform's order.
    static std::vector<std::string> detectionLines(const std::string& out) {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("Signatures:", 0) == 0) break;
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    // Interrupts a scan of many detections once it is under way; returns (exit status, output).
    std::pair<int, std::string> interrupted(int signal);

    std::string program_;
    TempDir home;
    TempDir data;
    TempDir tree;
};

TEST_F(VkScan, CleanTreeExitsZeroWithTheSummary) {
    tree.write("a.exe", "clean");
    tree.write("sub/b.dll", "clean too");
    auto r = run({tree.str()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string counters =
        "Signatures:     1\nFiles scanned:  2\nFiles infected: 0\nFiles healed:   0\nFiles deleted:  0\n"
        "Files renamed:  0\nNot scanned:    0\nData scanned:   0.00 MB\nTime:           ";
    EXPECT_EQ(r.out.substr(0, counters.size()), counters);
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_NE(r.out.find(" sec\n", counters.size()), std::string::npos);
    EXPECT_EQ(r.out.find('\033'), std::string::npos);  // no progress line off a terminal
    EXPECT_EQ(run({"--no-summary", tree.str()}).out, "");
}

TEST_F(VkScan, DetectionsAreReportedAndActedOnAsAsked) {
    struct Case {
        std::vector<std::string> options;
        const char* actionLine;
        bool fileRemains;
    };
    for (const Case& c : {Case{{}, "  left in place", true}, Case{{"--action", "report"}, "  left in place", true},
                          Case{{"--action=delete"}, "  deleted, a copy kept in the quarantine as ", false},
                          Case{{"--action", "heal"}, "  healed, a copy kept in the quarantine as ", false},
                          Case{{"--action", "ask"}, "  left in place", true},
                          Case{{"--move"}, "  moved to the quarantine as ", false}}) {
        SCOPED_TRACE(c.actionLine);
        TempDir t;
        auto bad = t.write("deep/x.exe", "prefix VKSCAN-TEST-MARK suffix");
        auto args = c.options;
        args.push_back(t.str());
        auto r = run(args);
        EXPECT_EQ(r.status, 1) << r.err;
        std::string expectedStart = bad.string() + ": Test.Marker FOUND\n" + c.actionLine;
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

TEST_F(VkScan, EveryFileOfEverySizeUnlessAskedOtherwise) {
    tree.write("a.txt", "VKSCAN-TEST-MARK");
    tree.write("b.exe", std::string(2 * 1048576, 'x') + "VKSCAN-TEST-MARK");
    auto found = [](const std::string& path) { return path + ": Test.Marker FOUND"; };
    const std::string a = found((tree / "a.txt").string()), b = found((tree / "b.exe").string());
    const std::string left = "  left in place";
    // config.ini's scan settings are the window's: they change nothing here.
    home.write("config.ini", "[ScanningOptions]\r\nFilterFileExtensions=1\r\nFileSizeLimit=1\r\nPerformAction=2\r\n");
    EXPECT_EQ(detectionLines(run({tree.str()}).out), (std::vector<std::string>{left, left, a, b}));
    EXPECT_EQ(detectionLines(run({"--max-size", "1", tree.str()}).out), (std::vector<std::string>{left, a}));
    EXPECT_EQ(detectionLines(run({"--max-size=4096", tree.str()}).out), (std::vector<std::string>{left, left, a, b}));
    EXPECT_EQ(detectionLines(run({"--extensions=TXT;com", tree.str()}).out), (std::vector<std::string>{left, a}));
    EXPECT_EQ(detectionLines(run({"-r", "-i", "--exclude", "\\.txt$", tree.str()}).out),
              (std::vector<std::string>{left, b}));
    tree.write("skip/c.exe", "VKSCAN-TEST-MARK");
    tree.write("keep/d.exe", "VKSCAN-TEST-MARK");
    EXPECT_EQ(detectionLines(run({"--exclude-dir=/skip$", "--extensions", "exe", "--max-size", "1", tree.str()}).out),
              (std::vector<std::string>{left, found((tree / "keep/d.exe").string())}));
}

TEST_F(VkScan, PathsFromAListAndTheReportInALogFile) {
    auto one = tree.write("one.exe", "VKSCAN-TEST-MARK");
    auto two = tree.write("two.exe", "clean");
    auto list = home.write("paths.txt", one.string() + "\r\n\n" + two.string() + "\n");
    auto log = home / "scan.log";
    auto r = run({"-f", list.string(), "--log=" + log.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("Files scanned:  2\n"), std::string::npos) << r.out;
    EXPECT_EQ(vk::test::readFile(log), r.out);
    // Appended, as a log is.
    run({"--no-summary", "--log", log.string(), one.string()});
    EXPECT_EQ(vk::test::readFile(log), r.out + one.string() + ": Test.Marker FOUND\n  left in place\n");
}

TEST_F(VkScan, ALinkNamedHereIsFollowedOneInsideATreeIsNot) {
    TempDir outside;
    auto target = outside.write("target.exe", "VKSCAN-TEST-MARK");
    std::filesystem::create_symlink(target, tree / "link.exe");
    std::filesystem::create_directory_symlink(outside.path(), tree / "linkdir");
    auto r = run({"--no-summary", tree.str()});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    r = run({"--no-summary", (tree / "link.exe").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, target.string() + ": Test.Marker FOUND\n  left in place\n");
    r = run({"--no-summary", (tree / "linkdir").string()});
    EXPECT_EQ(r.out, (tree / "linkdir/target.exe").string() + ": Test.Marker FOUND\n  left in place\n");
}

TEST_F(VkScan, ANameCannotForgeALineOrReachTheTerminal) {
    auto bad = tree.write("evil\n/x: Fake.Worm FOUND\r\t\033[2J\\.exe", "VKSCAN-TEST-MARK");
    auto r = run({"--no-summary", tree.str()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, tree.str() + "/evil\\n/x: Fake.Worm FOUND\\r\\t\\e[2J\\\\.exe: Test.Marker FOUND\n"
                                  "  left in place\n");
}

TEST_F(VkScan, AFileThatCannotBeReadIsAnErrorNotClean) {
    vk::test::openToEveryone(tree.str());
    vk::test::openToEveryone(home.str());
    vk::test::openToEveryone(data.str());
    ::chmod((home / "signatures.dat").c_str(), 0644);
    auto secret = tree.write("secret.exe", "VKSCAN-TEST-MARK");
    ::chmod(secret.c_str(), 0600);
    tree.write("fine.exe", "clean");
    // A build below a folder closed to others (a checkout in /root) cannot be started by that user.
    auto probe = vk::test::runUnprivileged(
        [&] { return std::string(::access(program_.c_str(), X_OK) == 0 ? "yes" : "no"); });
    if (probe.cannotDrop) GTEST_SKIP() << probe.why;
    if (probe.output == "no")
        GTEST_SKIP() << "an ordinary user cannot start " << program_ << ": a folder on its path is closed to others";
    auto run1 = vk::test::runUnprivileged([&] {
        auto r = run({tree.str()});
        return std::to_string(r.status) + "\n" + r.err + r.out;
    });
    if (run1.cannotDrop) GTEST_SKIP() << run1.why;
    ASSERT_TRUE(run1.ran) << run1.why;
    EXPECT_EQ(run1.output.substr(0, run1.output.find("Signatures:")),
              "2\n" + secret.string() + ": cannot be read (Permission denied)\n");
    EXPECT_NE(run1.output.find("Files scanned:  1\n"), std::string::npos) << run1.output;
    EXPECT_NE(run1.output.find("Not scanned:    1\n"), std::string::npos) << run1.output;
    // Something found as well: 1, as ClamAV does.
    tree.write("found.exe", "VKSCAN-TEST-MARK");
    auto run2 = vk::test::runUnprivileged([&] { return std::to_string(run({tree.str()}).status); });
    EXPECT_EQ(run2.output, "1");
}

TEST_F(VkScan, QuarantineListRestoreAndPurge) {
    std::string body = std::string("MZ\0\1\2", 5) + "VKSCAN-TEST-MARK" + std::string(300000, '\7');
    auto bad = tree.write("a/worm.exe", body);
    auto other = tree.write("b/worm2.exe", "VKSCAN-TEST-MARK");
    auto r = run({"--move", tree.str()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(std::filesystem::exists(bad));
    auto list = run({"--quarantine", "list"});
    EXPECT_EQ(list.status, 0);
    std::istringstream lines(list.out);
    std::vector<std::string> listed;
    std::string id;
    for (std::string line; std::getline(lines, line);) {
        listed.push_back(line);
        if (line.size() > bad.string().size() &&
            line.compare(line.size() - bad.string().size(), std::string::npos, bad.string()) == 0)
            id = line.substr(0, line.find(' '));
    }
    ASSERT_EQ(listed.size(), 2u) << list.out;
    ASSERT_FALSE(id.empty()) << list.out;
    EXPECT_NE(listed[0].find("  Test.Marker  "), std::string::npos);
    auto restored = run({"--quarantine", "restore", id});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(restored.out, bad.string() + ": restored\n");
    EXPECT_EQ(vk::test::readFile(bad), body);
    EXPECT_EQ(run({"--quarantine", "restore", id}).status, 2);
    auto purged = run({"--quarantine=purge"});
    EXPECT_EQ(purged.out, "1 file removed from the quarantine\n");
    EXPECT_EQ(run({"--quarantine", "list"}).out, "");
    EXPECT_FALSE(std::filesystem::exists(other));

    // Quarantine=0: heal deletes for good; --move still keeps a copy.
    home.write("config.ini", "[ScanningOptions]\r\nQuarantine=0\r\n");
    tree.write("c.exe", "VKSCAN-TEST-MARK");
    r = run({"--action", "heal", "--quiet", (tree / "c.exe").string()});
    EXPECT_EQ(r.out, (tree / "c.exe").string() + ": Test.Marker FOUND\n  healed\n");
    EXPECT_EQ(run({"--quarantine", "list"}).out, "");
}

std::pair<int, std::string> VkScan::interrupted(int signal) {
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) tree.write("f" + std::to_string(i) + ".exe", "VKSCAN-TEST-MARK");
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) return {-1, ""};
    pid_t pid = ::fork();
    if (pid < 0) return {-1, ""};
    if (pid == 0) {
        ::dup2(pipeFd[1], 1);
        ::close(pipeFd[0]);
        ::setenv("VANDRELKAST_HOME", home.str().c_str(), 1);
        ::execl(program_.c_str(), program_.c_str(), tree.str().c_str(), nullptr);
        ::_exit(127);
    }
    ::close(pipeFd[1]);
    // Two lines per detection overflow the pipe long before the last file, so
    // the scan is still running (or blocked writing) when the signal comes.
    std::string out;
    char buf[65536];
    while (out.size() < 100) {
        ssize_t n = ::read(pipeFd[0], buf, 100 - out.size());
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::usleep(100000);
    ::kill(pid, signal);
    for (ssize_t n; (n = ::read(pipeFd[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFd[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

TEST_F(VkScan, InterruptStopsTheScanAndStillPrintsTheSummary) {
    for (auto [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(signal);
        auto [exit, out] = interrupted(signal);
        EXPECT_EQ(exit, status);
        const std::string summary = "Scan stopped.\nSignatures:     1\nFiles scanned:  ";
        auto stopped = out.find(summary);
        ASSERT_NE(stopped, std::string::npos) << out.substr(out.size() > 300 ? out.size() - 300 : 0);
        int scanned = std::stoi(out.substr(stopped + summary.size()));
        EXPECT_GT(scanned, 0);
        EXPECT_LT(scanned, 3000);
    }
}

TEST_F(VkScan, ErrorsExitTwo) {
    tree.write("a.exe", "x");
    auto missing = vk::test::runProgram(program_, {tree.str()}, {{"VANDRELKAST_HOME", tree.str()}});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("Error #1025"), std::string::npos) << missing.err;
    home.write("broken.dat", "VANDRELKAST_VIRUS_DATABASE garbage");
    auto broken = run({"--database", (home / "broken.dat").string(), tree.str()});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("Error #1029: The Cyclic Redundancy Check"), std::string::npos) << broken.err;
    // The message names the file it tried.
    EXPECT_EQ(broken.err.rfind("vkscan: " + (home / "broken.dat").string() + ": Error #", 0), 0u) << broken.err;
    auto noPath = run({(tree / "nope").string()});
    EXPECT_EQ(noPath.status, 2);
    EXPECT_EQ(run({"--action", "explode", tree.str()}).status, 2);
    EXPECT_EQ(run({}).status, 2);
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vkscan"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(VkScan, CtrlCAtTheQuestionEndsTheScanAndTouchesNothing) {
    auto first = tree.write("a/x.exe", "VKSCAN-TEST-MARK");
    auto second = tree.write("b/y.exe", "VKSCAN-TEST-MARK");
    // The question is asked only on a terminal: a pseudo-terminal stands for it.
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminal here";
    std::string slaveName = ::ptsname(master);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setsid();
        int slave = ::open(slaveName.c_str(), O_RDWR);
        ::dup2(slave, 0);
        ::dup2(slave, 1);
        ::dup2(slave, 2);
        ::setenv("VANDRELKAST_HOME", home.str().c_str(), 1);
        ::setenv("XDG_DATA_HOME", data.str().c_str(), 1);
        ::execl(program_.c_str(), program_.c_str(), "--action", "ask", tree.str().c_str(), nullptr);
        ::_exit(127);
    }
    std::string out;
    auto readFor = [&](int ms) {
        pollfd p{master, POLLIN, 0};
        char buf[4096];
        while (::poll(&p, 1, ms) > 0) {
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) return false;
            out.append(buf, static_cast<std::size_t>(n));
            if (out.find("What do you want to do?") != std::string::npos) return true;
        }
        return false;
    };
    ASSERT_TRUE(readFor(20000)) << out;
    ::kill(pid, SIGINT);
    readFor(2000);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ::close(master);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_TRUE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::exists(second));
}

}  // namespace
