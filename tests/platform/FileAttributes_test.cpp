#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/FileDescriptor.h"
#include "support/LoopFileSystem.h"
#include "support/TempDir.h"

using namespace vk::platform;

namespace {

mode_t modeOf(const std::filesystem::path& p) {
    struct stat st;
    lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(FileAttributes, ReadOnlyMapsToTheWriteBits) {
    vk::test::TempDir dir;
    auto f = dir.write("a.exe", "x");
    ::chmod(f.c_str(), 0664);
    int folder = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_TRUE(setFileAttributesAt(folder, "a.exe", kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(modeOf(f), 0444u);
    ASSERT_TRUE(setFileAttributesAt(folder, "a.exe", kAttrNormal));
    EXPECT_EQ(modeOf(f), 0644u);

    // A link is not followed: its target keeps its mode.
    ::chmod(f.c_str(), 0444);
    std::filesystem::create_symlink(f, dir / "link");
    EXPECT_FALSE(setFileAttributesAt(folder, "link", kAttrNormal));
    EXPECT_EQ(modeOf(f), 0444u);
    // A FIFO is no file (and opening it must not block); a folder takes
    // attributes, but read-only does not lock it.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(setFileAttributesAt(folder, "pipe", kAttrNormal));
    std::filesystem::create_directory(dir / "sub");
    ::chmod((dir / "sub").c_str(), 0755);
    EXPECT_TRUE(setFileAttributesAt(folder, "sub", kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(modeOf(dir / "sub"), 0755u);
    EXPECT_EQ(fileAttributesAt(folder, "sub"), kAttrDirectory);  // ext4/tmpfs keep no hidden bit
    EXPECT_EQ(fileAttributesAt(folder, "a.exe"), kAttrReadOnly);
    ::close(folder);
}

}  // namespace

namespace {

// What a Windows user sees of a stick: the bits survive on the file system.
void attributesOnRealFileSystem(vk::test::LoopFileSystem::Kind kind) {
    vk::test::LoopFileSystem fs(kind);
    if (!fs.mounted()) GTEST_SKIP() << fs.skipReason();
    std::filesystem::create_directory(fs.root() / "Photos");
    { std::ofstream(fs.root() / "worm.exe") << "MZ"; }
    vk::platform::FileDescriptor root = vk::platform::FileDescriptor::openDirectory(fs.root().string());
    ASSERT_TRUE(root);
    const std::uint32_t worm = kAttrHidden | kAttrSystem;
    ASSERT_TRUE(setFileAttributesAt(root.get(), "Photos", worm));
    EXPECT_EQ(fileAttributesAt(root.get(), "Photos"), worm | kAttrDirectory);
    ASSERT_TRUE(setFileAttributesAt(root.get(), "Photos", kAttrNormal));
    EXPECT_EQ(fileAttributesAt(root.get(), "Photos"), kAttrDirectory);
    const std::uint32_t all = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;  // 39
    ASSERT_TRUE(setFileAttributesAt(root.get(), "worm.exe", all));
    EXPECT_EQ(fileAttributesAt(root.get(), "worm.exe"), all);
    ASSERT_TRUE(setFileAttributesAt(root.get(), "worm.exe", kAttrArchive));
    EXPECT_EQ(fileAttributesAt(root.get(), "worm.exe"), kAttrArchive);
}

}  // namespace

TEST(FileAttributes, KeptOnNtfs) { attributesOnRealFileSystem(vk::test::LoopFileSystem::Kind::Ntfs); }
TEST(FileAttributes, KeptOnFat) { attributesOnRealFileSystem(vk::test::LoopFileSystem::Kind::Fat); }
