#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <regex>
#include <set>

#include "net/SampleSubmission.h"
#include "platform/IniProfile.h"
#include "support/FtpPeer.h"
#include "support/TempDir.h"

using namespace vk::net;
using vk::test::FtpPeer;
using vk::test::readFile;
using vk::test::ScopedEnv;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string today() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return std::to_string(t.tm_mday) + std::to_string(t.tm_mon + 1) + std::to_string(t.tm_year + 1900);
}

std::vector<fs::path> entries(const fs::path& folder) {
    std::vector<fs::path> out;
    if (fs::exists(folder))
        for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path());
    return out;
}

class Submission : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root / "incoming");
        fs::create_directories(runtime);
        ::chmod(runtime.c_str(), 0700);
        form.file = dir.write("sample.exe", std::string("MZ\0\x90 worm bytes\r\n", 18)).string();
        form.name = "  Ann Example  ";
        form.address = "1 Main Street, Springfield";
        form.reason = "It hid my folders.\r\nShortcuts everywhere.";
    }
    SubmissionSettings settingsFor(const FtpPeer& peer) {
        SubmissionSettings s;
        s.server = "127.0.0.1";
        s.port = peer.port();
        s.user = FtpPeer::kUser;
        s.password = FtpPeer::kPassword;
        s.folder = "/incoming";
        return s;
    }
    TempDir dir;
    fs::path root = dir / "root";
    fs::path runtime = dir / "runtime";
    ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.c_str()};
    SubmissionForm form;
};

}  // namespace

TEST_F(Submission, FieldsAreCheckedInOrderAndNothingIsSent) {
    ::mkfifo((dir / "pipe").c_str(), 0600);
    struct Case {
        std::string file, name, address, reason;
        SubmissionField field;
        std::string message;
    };
    const std::string ok = form.file;
    const Case cases[] = {
        {"   ", "n", "a", "r", SubmissionField::File, "Please enter the file you want to send."},
        {(dir / "missing.exe").string(), "n", "a", "r", SubmissionField::File, "The file specified doesn't exists."},
        {dir.str(), "n", "a", "r", SubmissionField::File, "The file specified is a folder."},
        {(dir / "pipe").string(), "n", "a", "r", SubmissionField::File, "The file specified is not a regular file."},
        {ok, " ", "a", "r", SubmissionField::Name, "Please enter your full name."},
        {ok, "n", "\t ", "r", SubmissionField::Address, "Please enter your address where you live."},
        {ok, "n", "a", "    ", SubmissionField::Reason,
         "Please state your reason why you selected this file to be sent to VandrelKast Labs for analysis. Include "
         "also the symptoms observed."},
    };
    // Nothing listens there: a refusal that tried to connect would say so.
    SubmissionSettings nowhere{"127.0.0.1", 1, "u", "p", "/"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        auto result = SampleSubmission().submit({c.file, c.name, c.address, c.reason}, nowhere);
        EXPECT_EQ(result.outcome, SubmissionResult::Outcome::Invalid);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.title, "Error");
        ASSERT_TRUE(result.field);
        EXPECT_EQ(*result.field, c.field);
        EXPECT_TRUE(result.ftpError.empty());
    }
    EXPECT_FALSE(validateSubmission(form));
}

TEST_F(Submission, SendsTheSampleAndItsDescriptionIntoANewFolder) {
    if (!FtpPeer::available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
    FtpPeer peer(root);
    ASSERT_TRUE(peer.running()) << peer.log();
    struct Counter : FtpEvents {
        void fileTransferProgress(std::int64_t current, std::int64_t total) override {
            last = {current, total};
            ++calls;
        }
        std::pair<std::int64_t, std::int64_t> last;
        int calls = 0;
    } progress;
    SampleSubmission submission(&progress);
    auto first = submission.submit(form, settingsFor(peer));
    ASSERT_EQ(first.outcome, SubmissionResult::Outcome::Submitted) << first.ftpError << peer.log();
    EXPECT_EQ(first.message, "The file has been successfully submitted. Thanks for sending.");
    EXPECT_EQ(first.title, "Submission Complete");
    EXPECT_TRUE(std::regex_match(first.remoteFolder, std::regex("[0-9A-F]{8}" + today()))) << first.remoteFolder;
    const fs::path folder = root / "incoming" / first.remoteFolder;
    EXPECT_EQ(readFile(folder / "sample.exe"), readFile(form.file));
    EXPECT_EQ(readFile(folder / "info.txt"),
              "Name:   Ann Example  \r\nAddress: 1 Main Street, Springfield\r\nReason:\r\nIt hid my folders.\r\n"
              "Shortcuts everywhere.\r\n");
    EXPECT_GE(progress.calls, 2);
    // Nothing with the user's name and address stays behind.
    EXPECT_TRUE(entries(runtime).empty());

    auto second = submission.submit(form, settingsFor(peer));
    ASSERT_EQ(second.outcome, SubmissionResult::Outcome::Submitted);
    EXPECT_NE(second.remoteFolder, first.remoteFolder);
    EXPECT_EQ(entries(root / "incoming").size(), 2u);
}

TEST_F(Submission, AnyFailedStepIsTheOneFailureMessage) {
    if (!FtpPeer::available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
    FtpPeer refusing(root, "elradfmw", FtpPeer::Mode::RefuseInfoTxt);
    ASSERT_TRUE(refusing.running());
    auto infoRefused = SampleSubmission().submit(form, settingsFor(refusing));
    EXPECT_EQ(infoRefused.outcome, SubmissionResult::Outcome::Failed);
    EXPECT_EQ(infoRefused.message,
              "File submission failed. The server might be experiencing technical problems right now. ");
    EXPECT_TRUE(fs::exists(root / "incoming" / infoRefused.remoteFolder / "sample.exe"));
    EXPECT_NE(infoRefused.ftpError.find("550 Not here."), std::string::npos) << infoRefused.ftpError;
    EXPECT_TRUE(entries(runtime).empty());

    SubmissionSettings badLogin = settingsFor(refusing);
    badLogin.password = "wrong";
    auto login = SampleSubmission().submit(form, badLogin);
    EXPECT_EQ(login.outcome, SubmissionResult::Outcome::Failed);
    EXPECT_EQ(login.message, infoRefused.message);
    EXPECT_TRUE(login.ftpError.starts_with("InternetConnect error code: 12003 Message: 530 "));
}

TEST(SubmissionNames, TagsFolderNamesAndServers) {
    std::set<std::string> tags;
    for (int i = 0; i < 1000; ++i) {
        std::string tag = randomTag();
        ASSERT_TRUE(std::regex_match(tag, std::regex("[0-9A-F]{8}"))) << tag;
        tags.insert(tag);
    }
    EXPECT_GT(tags.size(), 990u);
    EXPECT_EQ(remoteFolderName("1A2B3C4D", 5, 1, 2009), "1A2B3C4D512009");
    EXPECT_EQ(remoteFolderName("1A2B3C4D", 31, 12, 2026), "1A2B3C4D31122026");

    struct Case {
        const char* text;
        bool ok;
        const char* host;
        std::uint16_t port;
    };
    for (const Case& c : {Case{"ftp.example.org", true, "ftp.example.org", 21}, Case{" host:2121 ", true, "host", 2121},
                          Case{"[::1]:2121", true, "::1", 2121}, Case{"::1", true, "::1", 21},
                          Case{"host:0", false, "", 0}, Case{"host:70000", false, "", 0}, Case{"host:x", false, "", 0},
                          Case{"", false, "", 0}}) {
        SCOPED_TRACE(c.text);
        std::string host;
        std::uint16_t port = 0;
        EXPECT_EQ(splitServer(c.text, host, port), c.ok);
        if (c.ok) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}

TEST(SubmissionSettingsFile, KeysOverrideTheBuiltInDefaults) {
    TempDir dir;
    const std::string ini = (dir / "config.ini").string();
    vk::platform::clearProfileCache();
    SubmissionSettings defaults = readSubmissionSettings(ini);
    EXPECT_FALSE(defaults.server.empty());
    EXPECT_FALSE(defaults.folder.empty());
    dir.write("config.ini", "[SubmitSamples]\nServer=files.example.net:2100\nUsername=me\nPassword=pw\nFolder=/in\n");
    vk::platform::clearProfileCache();
    SubmissionSettings s = readSubmissionSettings(ini);
    EXPECT_EQ(s.server, "files.example.net");
    EXPECT_EQ(s.port, 2100);
    EXPECT_EQ(s.user, "me");
    EXPECT_EQ(s.password, "pw");
    EXPECT_EQ(s.folder, "/in");
}
