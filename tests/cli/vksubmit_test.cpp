#include <gtest/gtest.h>

#include <filesystem>

#include "support/FtpPeer.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using vk::test::FtpPeer;
using vk::test::readFile;
using vk::test::runProgram;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

class VkSubmit : public ::testing::Test {
protected:
    void SetUp() override {
        program = vk::test::builtProgram("vksubmit");
        if (program.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
        fs::create_directories(dir / "home");
        fs::create_directories(dir / "runtime");
        sample = dir.write("sample.exe", "MZ sample bytes").string();
    }
    vk::test::ProgramResult run(const std::vector<std::string>& args) {
        return runProgram(program, args,
                          {{"VANDRELKAST_HOME", (dir / "home").string()}, {"XDG_RUNTIME_DIR", (dir / "runtime").string()}});
    }
    void serveFrom(const FtpPeer& peer, const std::string& password = FtpPeer::kPassword) {
        dir.write("home/config.ini", "[SubmitSamples]\r\nServer=127.0.0.1:" + std::to_string(peer.port()) +
                                         "\r\nUsername=" + FtpPeer::kUser + "\r\nPassword=" + password +
                                         "\r\nFolder=/\r\n");
    }
    TempDir dir;
    std::string program;
    std::string sample;
};

}  // namespace

TEST_F(VkSubmit, BadInputIsRefusedWithTheFormsTexts) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--name", "N", "--address", "A", "--reason", "R"}, "vksubmit: Please enter the file you want to send.\n"},
        {{(dir / "nothing").string(), "--name", "N", "--address", "A", "--reason", "R"},
         "vksubmit: The file specified doesn't exists.\n"},
        {{sample, "--address", "A", "--reason", "R"}, "vksubmit: Please enter your full name.\n"},
        {{sample, "--name=N", "--address= ", "--reason", "R"}, "vksubmit: Please enter your address where you live.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        auto r = run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.error);
        EXPECT_TRUE(r.out.empty());
    }
    auto extra = run({sample, sample, "--name", "N"});
    EXPECT_EQ(extra.status, 2);
    EXPECT_TRUE(extra.err.starts_with("vksubmit: unexpected argument: ")) << extra.err;
}

TEST_F(VkSubmit, SubmitsAndReportsFailures) {
    if (!FtpPeer::available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
    FtpPeer peer(dir / "root");
    ASSERT_TRUE(peer.running()) << peer.log();
    serveFrom(peer);
    auto ok = run({sample, "--name", "Cy Example", "--address=2 Lane", "--reason", "Spreads by stick"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, "The file has been successfully submitted. Thanks for sending.\n");
    std::vector<fs::path> folders;
    for (const auto& e : fs::directory_iterator(dir / "root")) folders.push_back(e.path());
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(readFile(folders[0] / "sample.exe"), "MZ sample bytes");
    EXPECT_EQ(readFile(folders[0] / "info.txt"), "Name: Cy Example\r\nAddress: 2 Lane\r\nReason:\r\nSpreads by stick\r\n");
    EXPECT_TRUE(fs::is_empty(dir / "runtime"));

    serveFrom(peer, "wrong");
    auto failed = run({sample, "--name", "Cy", "--address", "2 Lane", "--reason", "R"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err.substr(0, failed.err.find('\n') + 1),
              "vksubmit: File submission failed. The server might be experiencing technical problems right now. \n");
    EXPECT_NE(failed.err.find("InternetConnect error code: 12003 Message: 530 "), std::string::npos) << failed.err;
}
