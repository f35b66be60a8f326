#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "support/PeFixture.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using vk::test::ProgramResult;

// 2026-03-14 12:34:56 UTC
constexpr std::time_t kStamp = 1773491696;

void stamp(const fs::path& file) {
    timespec times[2] = {{kStamp, 0}, {kStamp, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

std::string digestLines(const std::string& bytes) {
    auto data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    vk::checksum::Md5Hasher md5;
    md5.update(data, bytes.size());
    return "CRC32 Checksum: " + std::to_string(vk::checksum::computeCrc32({data, bytes.size()})) +
           "\nMD5 Digest: " + md5.finishHex() + "\n";
}

class VkInfo : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = vk::test::builtProgram("vkinfo");
        if (program_.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    }
    ProgramResult run(const std::vector<std::string>& args) {
        return vk::test::runProgram(program_, args, {{"TZ", "UTC"}});
    }
    std::string program_;
    vk::test::TempDir dir;
};

TEST_F(VkInfo, PrintsTheWindowsFieldsOfAWindowsProgram) {
    vk::test::PeBuilder builder(dir);
    if (!builder.unavailable().empty()) GTEST_SKIP() << builder.unavailable();
    fs::path exe = builder.build("setup tool.exe",
                                 "1 VERSIONINFO\nFILEVERSION 2,0,5,17\nPRODUCTVERSION 2,0,0,0\nFILEOS 0x40004\n"
                                 "FILETYPE 0x1\nBEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904b0\"\n  BEGIN\n"
                                 "   VALUE \"CompanyName\", \"Example Corp\"\n"
                                 "   VALUE \"FileDescription\", \"Setup Tool\"\n"
                                 "   VALUE \"LegalCopyright\", \"Copyright (C) 2026\"\n"
                                 "   VALUE \"InternalName\", \"setup\"\n"
                                 "   VALUE \"OriginalFilename\", \"setup.exe\"\n"
                                 "   VALUE \"ProductName\", \"Example Setup\"\n"
                                 "  END\n END\n BLOCK \"VarFileInfo\"\n BEGIN\n  VALUE \"Translation\", 0x409, 1200\n"
                                 " END\nEND\n");
    stamp(exe);
    std::string bytes = vk::test::readFile(exe);
    auto r = run({exe.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string size = std::to_string((bytes.size() + 512) / 1024);  // not a tie for this size
    EXPECT_EQ(r.out, "Filename: setup tool.exe\nPath: " + dir.str() + "\nFile Size: " + size +
                         " Kb\nDate Modified: 2026-03-14 12:34:56\nFile Version: 2.0.5.17\n"
                         "File Description: Setup Tool\nLegal Copyright: Copyright (C) 2026\n"
                         "Company Name: Example Corp\nInternal Name: setup\nOriginal Filename: setup.exe\n"
                         "Product Name: Example Setup\nProduct Version: 2.0.0.0\n" +
                         digestLines(bytes));
}

TEST_F(VkInfo, FilesAreSeparatedByABlankLineAndUnreadableOnesMakeTheStatusTwo) {
    fs::path a = dir.write("a.txt", "123456789");
    fs::path b = dir.write("b.txt", std::string(1536, 'b'));
    stamp(a);
    stamp(b);
    const std::string noVersion =
        "File Version: \nFile Description: \nLegal Copyright: \nCompany Name: \nInternal Name: \n"
        "Original Filename: \nProduct Name: \nProduct Version: \n";
    const std::string blockA = "Filename: a.txt\nPath: " + dir.str() + "\nFile Size: 0 Kb\nDate Modified: " +
                               "2026-03-14 12:34:56\n" + noVersion + digestLines("123456789");
    const std::string blockB = "Filename: b.txt\nPath: " + dir.str() + "\nFile Size: 2 Kb\nDate Modified: " +
                               "2026-03-14 12:34:56\n" + noVersion + digestLines(std::string(1536, 'b'));

    auto ok = run({a.string(), b.string()});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, blockA + "\n" + blockB);

    auto bad = run({a.string(), (dir / "missing").string(), dir.str(), b.string()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, blockA + "\n" + blockB);
    EXPECT_EQ(bad.err, "vkinfo: cannot read " + (dir / "missing").string() + "\nvkinfo: cannot read " + dir.str() + "\n");
}

TEST_F(VkInfo, ControlCharactersInNamesAreEscaped) {
    fs::path odd = dir.write("evil\x1b]0;title\x07.exe", "x");
    auto r = run({odd.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Filename: evil\\x1B]0;title\\x07.exe\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

TEST_F(VkInfo, UsageVersionAndNoArguments) {
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: vkinfo FILE...", 0), 0u) << help.out;
    auto version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("vkinfo"), std::string::npos);
    auto none = run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
}

}  // namespace
