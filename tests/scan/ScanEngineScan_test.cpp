#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>

#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "scan/DatabaseFile.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"
#include "scan/SignatureDatabase.h"
#include "scan/SignatureIndex.h"
#include "support/TempDir.h"

using namespace vk::scan;
namespace checksum = vk::checksum;
using vk::test::readFile;
using vk::test::TempDir;

namespace {

std::int32_t crcOf(const std::string& s) {
    return checksum::computeCrc32({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
}

std::string md5Of(const std::string& s) {
    checksum::Md5Hasher h;
    h.update(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    return h.finishHex();
}

SignatureEntry byChecksum(const std::string& name, const std::string& content, std::string md5 = "?") {
    return {name, crcOf(content), md5 == "?" ? md5Of(content) : md5, false, ""};
}

SignatureEntry byString(const std::string& name, const std::string& bytes) { return {name, 0, "", true, bytes}; }

// The database-order loop the one-pass index must agree with.
std::int64_t referenceMatch(const std::vector<SignatureEntry>& entries, const std::string& data) {
    if (data.empty()) return -1;
    std::int32_t crc = crcOf(data);
    std::string digest;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        bool found;
        if (e.crc32 != 0 && e.crc32 == crc) {
            if (digest.empty()) digest = md5Of(data);
            std::string a = e.md5, b = digest;
            std::transform(a.begin(), a.end(), a.begin(), ::tolower);
            std::transform(b.begin(), b.end(), b.begin(), ::tolower);
            found = e.md5.empty() || a == b;
        } else {
            found = e.useStringDetection && !e.stringSignature.empty() &&
                    data.find(e.stringSignature) != std::string::npos;
        }
        if (found) return static_cast<std::int64_t>(i);
    }
    return -1;
}

struct Recorder : ScanEngineEvents {
    std::vector<std::string> scanned;
    std::vector<std::string> detected;
    std::vector<std::pair<std::int32_t, std::string>> errors;
    std::function<void(const std::string&, std::int32_t&)> answer = [](const std::string&, std::int32_t& a) { a = 0; };
    std::function<void(const std::string&)> onProgress;
    void scanningProgress(const std::string& f) override {
        scanned.push_back(f);
        if (onProgress) onProgress(f);
    }
    void virusDetected(const std::string& f, const std::string& name, std::int32_t& action) override {
        detected.push_back(name + "@" + f);
        answer(f, action);
    }
    void errorOccured(std::int32_t n, const std::string& d) override { errors.emplace_back(n, d); }
};

class Scan : public ::testing::Test {
protected:
    TempDir dbDir;
    TempDir tree;
    Recorder events;
    ScanEngine engine{&events};

    void load(const std::vector<SignatureEntry>& entries) {
        DatabaseMain main{"1", "1.4.0", {2026, 1, 1}, 0};
        auto path = dbDir.write("signatures.dat", buildDatabaseFile(formatPayload(main, entries)));
        engine.setDatabasePath(path.string());
        engine.loadVirusDatabase();
        ASSERT_TRUE(engine.vDatabaseLoaded());
        events.errors.clear();
    }
    void scanTree() {
        engine.scanFilesInFolder(tree.str());
        engine.scanFolder(tree.str(), true);
    }
    std::string at(const char* rel) const { return (tree / rel).string(); }
};

const std::string kVirus = "MZ fake worm body with marker VKTEST-PAYLOAD-0001 and more";

TEST(SignatureIndex, AgreesWithTheDatabaseOrderLoopOnGeneratedData) {
    std::mt19937 rng(99);
    for (int round = 0; round < 200; ++round) {
        std::uniform_int_distribution<int> sym(0, 2 + round % 4);
        auto randomText = [&](int n) {
            std::string s;
            for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('a' + sym(rng)));
            return s;
        };
        std::vector<std::string> files;
        for (int i = 0; i < 12; ++i) files.push_back(randomText(1 + static_cast<int>(rng() % 400)));
        // Large enough to be searched in several pieces, with a hit across a piece boundary.
        std::string big = randomText(200000);
        files.push_back(big);
        std::vector<SignatureEntry> entries;
        for (int i = 0; i < 25; ++i) {
            const std::string& f = files[rng() % files.size()];
            switch (rng() % 6) {
                case 0: entries.push_back(byChecksum("crc-md5", f)); break;
                case 1: entries.push_back(byChecksum("crc-only", f, "")); break;
                case 2: {  // CRC collides, MD5 differs: blocks this entry's string test
                    auto e = byChecksum("crc-wrong-md5", f, std::string(32, '0'));
                    e.useStringDetection = true;
                    e.stringSignature = f.substr(0, 3);
                    entries.push_back(e);
                    break;
                }
                case 3: {
                    std::size_t from = rng() % f.size();
                    entries.push_back(byString("substring", f.substr(from, 1 + rng() % 12)));
                    break;
                }
                case 4: entries.push_back(byString("random", randomText(1 + static_cast<int>(rng() % 6)))); break;
                default: {
                    auto e = byString("off", f.substr(0, 2));
                    e.useStringDetection = false;
                    entries.push_back(e);
                }
            }
        }
        SignatureIndex index(entries);
        for (const auto& f : files) {
            auto data = reinterpret_cast<const std::uint8_t*>(f.data());
            auto expected = referenceMatch(entries, f);
            ASSERT_EQ(index.firstMatch(data, f.size(), crcOf(f), [&] { return md5Of(f); }), expected) << round;
            // Fed in uneven pieces, as reads deliver a file.
            SignatureIndex::Pass pass(index, data, f.size(), nullptr);
            for (std::size_t fed = 0; fed < f.size(); fed += 1 + rng() % 70000) pass.feed(fed);
            ASSERT_EQ(pass.finish([&] { return md5Of(f); }), expected) << round;
        }
    }
}

TEST(SignatureIndex, EmptyMd5ConfirmsWithoutDigestingAndAWrongMd5BlocksTheStringTest) {
    std::string data = kVirus;
    int digests = 0;
    auto md5 = [&] {
        ++digests;
        return md5Of(data);
    };
    auto d = reinterpret_cast<const std::uint8_t*>(data.data());
    {
        std::vector<SignatureEntry> entries{byChecksum("A", data, "")};
        SignatureIndex index(entries);
        EXPECT_EQ(index.firstMatch(d, data.size(), crcOf(data), md5), 0);
        EXPECT_EQ(digests, 0);
    }
    {
        auto blocked = byChecksum("B", data, "00000000000000000000000000000000");
        blocked.useStringDetection = true;
        blocked.stringSignature = "VKTEST";
        std::vector<SignatureEntry> entries{blocked, byString("C", "marker")};
        SignatureIndex index(entries);
        EXPECT_EQ(index.firstMatch(d, data.size(), crcOf(data), md5), 1);
        EXPECT_EQ(digests, 1);
    }
    {
        std::vector<SignatureEntry> entries{byString("empty", "")};
        SignatureIndex index(entries);
        EXPECT_EQ(index.firstMatch(d, data.size(), crcOf(data), md5), SignatureIndex::kNoMatch);
    }
}

TEST_F(Scan, FirstSignatureInDatabaseOrderWinsAndIsLoggedOnce) {
    load({byString("Second.Listed", "VKTEST-PAYLOAD"), byChecksum("Checksum.Listed", kVirus)});
    tree.write("a.exe", kVirus);
    engine.setNeutralizeMethods(5);
    scanTree();
    EXPECT_EQ(engine.detections(), 1);
    ASSERT_EQ(engine.farwatchLog().size(), 1u);
    EXPECT_EQ(engine.farwatchLog()[0].virusName, "Second.Listed");
    EXPECT_EQ(engine.farwatchLog()[0].path, at("a.exe"));
    EXPECT_EQ(engine.filesHealed() + engine.filesDeleted() + engine.filesRenamed(), 0);
    EXPECT_TRUE(events.detected.empty());  // 5 is no action and no question
    EXPECT_TRUE(std::filesystem::exists(tree / "a.exe"));
}

TEST_F(Scan, SizeLimitIsInclusiveAndExtensionsCompareWithoutCase) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFileSizeLimit(1);
    engine.setFilter("exe;com");
    std::string exact(1048576, 'x');
    exact.replace(100, 14, "VKTEST-PAYLOAD");
    tree.write("exact.com", exact);
    tree.write("over.com", exact + "x");
    tree.write("A.EXE", kVirus);
    tree.write("a.exe.txt", kVirus);
    tree.write("noext", kVirus);
    engine.setNeutralizeMethods(5);
    scanTree();
    std::vector<std::string> expected{at("A.EXE"), at("exact.com")};
    EXPECT_EQ(events.scanned, expected);
    EXPECT_EQ(engine.detections(), 2);

    events.scanned.clear();
    engine.setFilter(" exe;;com ");  // blanks at the ends go; the empty part admits extension-less files
    EXPECT_EQ(engine.filter(), "exe;;com");
    scanTree();
    EXPECT_EQ(events.scanned, (std::vector<std::string>{at("A.EXE"), at("exact.com"), at("noext")}));
    EXPECT_FALSE(engine.isExtensionFiltered("txt"));
    EXPECT_TRUE(engine.isExtensionFiltered(""));
}

TEST_F(Scan, ActionsHealDeleteRenameAndAskCountEvenWhenTheFileOperationFails) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    struct Case {
        std::int32_t method;
        bool existsAfter;
        bool virExistsAfter;
    };
    for (Case c : {Case{1, false, false}, Case{2, false, false}, Case{3, false, true}}) {
        SCOPED_TRACE(c.method);
        TempDir dir;
        auto f = dir.write("x.exe", kVirus);
        ::chmod(f.c_str(), 0444);
        engine.resetScanningStatistics();
        engine.setNeutralizeMethods(c.method);
        engine.scanFile(f.string());
        EXPECT_EQ(std::filesystem::exists(f), c.existsAfter);
        EXPECT_EQ(std::filesystem::exists(f.string() + ".vir"), c.virExistsAfter);
        EXPECT_EQ(engine.filesHealed(), c.method == 1 ? 1 : 0);
        EXPECT_EQ(engine.filesDeleted(), c.method == 2 ? 1 : 0);
        EXPECT_EQ(engine.filesRenamed(), c.method == 3 ? 1 : 0);
    }

    // An earlier .vir is never replaced; the counter still rises.
    TempDir dir;
    auto f = dir.write("x.exe", kVirus);
    dir.write("x.exe.vir", "earlier quarantine");
    engine.resetScanningStatistics();
    engine.scanFile(f.string());
    EXPECT_TRUE(std::filesystem::exists(f));
    EXPECT_EQ(readFile(dir / "x.exe.vir"), "earlier quarantine");
    EXPECT_EQ(engine.filesRenamed(), 1);

    // Ask: the handler's answer is the action.
    engine.setNeutralizeMethods(0);
    events.answer = [](const std::string&, std::int32_t& a) { a = 2; };
    engine.resetScanningStatistics();
    engine.scanFile(f.string());
    EXPECT_FALSE(std::filesystem::exists(f));
    EXPECT_EQ(engine.filesDeleted(), 1);
    EXPECT_EQ(events.detected.back(), "Marker@" + f.string());
}

TEST_F(Scan, AnEntrySwappedWhileAskingIsLeftAlone) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    auto f = tree.write("x.exe", kVirus);
    tree.write("innocent", "user data");
    events.answer = [&](const std::string& path, std::int32_t& a) {
        std::filesystem::rename(tree / "innocent", path);
        a = 2;
    };
    engine.scanFile(f.string());
    EXPECT_EQ(readFile(f), "user data");
    EXPECT_EQ(engine.filesDeleted(), 1);
}

TEST_F(Scan, ZeroLengthFilesAreCountedButNeverMatch) {
    load({byChecksum("EmptyCrc", "", ""), byString("Marker", "VKTEST-PAYLOAD")});
    tree.write("empty.exe", "");
    engine.setNeutralizeMethods(2);
    engine.scanFilesInFolder(tree.str());
    EXPECT_EQ(engine.filesScanned(), 1);
    EXPECT_EQ(engine.detections(), 0);
    EXPECT_TRUE(std::filesystem::exists(tree / "empty.exe"));
}

TEST_F(Scan, ScanFolderLeavesTheTopFilesToScanFilesInFolder) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    tree.write("top.exe", kVirus);
    tree.write("sub/mid.exe", kVirus);
    tree.write("sub/deeper/low.exe", kVirus);
    engine.setNeutralizeMethods(5);
    engine.scanFolder(tree.str(), false);
    EXPECT_EQ(events.scanned, std::vector<std::string>{at("sub/mid.exe")});
    events.scanned.clear();
    engine.scanFolder(tree.str(), true);
    EXPECT_EQ(events.scanned, (std::vector<std::string>{at("sub/mid.exe"), at("sub/deeper/low.exe")}));
}

TEST_F(Scan, LinksAreNeitherFollowedNorActedOnAndFifosNeverOpened) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    TempDir outside;
    auto target = outside.write("victim.exe", kVirus);
    std::filesystem::create_symlink(target, tree / "link.exe");
    std::filesystem::create_directory_symlink(outside.path(), tree / "linkdir");
    ASSERT_EQ(::mkfifo(at("pipe.exe").c_str(), 0600), 0);
    tree.write("real/ok.exe", "clean");
    engine.setNeutralizeMethods(2);
    scanTree();
    EXPECT_EQ(events.scanned, std::vector<std::string>{at("real/ok.exe")});
    // Asked directly about a link, the engine reads nothing through it.
    engine.scanFile(at("link.exe"));
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_TRUE(std::filesystem::is_symlink(tree / "link.exe"));
    EXPECT_EQ(engine.detections(), 0);
}

struct StopAfter : vk::platform::EventPump {
    ScanEngine* engine = nullptr;
    Recorder* events = nullptr;
    std::size_t files = 0;
    void pump() override {
        if (events->scanned.size() >= files) engine->setStopScanningProcess(true);
    }
};

TEST_F(Scan, StopEndsTheWalkAtItsNextCheck) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    for (int d = 0; d < 5; ++d)
        for (int f = 0; f < 5; ++f) tree.write("d" + std::to_string(d) + "/f" + std::to_string(f) + ".exe", "clean");
    StopAfter pump;
    pump.engine = &engine;
    pump.events = &events;
    pump.files = 7;
    engine.setPump(&pump);
    engine.setStopScanningProcess(false);
    scanTree();
    // The pump after the seventh file sets Stop; the walk has already moved
    // on to the eighth, and ends at the check after it.
    EXPECT_EQ(events.scanned.size(), 8u);
    EXPECT_TRUE(engine.stopScanningProcess());
}

TEST(ScanWithoutDatabase, EveryFileReports1027AndTheWalkGoesOn) {
    TempDir tree;
    tree.write("a.exe", kVirus);
    tree.write("b.exe", kVirus);
    Recorder events;
    ScanEngine engine(&events);
    engine.scanFilesInFolder(tree.str());
    ASSERT_EQ(events.errors.size(), 2u);
    EXPECT_EQ(events.errors[0].first, kErrDatabaseNotLoaded);
    EXPECT_EQ(events.errors[0].second,
              "Unable to scan the file \"" + (tree / "a.exe").string() + "\". The virus database is not loaded.");
    EXPECT_EQ(engine.filesScanned(), 2);
    EXPECT_EQ(engine.detections(), 0);
}

}  // namespace
