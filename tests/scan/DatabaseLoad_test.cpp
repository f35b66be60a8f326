#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/DatabaseFile.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"
#include "support/TempDir.h"

using namespace vk::scan;
using vk::test::TempDir;

namespace {

// Records every event as one line.
struct Recorder : ScanEngineEvents {
    std::vector<std::string> log;
    std::vector<std::int32_t> errors;
    void initializeLoading() override { log.push_back("init"); }
    void finishedLoading() override { log.push_back("finished"); }
    void loadProgress(std::int16_t percent, const std::string& status) override {
        log.push_back(std::to_string(percent) + " " + status);
    }
    void errorOccured(std::int32_t number, const std::string& description) override {
        errors.push_back(number);
        log.push_back("error " + std::to_string(number) + " " + description);
    }
};

std::string mainSection(const std::string& size, const std::string& compatible = "1.4.0",
                        const std::string& date = "2026-12-01") {
    return "[Main]\r\nVersion=7.1\r\nCompatibleVersion=" + compatible + "\r\nReleaseDate=" + date +
           "\r\nDatabaseSize=" + size + "\r\n";
}

std::string signature(int index, const std::string& name, const std::string& crc, bool withFlag = true) {
    std::string s = "[Signature" + std::to_string(index) + "]\r\nName=" + name + "\r\nCRC32Checksum=" + crc +
                    "\r\nMD5Digest=abc\r\n";
    if (withFlag) s += "UseStringDetection=0\r\n";
    return s + "StringSignature=XY Z\r\n";
}

std::string internalError(int number, const std::string& description) {
    return "error " + std::to_string(number) + " An internal application error occured:\r\n\r\nError Number: " +
           std::to_string(number) + "\r\nError Description: " + description + "\r\nError Source: VandrelKast";
}

struct Loaded {
    Recorder events;
    ScanEngine engine{nullptr};
};

void load(Loaded& l, const std::string& fileBytes, const TempDir& dir) {
    auto path = dir.write("signatures.dat", fileBytes);
    l.engine.setEvents(&l.events);
    l.engine.setDatabasePath(path.string());
    l.engine.loadVirusDatabase();
}

const std::string kLoading = "0 Loading Virus Database...";
const std::string kChecking = "0 Checking Version Compatible info...";
const std::string kCorrupt =
    "error 1029 The Cyclic Redundancy Check (CRC32) on virus database file \"\\signatures.dat\" failed. File is "
    "corrupt.";

TEST(DatabaseLoad, ThreeSignaturesLoadWithTheExactEventSequence) {
    TempDir dir;
    Loaded l;
    std::string payload = mainSection("3") + signature(1, "A", "-5") + signature(2, "B", "0", false) +
                          signature(3, "C", "2147483647");
    load(l, buildDatabaseFile(payload), dir);
    EXPECT_EQ(l.events.log, (std::vector<std::string>{"init", kLoading, kChecking, "33 Loading Virus Signatures...",
                                                      "67 Loading Virus Signatures...",
                                                      "100 Loading Virus Signatures...", "100 Finished Loading",
                                                      "finished"}));
    ASSERT_TRUE(l.engine.vDatabaseLoaded());
    EXPECT_EQ(l.engine.vDatabaseVersion(), "7.1");
    EXPECT_EQ(l.engine.vDatabaseCompatibleVer(), "1.4.0");
    EXPECT_EQ(l.engine.vDatabaseReleaseDate(), (CivilDate{2026, 12, 1}));
    EXPECT_EQ(l.engine.vDatabaseSize(), 3);
    const auto& e = l.engine.signatures();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "A");
    EXPECT_EQ(e[0].crc32, -5);
    EXPECT_EQ(e[0].md5, "abc");
    EXPECT_FALSE(e[0].useStringDetection);
    EXPECT_EQ(e[0].stringSignature, "XY Z");
    EXPECT_TRUE(e[1].useStringDetection);  // missing flag means on
    EXPECT_EQ(e[2].crc32, 2147483647);
}

TEST(DatabaseLoad, MissingFileNamesOnlyTheFileName) {
    TempDir dir;
    Recorder events;
    ScanEngine engine(&events);
    engine.setDatabasePath(dir.str() + "/signatures.dat");
    engine.loadVirusDatabase();
    EXPECT_EQ(events.log, (std::vector<std::string>{
                              "init", "error 1025 The virus database file \"\\signatures.dat\" doesn't exists. "
                                      "Please make sure the file specified exists."}));
    EXPECT_FALSE(engine.vDatabaseLoaded());
}

struct FailureCase {
    const char* what;
    std::string file;  // the whole database file
    std::vector<std::string> expectedTail;  // events after "init"
};

std::string withByteChanged(std::string s, std::size_t at) {
    s[at] = static_cast<char>(s[at] ^ 0x01);
    return s;
}

std::string withLength(std::string s, std::int32_t length) {
    for (int i = 0; i < 4; ++i) s[30 + i] = static_cast<char>((static_cast<std::uint32_t>(length) >> (8 * i)) & 0xFF);
    return s;
}

std::vector<FailureCase> failureCases() {
    std::string good = buildDatabaseFile(mainSection("1") + signature(1, "A", "1"));
    std::string lowerMagic = good;
    lowerMagic[0] = 'v';
    std::string garbage(200, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919) & 0xFF);
    return {
        {"magic differing only in letter case", lowerMagic,
         {kLoading, "error 1028 The header stub in virus database file \"\\signatures.dat\" is missing."}},
        {"file shorter than the magic", std::string("VANDREL"),
         {kLoading, "error 1028 The header stub in virus database file \"\\signatures.dat\" is missing."}},
        {"checksum mismatch", withByteChanged(good, 40),
         {kLoading, "error 1029 The Cyclic Redundancy Check (CRC32) on virus database file \"\\signatures.dat\" "
                    "failed. File is corrupt."}},
        // A file cut short is corrupt, whatever part is missing.
        {"header cut after the magic", good.substr(0, 30), {kLoading, kCorrupt}},
        {"length larger than the file", withLength(good, 1 << 30), {kLoading, kCorrupt}},
        {"payload cut short", good.substr(0, good.size() - 1), {kLoading, kCorrupt}},
        {"zero-length payload", withLength(good.substr(0, 34), 0), {kLoading, internalError(9, "Subscript out of range")}},
        {"negative length", withLength(good, -1), {kLoading, internalError(9, "Subscript out of range")}},
        {"garbage after decryption", buildDatabaseFile(garbage), {kLoading, internalError(13, "Type mismatch")}},
        {"no DatabaseSize", buildDatabaseFile("[Main]\r\nCompatibleVersion=1.4.0\r\nReleaseDate=2026-01-01\r\n"),
         {kLoading, internalError(13, "Type mismatch")}},
        {"non-numeric DatabaseSize", buildDatabaseFile(mainSection("abc") + signature(1, "A", "1")),
         {kLoading, internalError(13, "Type mismatch")}},
        {"unparsable ReleaseDate", buildDatabaseFile(mainSection("1", "1.4.0", "someday") + signature(1, "A", "1")),
         {kLoading, internalError(13, "Type mismatch")}},
        {"two-part CompatibleVersion", buildDatabaseFile(mainSection("1", "1.4") + signature(1, "A", "1")),
         {kLoading, kChecking, internalError(9, "Subscript out of range")}},
        {"CompatibleVersion 0.9", buildDatabaseFile(mainSection("1", "0.9") + signature(1, "A", "1")),
         {kLoading, kChecking, internalError(9, "Subscript out of range")}},
        {"empty CompatibleVersion", buildDatabaseFile(mainSection("1", "") + signature(1, "A", "1")),
         {kLoading, kChecking, internalError(9, "Subscript out of range")}},
        {"no CompatibleVersion",
         buildDatabaseFile("[Main]\r\nVersion=1\r\nReleaseDate=2026-12-01\r\nDatabaseSize=1\r\n" +
                           signature(1, "A", "1")),
         {kLoading, kChecking, internalError(9, "Subscript out of range")}},
        {"newer program needed", buildDatabaseFile(mainSection("1", "1.5.0") + signature(1, "A", "1")),
         {kLoading, kChecking,
          "error 1026 The database file needs a newer version of VandrelKast. Please download the latest version "
          "of VandrelKast.\r\n\r\nVersion Needed: 1.5.0 or later."}},
        {"DatabaseSize zero", buildDatabaseFile(mainSection("0")), {kLoading, kChecking, internalError(9, "Subscript out of range")}},
        {"absent signature section", buildDatabaseFile(mainSection("2") + signature(1, "A", "1")),
         {kLoading, kChecking, "50 Loading Virus Signatures...", internalError(13, "Type mismatch")}},
        {"CRC beyond 32 bits", buildDatabaseFile(mainSection("1") + signature(1, "A", "4294967295")),
         {kLoading, kChecking, internalError(6, "Overflow")}},
        {"DatabaseSize of two thousand million", buildDatabaseFile(mainSection("2000000000") + signature(1, "A", "1")),
         {kLoading, kChecking, "0 Loading Virus Signatures...", internalError(13, "Type mismatch")}},
    };
}

TEST(DatabaseLoad, EachBrokenFileEndsInItsErrorPath) {
    for (const auto& c : failureCases()) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Loaded l;
        load(l, c.file, dir);
        std::vector<std::string> expected{"init"};
        expected.insert(expected.end(), c.expectedTail.begin(), c.expectedTail.end());
        EXPECT_EQ(l.events.log, expected);
        EXPECT_FALSE(l.engine.vDatabaseLoaded());
    }
}

TEST(DatabaseLoad, AFailedReloadKeepsTheDatabaseThatWasLoaded) {
    TempDir dir;
    Loaded l;
    load(l, buildDatabaseFile(mainSection("2") + signature(1, "A", "0") +
                              "[Signature2]\r\nName=Marker\r\nCRC32Checksum=0\r\nStringSignature=RELOAD-MARK\r\n"),
         dir);
    ASSERT_TRUE(l.engine.vDatabaseLoaded());
    // Fails after its first entry was read: nothing of it may be left behind.
    for (const std::string& broken :
         {buildDatabaseFile(mainSection("3", "1.4.0") + signature(1, "B", "1") + signature(2, "C", "2")),
          buildDatabaseFile(mainSection("1", "9.0.0") + signature(1, "D", "1"))}) {
        l.events.errors.clear();
        load(l, broken, dir);
        EXPECT_EQ(l.events.errors.size(), 1u);
        EXPECT_TRUE(l.engine.vDatabaseLoaded());
        EXPECT_EQ(l.engine.vDatabaseSize(), 2);
        EXPECT_EQ(l.engine.vDatabaseCompatibleVer(), "1.4.0");
        ASSERT_EQ(l.engine.signatures().size(), 2u);
        EXPECT_EQ(l.engine.signatures()[1].name, "Marker");
        // The index still points at live entries (the sanitizer watches this read).
        auto file = dir.write("infected.bin", "xx RELOAD-MARK xx");
        l.engine.setNeutralizeMethods(DetectionAction::Ignore);
        l.engine.resetFarwatch();
        l.engine.scanFile(file.string());
        ASSERT_EQ(l.engine.farwatchLog().size(), 1u);
        EXPECT_EQ(l.engine.farwatchLog()[0].virusName, "Marker");
    }
}

TEST(DatabaseLoad, VersionsCompareAsText) {
    for (const char* version : {"1.4.0", "1.10.0", "1.3.9", "0.9.9.9"}) {
        SCOPED_TRACE(version);
        TempDir dir;
        Loaded l;
        load(l, buildDatabaseFile(mainSection("1", version) + signature(1, "A", "1")), dir);
        EXPECT_TRUE(l.engine.vDatabaseLoaded());
        EXPECT_TRUE(l.events.errors.empty());
    }
}

TEST(DatabaseLoad, PercentRoundsHalfToEven) {
    EXPECT_EQ(ScanEngine::getPercent(1, 3), 33);
    EXPECT_EQ(ScanEngine::getPercent(2, 3), 67);
    EXPECT_EQ(ScanEngine::getPercent(1, 8), 12);   // 12.5
    EXPECT_EQ(ScanEngine::getPercent(3, 8), 38);   // 37.5
    EXPECT_EQ(ScanEngine::getPercent(1, 200), 0);  // 0.5
    EXPECT_EQ(ScanEngine::getPercent(3, 200), 2);  // 1.5
}

TEST(DatabaseLoad, EnvelopeRoundTripsAndValuesAreCutAt1999) {
    TempDir dir;
    Loaded l;
    std::string longSig(2500, 'k');
    std::string payload = mainSection("1") + "[Signature1]\r\nName=Long\r\nCRC32Checksum=0\r\nStringSignature=" +
                          longSig + "\r\n";
    load(l, buildDatabaseFile(payload), dir);
    ASSERT_TRUE(l.engine.vDatabaseLoaded());
    EXPECT_EQ(l.engine.signatures()[0].stringSignature, std::string(1999, 'k'));
    auto env = readDatabaseFile((dir / "signatures.dat").string());
    ASSERT_EQ(env.status, DatabaseEnvelope::Status::Ok);
    cryptPayload(env.payload);
    EXPECT_EQ(env.payload, payload);
}

}  // namespace
