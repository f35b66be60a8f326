#include "platform/FileDescriptor.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

#include "support/TempDir.h"

namespace vk::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) >= 0; }

TEST(FileDescriptor, ClosesWhenItGoesAndMovesOwnership) {
    TempDir dir;
    auto file = dir.write("a.txt", "abc");
    int raw = -1;
    {
        auto fd = FileDescriptor::open(file.string(), O_RDONLY);
        ASSERT_TRUE(fd);
        raw = fd.get();
        EXPECT_TRUE(::fcntl(raw, F_GETFD) & FD_CLOEXEC);
        FileDescriptor moved(std::move(fd));
        EXPECT_FALSE(fd.valid());
        EXPECT_EQ(moved.get(), raw);
        FileDescriptor assigned;
        assigned = std::move(moved);
        EXPECT_EQ(assigned.get(), raw);
        EXPECT_TRUE(isOpen(raw));
    }
    EXPECT_FALSE(isOpen(raw));

    auto kept = FileDescriptor::open(file.string(), O_RDONLY);
    int released = kept.release();
    EXPECT_FALSE(kept.valid());
    EXPECT_TRUE(isOpen(released));
    ::close(released);
}

TEST(FileDescriptor, AFailedOpenIsInvalidWithErrno) {
    TempDir dir;
    errno = 0;
    auto fd = FileDescriptor::open((dir / "missing").string(), O_RDONLY);
    EXPECT_FALSE(fd);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(FileDescriptor::openDirectory(dir.write("file", "x").string()));
}

TEST(FileDescriptor, ReadFullyReturnsTheWholeFileOrLessOnlyAtItsEnd) {
    TempDir dir;
    std::string content(300000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    auto fd = FileDescriptor::open(dir.write("big", content).string(), O_RDONLY);
    std::string buffer(200000, '\0');
    ASSERT_EQ(fd.readFully(buffer.data(), buffer.size()), 200000);
    EXPECT_EQ(buffer, content.substr(0, 200000));
    ASSERT_EQ(fd.readFully(buffer.data(), buffer.size()), 100000);
    EXPECT_EQ(buffer.substr(0, 100000), content.substr(200000));
    EXPECT_EQ(fd.readFully(buffer.data(), buffer.size()), 0);
    EXPECT_EQ(fd.readSome(buffer.data(), buffer.size()), 0);

    auto directory = FileDescriptor::openDirectory(dir.str());
    EXPECT_EQ(directory.readFully(buffer.data(), 1), -1);
    EXPECT_EQ(errno, EISDIR);
}

// A peer that writes in small pieces with pauses: one read returns a piece,
// readFully gathers all of them, also when a signal interrupts a waiting read.
TEST(FileDescriptor, ReadFullyGathersPiecesAndSurvivesSignals) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    FileDescriptor reader(pair[0]);
    FileDescriptor writer(pair[1]);
    struct sigaction action {}, previous {};
    action.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);  // no SA_RESTART: read sees EINTR
    pthread_t readerThread = ::pthread_self();
    std::thread peer([&] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::pthread_kill(readerThread, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::string piece(10, static_cast<char>('a' + i));
            ASSERT_EQ(::write(writer.get(), piece.data(), piece.size()), 10);
        }
        writer.reset();
    });
    std::string buffer(100, '\0');
    std::ptrdiff_t got = reader.readFully(buffer.data(), buffer.size());
    peer.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    ASSERT_EQ(got, 50);
    EXPECT_EQ(buffer.substr(0, 50), "aaaaaaaaaabbbbbbbbbbccccccccccddddddddddeeeeeeeeee");
}

TEST(FileDescriptor, OpenAtNeverFollowsALinkInTheLastName) {
    TempDir dir;
    dir.write("sub/target.txt", "secret");
    fs::create_symlink(dir / "sub" / "target.txt", dir / "link.txt");
    fs::create_directory_symlink(dir / "sub", dir / "linkdir");
    auto root = FileDescriptor::openDirectory(dir.str());
    ASSERT_TRUE(root);

    EXPECT_FALSE(root.openAt("link.txt", O_RDONLY));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(root.openDirectoryAt("linkdir"));
    EXPECT_FALSE(root.openDirectoryAt("sub/target.txt"));

    auto sub = root.openDirectoryAt("sub");
    ASSERT_TRUE(sub);
    auto target = sub.openAt("target.txt", O_RDONLY);
    ASSERT_TRUE(target);
    char text[16] = {};
    EXPECT_EQ(target.readFully(text, sizeof text), 6);
    EXPECT_STREQ(text, "secret");

    struct stat st {};
    ASSERT_TRUE(root.statAt("link.txt", st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_TRUE(target.stat(st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 6);
}

TEST(FileDescriptor, SameFileByDeviceAndInode) {
    TempDir dir;
    auto a = dir.write("a", "same");
    auto b = dir.write("b", "same");
    fs::create_hard_link(a, dir / "hard");
    fs::create_symlink(a, dir / "soft");
    auto fd = FileDescriptor::open(a.string(), O_RDONLY);
    EXPECT_TRUE(fd.isSameFileAs(a.string()));
    EXPECT_TRUE(fd.isSameFileAs((dir / "hard").string()));
    EXPECT_FALSE(fd.isSameFileAs(b.string()));                 // same content, other file
    EXPECT_FALSE(fd.isSameFileAs((dir / "soft").string()));    // the link itself is another entry
    EXPECT_FALSE(fd.isSameFileAs((dir / "missing").string()));

    // Replaced under the same name: no longer the file that was opened.
    fs::remove(a);
    dir.write("a", "same");
    EXPECT_FALSE(fd.isSameFileAs(a.string()));

    struct stat x {}, y {};
    ASSERT_EQ(::stat(b.string().c_str(), &x), 0);
    auto other = FileDescriptor::open(b.string(), O_RDONLY);
    ASSERT_TRUE(other.stat(y));
    EXPECT_EQ(FileId::of(x), FileId::of(y));
    ASSERT_TRUE(fd.stat(y));
    EXPECT_NE(FileId::of(x), FileId::of(y));
}

TEST(FileDescriptor, UnlinkAndRemoveDirectoryRelativeToADirectory) {
    TempDir dir;
    dir.write("d/file", "x");
    dir.write("d/full/inner", "x");
    fs::create_directory(dir / "d" / "empty");
    fs::create_symlink(dir / "d" / "file", dir / "d" / "link");
    auto d = FileDescriptor::openDirectory((dir / "d").string());

    EXPECT_TRUE(d.unlinkAt("link"));  // the link goes, its target stays
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "d" / "link")));
    EXPECT_TRUE(fs::exists(dir / "d" / "file"));
    EXPECT_FALSE(d.unlinkAt("empty"));  // a directory is not a file
    EXPECT_TRUE(fs::exists(dir / "d" / "empty"));
    EXPECT_TRUE(d.unlinkAt("file"));
    EXPECT_FALSE(fs::exists(dir / "d" / "file"));
    EXPECT_FALSE(d.unlinkAt("file"));

    EXPECT_FALSE(d.removeDirectoryAt("full"));
    EXPECT_TRUE(fs::exists(dir / "d" / "full" / "inner"));
    EXPECT_TRUE(d.removeDirectoryAt("empty"));
    EXPECT_FALSE(fs::exists(dir / "d" / "empty"));

    auto path = dir.write("byPath", "x");
    EXPECT_TRUE(FileDescriptor::unlink(path.string()));
    EXPECT_FALSE(fs::exists(path));
}

TEST(FileDescriptor, RenameNeverReplacesAnExistingEntry) {
    TempDir dir;
    dir.write("from/a", "A");
    dir.write("to/taken", "T");
    auto from = FileDescriptor::openDirectory((dir / "from").string());
    auto to = FileDescriptor::openDirectory((dir / "to").string());

    EXPECT_FALSE(from.renameNoReplaceAt("a", to, "taken"));
    EXPECT_EQ(readFile(dir / "to" / "taken"), "T");
    EXPECT_EQ(readFile(dir / "from" / "a"), "A");

    EXPECT_TRUE(from.renameNoReplaceAt("a", to, "moved"));
    EXPECT_EQ(readFile(dir / "to" / "moved"), "A");
    EXPECT_FALSE(fs::exists(dir / "from" / "a"));
    EXPECT_FALSE(from.renameNoReplaceAt("a", to, "again"));

    auto x = dir.write("x", "X");
    auto y = dir.write("y", "Y");
    EXPECT_FALSE(FileDescriptor::renameNoReplace(x.string(), y.string()));
    EXPECT_EQ(readFile(y), "Y");
    EXPECT_TRUE(FileDescriptor::renameNoReplace(x.string(), (dir / "z").string()));
    EXPECT_EQ(readFile(dir / "z"), "X");
    EXPECT_FALSE(fs::exists(x));
}

}  // namespace
}  // namespace vk::platform
