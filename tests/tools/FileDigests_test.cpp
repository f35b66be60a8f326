#include "tools/FileDigests.h"

#include <gtest/gtest.h>

#include <string>

#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "support/TempDir.h"
#include "tools/FileSizeText.h"

namespace vk::tools {
namespace {

TEST(FileDigests, BothDigestsOfSmallAndLargeFiles) {
    test::TempDir dir;
    auto check = dir.write("check.txt", "123456789");
    auto digests = computeFileDigests(check.string());
    ASSERT_TRUE(digests);
    EXPECT_EQ(digests->crc32, -1961752512);
    EXPECT_EQ(digests->md5, "25F9E794323B453885F5181F1B624D0B");

    auto empty = dir.write("empty", "");
    digests = computeFileDigests(empty.string());
    ASSERT_TRUE(digests);
    EXPECT_EQ(digests->crc32, -1);
    EXPECT_EQ(digests->md5, "D41D8CD98F00B204E9800998ECF8427E");

    // Several read pieces, the last one short: the same as one pass over memory.
    std::string big(3 * (1u << 20) + 12345, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
    auto file = dir.write("big.bin", big);
    digests = computeFileDigests(file.string());
    ASSERT_TRUE(digests);
    auto bytes = reinterpret_cast<const std::uint8_t*>(big.data());
    EXPECT_EQ(digests->crc32, checksum::computeCrc32({bytes, big.size()}));
    checksum::Md5Hasher md5;
    md5.update(bytes, big.size());
    EXPECT_EQ(digests->md5, md5.finishHex());
}

TEST(FileDigests, NoDigestsForWhatCannotBeReadOrWhenCancelled) {
    test::TempDir dir;
    EXPECT_FALSE(computeFileDigests((dir / "missing").string()));
    EXPECT_FALSE(computeFileDigests(dir.str()));
    auto file = dir.write("some", std::string(10, 'x'));
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(computeFileDigests(file.string(), &cancel));
    cancel = false;
    EXPECT_TRUE(computeFileDigests(file.string(), &cancel));
}

TEST(FileSizeText, KibibytesRoundedHalfToEvenForAnySize) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 Kb"},
        {511, "0 Kb"},
        {512, "0 Kb"},     // 0.5 goes to the even 0
        {513, "1 Kb"},
        {1536, "2 Kb"},    // 1.5 goes to 2
        {2560, "2 Kb"},    // 2.5 goes to 2
        {2561, "3 Kb"},
        {33553920, "32768 Kb"},      // 32,767.5 KB: beyond 16 bits
        {41943040, "40960 Kb"},      // 40 MB
        {5ull << 40, "5368709120 Kb"},
    };
    for (const auto& c : cases) EXPECT_EQ(fileSizeText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace vk::tools
