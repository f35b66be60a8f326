#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <filesystem>
#include <thread>

#include "net/Ftp.h"
#include "support/FtpPeer.h"
#include "support/TempDir.h"

using vk::net::Ftp;
using vk::test::FtpPeer;
using vk::test::readFile;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct Progress : vk::net::FtpEvents {
    void fileTransferProgress(std::int64_t current, std::int64_t total) override {
        events.emplace_back(current, total);
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> events;
};

std::string bytesOf(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return s;
}

class FtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FtpPeer::available()) GTEST_SKIP() << "python3-pyftpdlib is not installed";
        fs::create_directories(root());
    }
    fs::path root() const { return dir / "root"; }
    std::unique_ptr<FtpPeer> startPeer(const std::string& perm = "elradfmw", FtpPeer::Mode mode = FtpPeer::Mode::Normal) {
        auto peer = std::make_unique<FtpPeer>(root(), perm, mode);
        EXPECT_TRUE(peer->running()) << peer->log();
        return peer;
    }
    bool connect(Ftp& ftp, const FtpPeer& peer) {
        ftp.setTimeout(std::chrono::seconds(10));
        return ftp.openConnection("127.0.0.1", FtpPeer::kUser, FtpPeer::kPassword, peer.port());
    }
    TempDir dir;
};

// A peer that accepts and then sends what it is given, forever or never.
class RawPeer {
public:
    explicit RawPeer(std::string greeting, bool endless) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 4);
        socklen_t size = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, greeting, endless] {
            int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            ::send(c, greeting.data(), greeting.size(), MSG_NOSIGNAL);
            std::string filler(4096, 'a');
            while (endless && !done_ && ::send(c, filler.data(), filler.size(), MSG_NOSIGNAL) > 0) sent_ += 4096;
            while (!done_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ::close(c);
        });
    }
    ~RawPeer() {
        done_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    std::uint16_t port() const { return port_; }
    std::size_t sent() const { return sent_; }

private:
    int fd_;
    std::uint16_t port_ = 0;
    std::atomic<bool> done_{false};
    std::atomic<std::size_t> sent_{0};
    std::thread thread_;
};

}  // namespace

TEST_F(FtpTest, UploadsArriveByteForByteInBlocksOf255InBothModes) {
    auto peer = startPeer();
    for (bool passive : {false, true}) {
        for (std::size_t size : {0u, 255u, 510u, 1000000u}) {
            SCOPED_TRACE(std::to_string(size) + (passive ? " passive" : " active"));
            Progress progress;
            Ftp ftp(&progress);
            if (passive) ftp.setModePassive();
            ftp.setTransferBinary();
            ASSERT_TRUE(connect(ftp, *peer)) << ftp.getLastErrorMessage();
            EXPECT_EQ(ftp.passive(), passive);
            const std::string content = bytesOf(size);
            std::string local = dir.write("upload.bin", content).string();
            std::string remote = "  sample-" + std::to_string(size) + ".bin ";
            ASSERT_TRUE(ftp.ftpUploadFile(local, remote)) << ftp.getLastErrorMessage() << peer->log();
            EXPECT_EQ(remote, "sample-" + std::to_string(size) + ".bin");  // the caller's name is trimmed too
            EXPECT_EQ(readFile(root() / remote), content);
            const std::size_t blocks = (size + 254) / 255;
            ASSERT_EQ(progress.events.size(), blocks);
            for (std::size_t i = 0; i < blocks; ++i) {
                EXPECT_EQ(progress.events[i].first, static_cast<std::int64_t>(std::min(size, (i + 1) * 255)));
                EXPECT_EQ(progress.events[i].second, static_cast<std::int64_t>(size));
            }
            ftp.closeConnection();
        }
    }
}

TEST_F(FtpTest, AsciiTransfersConvertLineEnds) {
    auto peer = startPeer();
    Ftp ftp;
    ASSERT_TRUE(connect(ftp, *peer));
    EXPECT_EQ(ftp.transferType(), Ftp::TransferType::Ascii);  // the default
    std::string local = dir.write("notes.txt", "one\ntwo\r\nthree\n").string();
    std::string remote = "notes.txt";
    ASSERT_TRUE(ftp.ftpUploadFile(local, remote)) << ftp.getLastErrorMessage();
    // The server stores its own line ends (LF) for what arrived as CR LF.
    EXPECT_EQ(readFile(root() / "notes.txt"), "one\ntwo\nthree\n");

    // Coming back, CR LF on the wire becomes LF; binary keeps every byte.
    std::string back = (dir / "back.txt").string();
    ASSERT_TRUE(ftp.simpleFtpGetFile(back, "notes.txt")) << ftp.getLastErrorMessage();
    EXPECT_EQ(readFile(back), "one\ntwo\nthree\n");
    std::ofstream(root() / "raw.bin", std::ios::binary) << std::string("a\r\nb\r", 5);
    ftp.setTransferBinary();
    ASSERT_TRUE(ftp.simpleFtpGetFile(back, "raw.bin"));
    EXPECT_EQ(readFile(back), std::string("a\r\nb\r", 5));
}

TEST_F(FtpTest, EveryOperationOfTheClient) {
    auto peer = startPeer();
    Progress progress;
    Ftp ftp(&progress);
    ftp.setTransferBinary();
    ASSERT_TRUE(connect(ftp, *peer));
    EXPECT_EQ(ftp.getFtpDirectory(), "/");
    ASSERT_TRUE(ftp.createFtpDirectory("box \"one\""));
    ASSERT_TRUE(ftp.setFtpDirectory("box \"one\""));
    EXPECT_EQ(ftp.getFtpDirectory(), "/box \"one\"");
    EXPECT_FALSE(ftp.setFtpDirectory("missing"));
    EXPECT_TRUE(ftp.getLastErrorMessage().starts_with("FtpSetCurrentDirectory error code: 12003 Message: 550 "))
        << ftp.getLastErrorMessage();

    ASSERT_TRUE(ftp.simpleFtpPutFile(dir.write("a.bin", bytesOf(700)).string(), "a.bin"));
    EXPECT_TRUE(progress.events.empty());  // the simple forms report no progress
    EXPECT_EQ(ftp.getFtpFileSize("a.bin"), 700);
    EXPECT_EQ(ftp.getFtpFileSize("nothing.bin"), -1);
    ASSERT_TRUE(ftp.renameFtpFile("a.bin", "b.bin"));
    EXPECT_FALSE(ftp.renameFtpFile("a.bin", "c.bin"));
    EXPECT_TRUE(ftp.getLastErrorMessage().starts_with("RenameFTPFile error code: 12003 Message: 550 "));
    ASSERT_TRUE(ftp.createFtpDirectory("sub"));

    auto listing = ftp.getDirectoryListing("");
    ASSERT_TRUE(listing) << ftp.getLastErrorMessage();
    ASSERT_EQ(listing->size(), 2u);
    std::map<std::string, vk::net::DirItem> byName;
    for (const auto& item : *listing) byName[item.name] = item;
    EXPECT_EQ(byName["b.bin"].size, 700);
    EXPECT_FALSE(byName["b.bin"].isDirectory);
    EXPECT_TRUE(byName["sub"].isDirectory);
    EXPECT_GT(byName["b.bin"].modified, 45000);  // a date of this decade
    EXPECT_EQ(ftp.directory().size(), 2u);

    std::string local = (dir / "down.bin").string();
    std::string remote = "b.bin";
    ASSERT_TRUE(ftp.ftpDownloadFile(local, remote)) << ftp.getLastErrorMessage();
    EXPECT_EQ(readFile(local), bytesOf(700));
    ASSERT_FALSE(progress.events.empty());
    EXPECT_EQ(progress.events.back(), std::make_pair(std::int64_t{700}, std::int64_t{700}));

    EXPECT_TRUE(ftp.deleteFtpFile("b.bin"));
    EXPECT_FALSE(fs::exists(root() / "box \"one\"" / "b.bin"));
    EXPECT_TRUE(ftp.removeFtpDirectory("sub"));
    EXPECT_FALSE(fs::exists(root() / "box \"one\"" / "sub"));
    EXPECT_FALSE(ftp.getDirectoryListing(""));
    EXPECT_EQ(ftp.getLastErrorMessage(), "FtpFindFirstFile error code: 18 Message: There are no more files.");
}

TEST_F(FtpTest, RefusalsGiveTheServersOwnReply) {
    auto peer = startPeer("elr");  // may read, may not write
    Ftp wrong;
    wrong.setTimeout(std::chrono::seconds(10));
    EXPECT_FALSE(wrong.openConnection("127.0.0.1", FtpPeer::kUser, "not-it", peer->port()));
    EXPECT_TRUE(wrong.getLastErrorMessage().starts_with("InternetConnect error code: 12003 Message: 530 "))
        << wrong.getLastErrorMessage();
    EXPECT_FALSE(wrong.connected());

    Ftp ftp;
    ASSERT_TRUE(connect(ftp, *peer));
    std::string local = dir.write("x.bin", "payload").string();
    std::string remote = "x.bin";
    EXPECT_FALSE(ftp.ftpUploadFile(local, remote));
    EXPECT_TRUE(ftp.getLastErrorMessage().starts_with("FtpOpenFile:PutFile error code: 12003 Message: 550 "))
        << ftp.getLastErrorMessage();
    EXPECT_FALSE(fs::exists(root() / "x.bin"));

    // An empty name fails without touching the last error.
    const std::string before = ftp.getLastErrorMessage();
    std::string blank = "   ";
    EXPECT_FALSE(ftp.ftpUploadFile(local, blank));
    EXPECT_EQ(ftp.getLastErrorMessage(), before);
}

TEST_F(FtpTest, PassiveModeTakesEffectAtTheNextConnectionAndRefusesAThirdHost) {
    auto peer = startPeer("elradfmw", FtpPeer::Mode::PassiveElsewhere);
    Ftp ftp;
    ASSERT_TRUE(connect(ftp, *peer));
    ftp.setModePassive();  // not yet: this connection stays active
    std::string local = dir.write("s.bin", "sample").string();
    std::string remote = "one.bin";
    EXPECT_TRUE(ftp.ftpUploadFile(local, remote)) << ftp.getLastErrorMessage();
    EXPECT_TRUE(fs::exists(root() / "one.bin"));

    ASSERT_TRUE(connect(ftp, *peer));
    remote = "two.bin";
    EXPECT_FALSE(ftp.ftpUploadFile(local, remote));
    EXPECT_EQ(ftp.getLastErrorMessage(),
              "FtpOpenFile:PutFile error code: 12029 Message: A connection with the server could not be established");
    EXPECT_FALSE(fs::exists(root() / "two.bin"));
}

TEST_F(FtpTest, ASilentServerTimesOut) {
    auto peer = startPeer("elradfmw", FtpPeer::Mode::SilentOnCwd);
    Ftp ftp;
    ASSERT_TRUE(connect(ftp, *peer));
    ftp.setTimeout(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ftp.setFtpDirectory("anything"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(ftp.getLastErrorMessage(), "FtpSetCurrentDirectory error code: 12002 Message: The operation timed out");

    RawPeer mute("", false);  // accepts, never greets
    Ftp other;
    other.setTimeout(std::chrono::milliseconds(300));
    EXPECT_FALSE(other.openConnection("127.0.0.1", "u", "p", mute.port()));
    EXPECT_EQ(other.getLastErrorMessage(), "InternetConnect error code: 12002 Message: The operation timed out");
}

TEST(FtpClient, AnEndlessReplyIsRefusedNotBuffered) {
    RawPeer flood("220-", true);
    Ftp ftp;
    ftp.setTimeout(std::chrono::seconds(5));
    EXPECT_FALSE(ftp.openConnection("127.0.0.1", "u", "p", flood.port()));
    EXPECT_EQ(ftp.getLastErrorMessage(),
              "InternetConnect error code: 12111 Message: The FTP operation was not completed because the session was "
              "aborted");
    EXPECT_FALSE(ftp.connected());
}

TEST(FtpClient, UnreachableServersFailWithTheirReason) {
    Ftp ftp;
    ftp.setTimeout(std::chrono::seconds(5));
    // A port nobody listens on: bound and closed again.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    EXPECT_FALSE(ftp.openConnection("127.0.0.1", "u", "p", ntohs(a.sin_port)));
    EXPECT_EQ(ftp.getLastErrorMessage(),
              "InternetConnect error code: 12029 Message: A connection with the server could not be established");
    EXPECT_FALSE(ftp.openConnection("no-such-host.invalid", "u", "p", 21));
    EXPECT_EQ(ftp.getLastErrorMessage(),
              "InternetConnect error code: 12007 Message: The server name or address could not be resolved");
    // Nothing is sent without a connection.
    EXPECT_FALSE(ftp.createFtpDirectory("x"));
    EXPECT_EQ(ftp.getLastErrorMessage(), "CreateFTPDirectory error code: 6 Message: The handle is invalid.");
}
