#include "tools/VersionInfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/PeFixture.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "tools/ByteSource.h"
#include "tools/PeIcon.h"

namespace vk::tools {
namespace {

namespace fs = std::filesystem;
using test::PeBuilder;

std::string versionRc(const std::string& fixed, const std::string& blocks) {
    return "1 VERSIONINFO\n" + fixed + "BEGIN\n" + blocks + "END\n";
}

std::string fixedPart(const std::string& fileVersion, const std::string& productVersion, const std::string& flags,
                      const std::string& os, const std::string& type, const std::string& subType) {
    return "FILEVERSION " + fileVersion + "\nPRODUCTVERSION " + productVersion +
           "\nFILEFLAGSMASK 0x3f\nFILEFLAGS " + flags + "\nFILEOS " + os + "\nFILETYPE " + type +
           "\nFILESUBTYPE " + subType + "\n";
}

std::string stringTable(const std::string& key, const std::string& suffix) {
    return "    BLOCK \"" + key + "\"\n    BEGIN\n"
           "      VALUE \"CompanyName\", \"Company " + suffix + "\"\n"
           "      VALUE \"FileDescription\", \"Description " + suffix + "\"\n"
           "      VALUE \"LegalCopyright\", \"Copyright " + suffix + "\"\n"
           "      VALUE \"ProductName\", \"Product " + suffix + "\"\n"
           "      VALUE \"InternalName\", \"internal-" + suffix + "\"\n"
           "      VALUE \"OriginalFilename\", \"" + suffix + ".exe\"\n"
           "    END\n";
}

std::string fullVersionRc() {
    return versionRc(fixedPart("1,2,3,4", "10,20,30,40", "0x3", "0x40004", "0x1", "0x0"),
                     "  BLOCK \"StringFileInfo\"\n  BEGIN\n" + stringTable("040904b0", "us") +
                         "  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\n");
}

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!builder.unavailable().empty()) GTEST_SKIP() << builder.unavailable();
    }
    test::TempDir dir;
    PeBuilder builder{dir};
};

class VersionInfoBitsTest : public VersionInfoTest, public ::testing::WithParamInterface<PeBuilder::Bits> {};

TEST_P(VersionInfoBitsTest, ReadsEveryFieldOfTheRecord) {
    fs::path exe = builder.build("demo.exe", fullVersionRc(), GetParam());
    FileVersionRecord r;
    ASSERT_TRUE(readVersionInfo(exe.string(), r));
    EXPECT_EQ(r.fileVersion, "1.2.3.4");
    EXPECT_EQ(r.productVersion, "10.20.30.40");
    EXPECT_EQ(r.fileFlags, "Debug PreRel ");
    EXPECT_EQ(r.fileOS, "NT-Win32");
    EXPECT_EQ(r.fileType, "App");
    EXPECT_EQ(r.fileSubType, "");
    EXPECT_EQ(r.language, "English (United States)");
    EXPECT_EQ(r.companyName, "Company us");
    EXPECT_EQ(r.fileDescription, "Description us");
    EXPECT_EQ(r.legalCopyright, "Copyright us");
    EXPECT_EQ(r.productName, "Product us");
    EXPECT_EQ(r.internalName, "internal-us");
    EXPECT_EQ(r.originalFilename, "us.exe");
}

INSTANTIATE_TEST_SUITE_P(Both, VersionInfoBitsTest, ::testing::Values(PeBuilder::Bits::Pe32, PeBuilder::Bits::Pe64),
                         [](const auto& info) { return info.param == PeBuilder::Bits::Pe32 ? "Pe32" : "Pe64"; });

struct FixedCase {
    const char* flags;
    const char* os;
    const char* type;
    const char* subType;
    const char* wantFlags;
    const char* wantOs;
    const char* wantType;
    const char* wantSubType;
};

TEST_F(VersionInfoTest, FixedBlockWordsFollowTheTables) {
    const FixedCase cases[] = {
        {"0x3f", "0x10001", "0x3", "0x6", "Debug PreRel Patched Private Info Special ", "DOS-Win16", "Driver",
         "Network drv"},
        {"0x4", "0x10004", "0x3", "0xA", "Patched ", "DOS-Win32", "Driver", "Comm drv"},
        {"0x0", "0x20002", "0x4", "0x3", "", "OS/2-16 PM-16", "Font", "TrueType Font"},
        {"0x20", "0x30003", "0x2", "0x3", "Special ", "OS/2-16 PM-32", "DLL", ""},
        {"0x0", "0x4", "0x5", "0x1", "", "Unknown", "VxD", ""},
        {"0x0", "0x40004", "0x7", "0x0", "", "NT-Win32", "Lib", ""},
        {"0x0", "0x40004", "0x6", "0x0", "", "NT-Win32", "Unknown", ""},
        {"0x0", "0x40004", "0x3", "0xB", "", "NT-Win32", "Driver", ""},
    };
    int n = 0;
    for (const FixedCase& c : cases) {
        std::string name = "case" + std::to_string(n++) + ".exe";
        fs::path exe = builder.build(name, versionRc(fixedPart("65535,0,1,65534", "0,0,0,0", c.flags, c.os, c.type,
                                                               c.subType),
                                                     ""));
        FileVersionRecord r;
        ASSERT_TRUE(readVersionInfo(exe.string(), r)) << name;
        EXPECT_EQ(r.fileVersion, "65535.0.1.65534") << name;
        EXPECT_EQ(r.fileFlags, c.wantFlags) << name;
        EXPECT_EQ(r.fileOS, c.wantOs) << name;
        EXPECT_EQ(r.fileType, c.wantType) << name;
        EXPECT_EQ(r.fileSubType, c.wantSubType) << name;
        // No translation and no strings: those fields stay empty.
        EXPECT_EQ(r.language, "") << name;
        EXPECT_EQ(r.companyName, "") << name;
    }
}

TEST_F(VersionInfoTest, TheFirstTranslationChoosesTheStrings) {
    fs::path exe = builder.build(
        "two.exe",
        versionRc(fixedPart("1,0,0,0", "1,0,0,0", "0x0", "0x40004", "0x1", "0x0"),
                  "  BLOCK \"StringFileInfo\"\n  BEGIN\n" + stringTable("040904b0", "us") +
                      stringTable("040704e4", "de") +
                      "  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x407, 1252, 0x409, 1200\n"
                      "  END\n"));
    FileVersionRecord r;
    ASSERT_TRUE(readVersionInfo(exe.string(), r));
    EXPECT_EQ(r.language, "German (Germany)");
    EXPECT_EQ(r.companyName, "Company de");
    EXPECT_EQ(r.originalFilename, "de.exe");
}

TEST_F(VersionInfoTest, TextOutsideAsciiArrivesAsUtf8) {
    // windres reads the script as UTF-8 with this code page.
    fs::path exe = builder.build(
        "unicode.exe",
        "#pragma code_page(65001)\n" +
            versionRc(fixedPart("1,0,0,0", "1,0,0,0", "0x0", "0x40004", "0x1", "0x0"),
                      "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"041904b0\"\n    BEGIN\n"
                      "      VALUE \"CompanyName\", \"\xC2\xA9 \xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBF\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x8F\"\n"
                      "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x419, 1200\n  END\n"));
    FileVersionRecord r;
    ASSERT_TRUE(readVersionInfo(exe.string(), r));
    EXPECT_EQ(r.companyName, "\xC2\xA9 \xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBF\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x8F");
    EXPECT_EQ(r.language, "Russian (Russia)");
}

TEST_F(VersionInfoTest, ATranslationWithoutItsExactTableUsesTheTableOfItsLanguage) {
    fs::path exe = builder.build(
        "cp.exe", versionRc(fixedPart("1,0,0,0", "1,0,0,0", "0x0", "0x40004", "0x1", "0x0"),
                            "  BLOCK \"StringFileInfo\"\n  BEGIN\n" + stringTable("040904b0", "us") +
                                "  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1252\n"
                                "  END\n"));
    FileVersionRecord r;
    ASSERT_TRUE(readVersionInfo(exe.string(), r));
    EXPECT_EQ(r.productName, "Product us");
}

TEST_F(VersionInfoTest, FilesWithoutAVersionResourceHaveNone) {
    fs::path bare = builder.build("bare.exe", "");
    fs::path iconOnly = dir.write("only.ico", test::icoFile(16, 0xFF00FF00));
    fs::path withIcon = builder.build("icon.exe", "1 ICON \"only.ico\"\n");
    fs::path text = dir.write("notes.txt", "MZ but nothing more");
    for (const fs::path& p : {bare, withIcon, text, fs::path("/bin/sh"), dir / "missing.exe", fs::path()}) {
        FileVersionRecord r;
        r.companyName = "left over";
        EXPECT_FALSE(readVersionInfo(p.string(), r)) << p;
        EXPECT_EQ(r.companyName, "") << p;
        EXPECT_EQ(r.fileVersion, "") << p;
    }
    (void)iconOnly;
}

TEST_F(VersionInfoTest, ATruncatedFileEndsInNoVersionInformation) {
    fs::path exe = builder.build("cut.exe", fullVersionRc());
    std::string bytes = test::readFile(exe);
    FileVersionRecord whole;
    ASSERT_TRUE(readVersionInfo(MemorySource({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}),
                                whole));
    // Every cut that loses part of the version block must fail cleanly; cuts
    // after it may keep the block.
    int failed = 0;
    for (std::size_t n = 0; n < bytes.size(); n += 7) {
        fs::path cut = dir.write("cut-" + std::to_string(n) + ".exe", bytes.substr(0, n));
        FileVersionRecord r;
        if (!readVersionInfo(cut.string(), r)) {
            ++failed;
            EXPECT_EQ(r.fileVersion, "");
        } else {
            EXPECT_EQ(r.fileVersion, whole.fileVersion) << n;
            EXPECT_EQ(r.companyName, whole.companyName) << n;
        }
        fs::remove(cut);
    }
    EXPECT_GT(failed, 0);
}

// The .rsrc section's file offset, from the linker's own dump of the headers.
std::size_t resourceOffset(const fs::path& exe) {
    std::string objdump = test::findInPath("x86_64-w64-mingw32-objdump");
    if (objdump.empty()) return 0;
    test::ProgramResult r = test::runProgram(objdump, {"-h", exe.string()});
    std::size_t at = r.out.find(".rsrc");
    if (at == std::string::npos) return 0;
    // Name Size VMA LMA File-off
    std::istringstream fields(r.out.substr(at));
    std::string name, size, vma, lma, off;
    fields >> name >> size >> vma >> lma >> off;
    return std::stoul(off, nullptr, 16);
}

std::uint32_t get32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

void put32(std::string& b, std::size_t at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST_F(VersionInfoTest, ResourceDirectoriesThatPointAtThemselvesEndTheSearch) {
    fs::path exe = builder.build("loop.exe", fullVersionRc());
    const std::string original = test::readFile(exe);
    const std::size_t root = resourceOffset(exe);
    ASSERT_GT(root, 0u);
    // One type (RT_VERSION), one name, one language: the first entry of each
    // directory is 16 bytes into it, its target 4 bytes further.
    ASSERT_EQ(get32(original, root + 16), 16u);
    const std::uint32_t names = get32(original, root + 20) & 0x7FFFFFFF;
    const std::uint32_t languages = get32(original, root + names + 20) & 0x7FFFFFFF;
    struct Patch {
        const char* what;
        std::size_t at;
        std::uint32_t target;
    };
    const Patch patches[] = {
        {"type entry to the root", root + 20, 0x80000000u},
        {"name entry to its own directory", root + names + 20, 0x80000000u | names},
        {"name entry to the root", root + names + 20, 0x80000000u},
        {"language entry to the root", root + languages + 20, 0x80000000u},
        {"language entry to its own directory", root + languages + 20, 0x80000000u | languages},
        {"language entry far outside", root + languages + 20, 0x7FFFFFF0u},
    };
    for (const Patch& p : patches) {
        std::string bytes = original;
        put32(bytes, p.at, p.target);
        fs::path patched = dir.write("patched.exe", bytes);
        auto start = std::chrono::steady_clock::now();
        FileVersionRecord r;
        EXPECT_FALSE(readVersionInfo(patched.string(), r)) << p.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << p.what;
        EXPECT_EQ(r.fileVersion, "") << p.what;
    }
    // The unpatched file reads, so the patches are what made the difference.
    FileVersionRecord r;
    EXPECT_TRUE(readVersionInfo(exe.string(), r));
}

TEST_F(VersionInfoTest, TheFirstIconGroupBecomesAnIcoFile) {
    const std::string green = test::icoFile(16, 0xFF00C000);
    const std::string red = test::icoFile(32, 0xFFC00000);
    dir.write("green.ico", green);
    dir.write("red.ico", red);
    fs::path exe = builder.build("icons.exe", "1 ICON \"green.ico\"\n2 ICON \"red.ico\"\n" + fullVersionRc());
    auto ico = extractIcon(exe.string());
    ASSERT_TRUE(ico.has_value());
    EXPECT_EQ(*ico, green);

    fs::path exe32 = builder.build("icons32.exe", "7 ICON \"red.ico\"\n", PeBuilder::Bits::Pe32);
    ico = extractIcon(exe32.string());
    ASSERT_TRUE(ico.has_value());
    EXPECT_EQ(*ico, red);

    EXPECT_FALSE(extractIcon(builder.build("noicon.exe", fullVersionRc()).string()).has_value());
    EXPECT_FALSE(extractIcon(std::string("/bin/sh")).has_value());
    EXPECT_FALSE(extractIcon((dir / "missing.exe").string()).has_value());
}

}  // namespace
}  // namespace vk::tools
