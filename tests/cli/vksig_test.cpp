#include <gtest/gtest.h>

#include "scan/DatabaseFile.h"
#include "scan/ScanEngine.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

using vk::test::readFile;
using vk::test::TempDir;

namespace {

class VkSigAdd : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = vk::test::builtProgram("vksig");
        if (program_.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
        sample = dir.write("sample.bin", "MZ sample body");
    }
    vk::test::ProgramResult add(const std::string& payload, const std::string& name) {
        return vk::test::runProgram(program_, {"add", payload, name, sample.string()});
    }
    // The names the program's own loader reads from a payload.
    std::vector<std::string> loadedNames(const std::string& payload) {
        auto db = dir.write("check.dat", vk::scan::buildDatabaseFile(readFile(payload)));
        vk::scan::ScanEngine engine;
        engine.setDatabasePath(db.string());
        engine.loadVirusDatabase();
        std::vector<std::string> names;
        for (const auto& e : engine.signatures()) names.push_back(e.name);
        return names;
    }
    std::string program_;
    TempDir dir;
    std::filesystem::path sample;
    const std::string kMain = "[Main]\r\nVersion=1\r\nCompatibleVersion=1.4.0\r\nReleaseDate=2026-01-02\r\nDatabaseSize=0\r\n";
};

TEST_F(VkSigAdd, NamesKeepTheirQuotes) {
    auto payload = dir.write("p.ini", kMain);
    for (const char* name : {"\"Quoted.Worm\"", "'Single'", "Plain \"inner\" quotes", "\"half"}) {
        auto r = add(payload.string(), name);
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    }
    EXPECT_EQ(loadedNames(payload.string()),
              (std::vector<std::string>{"\"Quoted.Worm\"", "'Single'", "Plain \"inner\" quotes", "\"half"}));
}

TEST_F(VkSigAdd, APayloadThatWouldNotLoadIsLeftAsItWas) {
    struct Case {
        const char* what;
        std::string text;
    };
    for (const Case& c : {Case{"a signature section missing",
                               "[Main]\r\nVersion=1\r\nCompatibleVersion=1.4.0\r\nReleaseDate=2026-01-02\r\n"
                               "DatabaseSize=2\r\n[Signature1]\r\nName=A\r\nCRC32Checksum=1\r\n"},
                          Case{"no release date", "[Main]\r\nCompatibleVersion=1.4.0\r\nDatabaseSize=0\r\n"},
                          Case{"a version too new", "[Main]\r\nCompatibleVersion=9.0.0\r\nReleaseDate=2026-01-02\r\n"
                                                    "DatabaseSize=0\r\n"}}) {
        SCOPED_TRACE(c.what);
        auto payload = dir.write("broken.ini", c.text);
        auto r = add(payload.string(), "New.Worm");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("would not load"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(payload), c.text);
    }
}

}  // namespace
