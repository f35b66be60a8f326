#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/FolderListing.h"
#include "support/TempDir.h"

using namespace vk::platform;
using vk::test::TempDir;

namespace {

FileId idOf(const std::filesystem::path& p) {
    struct stat st;
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return FileId::of(st);
}

TEST(FolderListing, ListsEveryEntryWithItsKindAndNeverFollowsALink) {
    TempDir dir;
    dir.write("file.txt", "x");
    dir.write("sub/inner.txt", "y");
    std::filesystem::create_symlink(dir / "sub", dir / "link-to-folder");
    std::filesystem::create_symlink(dir / "file.txt", dir / "link-to-file");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    FileDescriptor folder = FileDescriptor::openDirectory(dir.str());
    ASSERT_TRUE(folder.valid());
    std::vector<FolderEntry> entries;
    EXPECT_EQ(listFolder(folder, entries), 0);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<std::pair<std::string, FolderEntry::Kind>> got;
    for (const auto& e : entries) got.emplace_back(e.name, e.kind);
    using K = FolderEntry::Kind;
    EXPECT_EQ(got, (std::vector<std::pair<std::string, K>>{{"file.txt", K::File},
                                                            {"link-to-file", K::Other},
                                                            {"link-to-folder", K::Other},
                                                            {"pipe", K::Other},
                                                            {"sub", K::Folder}}));
}

TEST(FolderListing, TheParentIsReopenedOnlyWhileItIsStillTheSameFolder) {
    TempDir dir;
    dir.write("a/b/c.txt", "x");
    std::filesystem::create_directories(dir / "elsewhere");
    FileDescriptor b = FileDescriptor::openDirectory((dir / "a/b").string());
    ASSERT_TRUE(b.valid());
    FileDescriptor parent = openParentFolder(b, idOf(dir / "a"));
    ASSERT_TRUE(parent.valid());
    struct stat st;
    ASSERT_TRUE(parent.stat(st));
    EXPECT_EQ(FileId::of(st), idOf(dir / "a"));
    // Moved under another folder meanwhile: ".." is no longer the folder the walk came from.
    const FileId a = idOf(dir / "a");
    std::filesystem::rename(dir / "a/b", dir / "elsewhere/b");
    errno = 0;
    EXPECT_FALSE(openParentFolder(b, a).valid());
    EXPECT_EQ(errno, ESTALE);
}

}  // namespace

namespace {

TEST(FileDescriptorAt, ReadsAtAnOffsetAndKnowsItsOwnEntry) {
    TempDir dir;
    dir.write("data.bin", "0123456789");
    dir.write("other.bin", "0123456789");
    FileDescriptor folder = FileDescriptor::openDirectory(dir.str());
    FileDescriptor file = folder.openAt("data.bin", O_RDONLY);
    ASSERT_TRUE(file.valid());
    char buf[16] = {};
    EXPECT_EQ(file.readFullyAt(buf, 4, 3), 4);
    EXPECT_EQ(std::string(buf, 4), "3456");
    EXPECT_EQ(file.readFullyAt(buf, 16, 8), 2);  // short only at the end
    EXPECT_EQ(file.readFullyAt(buf, 4, 100), 0);
    // The position is untouched by reads at an offset.
    EXPECT_EQ(file.readFully(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "012");
    EXPECT_TRUE(file.isSameFileAt(folder, "data.bin"));
    EXPECT_FALSE(file.isSameFileAt(folder, "other.bin"));
    std::filesystem::rename(dir / "other.bin", dir / "data.bin");
    EXPECT_FALSE(file.isSameFileAt(folder, "data.bin"));
    EXPECT_FALSE(file.isSameFileAt(folder, "missing"));
}

}  // namespace
