#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // A FIFO has no attributes; opening it must not block.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(setFileAttributesAt(folder, "pipe", kAttrNormal));
    // A folder takes them, but read-only does not close it to new files.
    std::filesystem::create_directory(dir / "sub");
    ::chmod((dir / "sub").c_str(), 0755);
    EXPECT_TRUE(setFileAttributesAt(folder, "sub", kAttrReadOnly | kAttrHidden | kAttrSystem));
    EXPECT_EQ(modeOf(dir / "sub"), 0755u);
    EXPECT_TRUE(setFileAttributesAt(folder, "sub", kAttrNormal));
    EXPECT_EQ(modeOf(dir / "sub"), 0755u);
    ::close(folder);
}

}  // namespace
