#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/linux/MountTable.h"
#include "support/TempDir.h"

using namespace vk::platform;
using namespace vk::platform::linux_;
using vk::test::ScopedEnv;
using vk::test::TempDir;

namespace {

struct NameCase {
    const char* path;
    const char* extension;
    const char* base;
    const char* fileName;
};

class NameHelpers : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameHelpers, SplitTheLastComponent) {
    const auto& c = GetParam();
    EXPECT_EQ(FileSystem::getExtensionName(c.path), c.extension);
    EXPECT_EQ(FileSystem::getBaseName(c.path), c.base);
    EXPECT_EQ(FileSystem::getFileName(c.path), c.fileName);
}

INSTANTIATE_TEST_SUITE_P(Paths, NameHelpers,
                         ::testing::Values(NameCase{"C:\\a.b\\readme", "", "readme", "readme"},
                                           NameCase{"C:\\x\\file.TXT", "TXT", "file", "file.TXT"},
                                           NameCase{"/media/stick/a.exe.txt", "txt", "a.exe", "a.exe.txt"},
                                           NameCase{"/tmp/dir.d/noext", "", "noext", "noext"},
                                           NameCase{"trailingdot.", "", "trailingdot", "trailingdot."},
                                           NameCase{"/x/.hidden", "hidden", "", ".hidden"}));

TEST(FileSystem, FolderListsRegularFilesAndRealFoldersOnly) {
    TempDir dir;
    dir.write("b.exe", "12345");
    dir.write("a.txt", "x");
    dir.write("sub/inner.bin", "y");
    std::filesystem::create_directory(dir / "zdir");
    std::filesystem::create_symlink(dir / "b.exe", dir / "link-to-file");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "link-to-dir");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string sockPath = (dir / "sock").string();
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    FileSystem fs;
    auto folder = fs.getFolder(dir.str());
    ::close(sock);
    ASSERT_TRUE(folder);
    ASSERT_EQ(folder->files.size(), 2u);
    EXPECT_EQ(folder->files[0].path, dir.str() + "/a.txt");
    EXPECT_EQ(folder->files[1].path, dir.str() + "/b.exe");
    EXPECT_EQ(folder->files[1].size, 5u);
    struct stat st;
    ASSERT_EQ(::stat((dir / "b.exe").c_str(), &st), 0);
    EXPECT_EQ(folder->files[1].inode, st.st_ino);
    EXPECT_EQ(folder->subFolders, (std::vector<std::string>{dir.str() + "/sub", dir.str() + "/zdir"}));
}

TEST(FileSystem, MissingFolderAndFileFail) {
    TempDir dir;
    FileSystem fs;
    EXPECT_FALSE(fs.getFolder(dir.str() + "/nope"));
    EXPECT_FALSE(fs.getFile(dir.str() + "/nope"));
    auto f = dir.write("f", "abc");
    EXPECT_FALSE(fs.getFolder(f.string()));
    ASSERT_TRUE(fs.getFile(f.string()));
    EXPECT_EQ(fs.getFile(f.string())->size, 3u);
    EXPECT_TRUE(fs.fileExists(f.string()));
    EXPECT_FALSE(fs.folderExists(f.string()));
    EXPECT_TRUE(fs.folderExists(dir.str()));
    EXPECT_FALSE(fs.fileExists(dir.str()));
}

TEST(FileSystem, CreateFolderFailsOverAnythingExisting) {
    TempDir dir;
    FileSystem fs;
    EXPECT_TRUE(fs.createFolder(dir.str() + "/new"));
    EXPECT_FALSE(fs.createFolder(dir.str() + "/new"));
    dir.write("file", "");
    EXPECT_FALSE(fs.createFolder(dir.str() + "/file"));
    std::filesystem::create_symlink(dir / "missing-target", dir / "dangling");
    EXPECT_FALSE(fs.createFolder(dir.str() + "/dangling"));
}

TEST(FileSystem, SimulatedDrivesReplaceDiscovery) {
    ScopedEnv drives("VANDRELKAST_DRIVES", "/media/a|1|1;/media/floppy|1|0;/mnt/net|3|1;;/x|9");
    FileSystem fs;
    auto list = fs.drives();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].path, "/media/a");
    EXPECT_EQ(list[0].type, DriveType::Removable);
    EXPECT_TRUE(list[0].isReady);
    EXPECT_FALSE(list[1].isReady);
    EXPECT_EQ(list[2].type, DriveType::Network);
    EXPECT_EQ(list[3].type, DriveType::Unknown);
    EXPECT_TRUE(list[3].isReady);
    EXPECT_TRUE(fs.driveExists("/media/floppy"));
    EXPECT_FALSE(fs.driveExists("/media/b"));
}

TEST(MountTable, ParsesEscapedMountPointsAndSkipsPseudoFileSystems) {
    std::string text =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "30 1 8:1 / /media/my\\040stick rw - vfat /dev/sdz1 rw\n"
        "31 1 0:40 / /mnt/share rw - cifs //server/share rw\n"
        "32 1 0:41 / /tmp rw - tmpfs tmpfs rw\n"
        "33 1 0:42 / /dev/shm rw - tmpfs tmpfs rw\n"
        "garbage line without separator\n";
    auto entries = parseMountInfo(text);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[1].mountPoint, "/media/my stick");
    EXPECT_EQ(entries[1].fsType, "vfat");
    EXPECT_EQ(entries[1].source, "/dev/sdz1");
    EXPECT_FALSE(classifyMount(entries[0]));
    EXPECT_EQ(classifyMount(entries[2]), DriveType::Network);
    EXPECT_EQ(classifyMount(entries[3]), DriveType::RamDisk);
    EXPECT_FALSE(classifyMount(entries[4]));
}

struct RootCase {
    const char* name;
    const char* mountInfo;
    std::vector<std::string> paths;
};

class DrivesOfMountInfo : public ::testing::TestWithParam<RootCase> {};

TEST_P(DrivesOfMountInfo, AlwaysHoldTheRootOnce) {
    std::vector<std::string> paths;
    for (const auto& d : drivesOfMountInfo(GetParam().mountInfo)) paths.push_back(d.path);
    EXPECT_EQ(paths, GetParam().paths);
}

INSTANTIATE_TEST_SUITE_P(
    MountTable, DrivesOfMountInfo,
    ::testing::Values(
        // A container: / is an overlay mount of its own.
        RootCase{"RootMounted",
                 "21 1 0:30 / / rw - overlay overlay rw\n"
                 "22 21 0:21 / /proc rw - proc proc rw\n"
                 "31 21 0:40 / /mnt/share rw - cifs //server/share rw\n",
                 {"/", "/mnt/share"}},
        // A plain chroot: only what was mounted inside it, no line for /.
        RootCase{"ChrootWithoutRootMount",
                 "22 1 0:21 / /proc rw - proc proc rw\n"
                 "23 1 0:22 / /sys rw - sysfs sysfs rw\n"
                 "32 1 0:41 / /tmp rw - tmpfs tmpfs rw\n",
                 {"/", "/tmp"}},
        // An initramfs root, which the classification takes for plumbing.
        RootCase{"RootOnRamfs", "1 0 0:2 / / rw - ramfs ramfs rw\n", {"/"}},
        RootCase{"NothingMounted", "", {"/"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileSystem, RealDiscoveryFindsTheRootFileSystem) {
    ScopedEnv drives("VANDRELKAST_DRIVES", nullptr);
    FileSystem fs;
    auto list = fs.drives();
    bool root = false;
    for (const auto& d : list) root |= d.path == "/";
    EXPECT_TRUE(root);
}

}  // namespace
