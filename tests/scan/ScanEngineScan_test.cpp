#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>

#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "scan/DatabaseFile.h"
#include "scan/Quarantine.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"
#include "scan/SignatureDatabase.h"
#include "scan/SignatureIndex.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

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
    std::vector<std::string> notScanned;
    std::vector<DetectionOutcome> outcomes;
    std::vector<std::pair<std::int32_t, std::string>> errors;
    std::function<void(const std::string&, DetectionAction&)> answer = [](const std::string&, DetectionAction& a) {
        a = DetectionAction::Ignore;
    };
    std::function<void(const std::string&)> onProgress;
    void scanningProgress(const std::string& f) override {
        scanned.push_back(f);
        if (onProgress) onProgress(f);
    }
    void virusDetected(const std::string& f, const std::string& name, DetectionAction& action) override {
        detected.push_back(name + "@" + f);
        answer(f, action);
    }
    void detectionHandled(const std::string&, const std::string&, const DetectionOutcome& outcome) override {
        outcomes.push_back(outcome);
    }
    void fileNotScanned(const std::string& path, const std::string& reason) override {
        notScanned.push_back(path + ": " + reason);
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
    std::vector<std::uint8_t> window;  // reused from file to file, as the engine does
    for (int round = 0; round < 200; ++round) {
        std::uniform_int_distribution<int> sym(0, 2 + round % 4);
        auto randomText = [&](int n) {
            std::string s;
            for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('a' + sym(rng)));
            return s;
        };
        std::vector<std::string> files;
        for (int i = 0; i < 12; ++i) files.push_back(randomText(1 + static_cast<int>(rng() % 400)));
        // Large enough to slide the read window several times, with hits across piece boundaries.
        std::string big = randomText(round % 50 == 0 ? 700000 : 200000);
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
            SignatureIndex::Pass pass(index, window, nullptr);
            for (std::size_t fed = 0; fed < f.size();) {
                auto space = pass.space();
                std::size_t n = std::min<std::size_t>({space.size(), f.size() - fed, 1 + rng() % 70000});
                std::memcpy(space.data(), data + fed, n);
                pass.commit(n);
                fed += n;
            }
            ASSERT_EQ(pass.bytesSeen(), f.size());
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
    engine.setNeutralizeMethods(DetectionAction::Ignore);
    scanTree();
    EXPECT_EQ(engine.detections(), 1);
    ASSERT_EQ(engine.farwatchLog().size(), 1u);
    EXPECT_EQ(engine.farwatchLog()[0].virusName, "Second.Listed");
    EXPECT_EQ(engine.farwatchLog()[0].path, at("a.exe"));
    EXPECT_EQ(engine.filesHealed() + engine.filesDeleted() + engine.filesRenamed(), 0);
    EXPECT_TRUE(events.detected.empty());  // no action and no question
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
    engine.setNeutralizeMethods(DetectionAction::Ignore);
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

TEST_F(Scan, ActionsHealDeleteRenameAndAskCountOnlyWhatWasDone) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    struct Case {
        DetectionAction method;
        bool existsAfter;
        bool virExistsAfter;
    };
    for (Case c : {Case{DetectionAction::Heal, false, false}, Case{DetectionAction::Delete, false, false},
                   Case{DetectionAction::Rename, false, true}}) {
        SCOPED_TRACE(static_cast<int>(c.method));
        TempDir dir;
        auto f = dir.write("x.exe", kVirus);
        ::chmod(f.c_str(), 0444);
        engine.resetScanningStatistics();
        engine.setNeutralizeMethods(c.method);
        engine.scanFile(f.string());
        EXPECT_EQ(std::filesystem::exists(f), c.existsAfter);
        EXPECT_EQ(std::filesystem::exists(f.string() + ".vir"), c.virExistsAfter);
        EXPECT_EQ(engine.filesHealed(), c.method == DetectionAction::Heal ? 1 : 0);
        EXPECT_EQ(engine.filesDeleted(), c.method == DetectionAction::Delete ? 1 : 0);
        EXPECT_EQ(engine.filesRenamed(), c.method == DetectionAction::Rename ? 1 : 0);
        EXPECT_TRUE(engine.failedActions().empty());
    }

    // An earlier .vir is never replaced; the failed rename is listed, not counted.
    TempDir dir;
    auto f = dir.write("x.exe", kVirus);
    dir.write("x.exe.vir", "earlier quarantine");
    engine.resetScanningStatistics();
    engine.scanFile(f.string());
    EXPECT_TRUE(std::filesystem::exists(f));
    EXPECT_EQ(readFile(dir / "x.exe.vir"), "earlier quarantine");
    EXPECT_EQ(engine.filesRenamed(), 0);
    EXPECT_EQ(engine.detections(), 1);
    EXPECT_EQ(engine.failedActions(), std::vector<std::string>{f.string()});
    ASSERT_FALSE(events.outcomes.empty());
    EXPECT_FALSE(events.outcomes.back().succeeded);

    // Ask: the handler's answer is the action.
    engine.setNeutralizeMethods(DetectionAction::Ask);
    events.answer = [](const std::string&, DetectionAction& a) { a = DetectionAction::Delete; };
    engine.resetScanningStatistics();
    engine.scanFile(f.string());
    EXPECT_FALSE(std::filesystem::exists(f));
    EXPECT_EQ(engine.filesDeleted(), 1);
    EXPECT_EQ(events.detected.back(), "Marker@" + f.string());
}

TEST_F(Scan, AFileAlreadyEndingInVirIsReportedButNotRenamedAgain) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    engine.setNeutralizeMethods(DetectionAction::Rename);
    for (const char* name : {"eicar.com.vir", "OLD.VIR"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        auto f = dir.write(name, kVirus);
        engine.resetScanningStatistics();
        engine.scanFilesInFolder(dir.str());
        EXPECT_EQ(engine.detections(), 1);
        EXPECT_EQ(engine.filesRenamed(), 0);
        EXPECT_TRUE(std::filesystem::exists(f));
        EXPECT_FALSE(std::filesystem::exists(f.string() + ".vir"));
        EXPECT_TRUE(engine.failedActions().empty());
    }
}

TEST_F(Scan, AFailedActionIsNotCountedAndNamesTheFile) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    // The write-protected stick: a folder the scanning user may read but not change.
    vk::test::openToEveryone(tree.str());
    auto f = tree.write("stick/worm.exe", kVirus);
    ::chmod((tree / "stick").c_str(), 0555);
    ::chmod(f.c_str(), 0444);
    struct Case {
        DetectionAction action;
        std::int32_t (ScanEngine::*counter)() const;
    };
    for (Case c : {Case{DetectionAction::Delete, &ScanEngine::filesDeleted},
                   Case{DetectionAction::Heal, &ScanEngine::filesHealed},
                   Case{DetectionAction::Rename, &ScanEngine::filesRenamed}}) {
        SCOPED_TRACE(static_cast<int>(c.action));
        engine.setNeutralizeMethods(c.action);
        auto run = vk::test::runUnprivileged([&] {
            engine.resetScanningStatistics();
            scanTree();
            std::string out = std::to_string(engine.detections()) + " " + std::to_string((engine.*c.counter)());
            for (const auto& p : engine.failedActions()) out += "\n" + p;
            return out;
        });
        if (run.cannotDrop) GTEST_SKIP() << run.why;
        ASSERT_TRUE(run.ran) << run.why;
        EXPECT_EQ(run.output, "1 0\n" + f.string());
        EXPECT_TRUE(std::filesystem::exists(f));
    }
}

TEST_F(Scan, AFolderSwappedForALinkWhileAskingLeavesTheFileOutsideAlone) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    for (DetectionAction action : {DetectionAction::Delete, DetectionAction::Rename}) {
        SCOPED_TRACE(static_cast<int>(action));
        TempDir root, outside;
        auto inTree = root.write("sub/x.exe", kVirus);
        // Outside the tree, the same file by a hard link, so that a check of
        // the file's identity alone would pass.
        auto victim = outside / "x.exe";
        std::filesystem::create_hard_link(inTree, victim);
        events.answer = [&](const std::string&, DetectionAction& a) {
            std::filesystem::rename(root / "sub", root / "moved");
            std::filesystem::create_directory_symlink(outside.path(), root / "sub");
            a = action;
        };
        engine.resetScanningStatistics();
        engine.scanFilesInFolder(root.str());
        engine.scanFolder(root.str(), true);
        EXPECT_EQ(engine.detections(), 1);
        EXPECT_TRUE(std::filesystem::exists(victim));
        EXPECT_FALSE(std::filesystem::exists(outside / "x.exe.vir"));
        EXPECT_EQ(readFile(victim), kVirus);
        // The folder the walk read is the one now called "moved": the action went there.
        EXPECT_FALSE(std::filesystem::exists(root / "moved/x.exe"));
    }
}

TEST_F(Scan, AFileFiveThousandFoldersDownIsFound) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    engine.setNeutralizeMethods(DetectionAction::Ignore);
    constexpr int kDepth = 5000;
    // Made and removed through descriptors: the path is far beyond PATH_MAX.
    int fd = ::open(tree.str().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0) << i;
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0) << i;
        fd = next;
    }
    int file = ::openat(fd, "deep.exe", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, kVirus.data(), kVirus.size()), static_cast<ssize_t>(kVirus.size()));
    ::close(file);
    ::close(fd);
    tree.write("e/clean.exe", "clean");

    scanTree();
    EXPECT_EQ(engine.detections(), 1);
    ASSERT_EQ(engine.farwatchLog().size(), 1u);
    const std::string& path = engine.farwatchLog()[0].path;
    EXPECT_GT(path.size(), 4096u);
    EXPECT_EQ(path.substr(path.size() - 11), "/d/deep.exe");
    EXPECT_EQ(path, tree.str() + [] {
        std::string p;
        for (int i = 0; i < kDepth; ++i) p += "/d";
        return p;
    }() + "/deep.exe");
    // The walk came back up and went on with the rest of the tree.
    EXPECT_NE(std::find(events.scanned.begin(), events.scanned.end(), at("e/clean.exe")), events.scanned.end());
    EXPECT_TRUE(events.notScanned.empty());

    // Peel the chain off from the top, one level at a time.
    int top = ::open(tree.str().c_str(), O_RDONLY | O_DIRECTORY);
    while (::renameat(top, "d", top, "peel") == 0) {
        int peel = ::openat(top, "peel", O_RDONLY | O_DIRECTORY);
        ::renameat(peel, "d", top, "d");
        ::unlinkat(peel, "deep.exe", 0);
        ::close(peel);
        ::unlinkat(top, "peel", AT_REMOVEDIR);
    }
    ::close(top);
}

TEST_F(Scan, WhatCannotBeReadIsReportedNotPassedAsClean) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    vk::test::openToEveryone(tree.str());
    auto secret = tree.write("secret.exe", kVirus);
    ::chmod(secret.c_str(), 0600);
    tree.write("closed/inside.exe", kVirus);
    ::chmod((tree / "closed").c_str(), 0700);
    tree.write("open/ok.exe", "clean");
    auto run = vk::test::runUnprivileged([&] {
        engine.resetScanningStatistics();
        events.notScanned.clear();
        scanTree();
        std::string out = std::to_string(engine.filesScanned()) + " " + std::to_string(engine.filesNotScanned());
        std::sort(events.notScanned.begin(), events.notScanned.end());
        for (const auto& n : events.notScanned) out += "\n" + n;
        return out;
    });
    if (run.cannotDrop) GTEST_SKIP() << run.why;
    ASSERT_TRUE(run.ran) << run.why;
    EXPECT_EQ(run.output, "1 2\n" + at("closed") + ": Permission denied\n" + secret.string() + ": Permission denied");
}

TEST_F(Scan, StopAtTheQuestionLeavesTheFileAndEntersNothingMore) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    auto first = tree.write("a/x.exe", kVirus);
    tree.write("b/y.exe", kVirus);
    tree.write("c/z.exe", "clean");
    events.answer = [&](const std::string&, DetectionAction& a) {
        engine.setStopScanningProcess(true);  // Ctrl-C at the prompt
        a = DetectionAction::Delete;
    };
    engine.setStopScanningProcess(false);
    scanTree();
    EXPECT_EQ(engine.detections(), 1);
    EXPECT_EQ(engine.filesDeleted(), 0);
    EXPECT_EQ(events.scanned.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(first));
}

TEST_F(Scan, ALargeFileIsStreamedAndMatchedAcrossPieces) {
    const std::string whole(3 * 1048576 + 5, 'q');
    load({byString("Marker", "VKTEST-PAYLOAD"), byChecksum("Whole", whole)});
    engine.setFilterFiles(false);
    engine.setNeutralizeMethods(DetectionAction::Ignore);
    // The marker straddles the boundary of two reads.
    std::string big(3 * 1048576, 'z');
    big.replace(SignatureIndex::Pass::kPiece * 5 - 7, 14, "VKTEST-PAYLOAD");
    tree.write("big.bin", big);
    tree.write("whole.bin", whole);
    engine.scanFilesInFolder(tree.str());
    EXPECT_EQ(engine.detections(), 2);
    EXPECT_EQ(engine.bytesScanned(), big.size() + whole.size());
}

TEST_F(Scan, HealAndDeleteKeepACopyThatRestoresByteForByteWithItsOwner) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    TempDir data;
    auto quarantine = std::make_shared<Quarantine>((data / "quarantine").string(), 64 * 1048576);
    engine.setQuarantine(quarantine);
    // Several chunks of arbitrary bytes.
    std::string body;
    std::mt19937 rng(7);
    for (int i = 0; i < 700000; ++i) body.push_back(static_cast<char>(rng()));
    body += "VKTEST-PAYLOAD";
    auto f = tree.write("dir/worm.exe", body);
    ::chmod(f.c_str(), 0640);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0);
    }
    struct stat before;
    ASSERT_EQ(::stat(f.c_str(), &before), 0);

    engine.setNeutralizeMethods(DetectionAction::Heal);
    engine.scanFile(f.string());
    ASSERT_FALSE(std::filesystem::exists(f));
    EXPECT_EQ(engine.filesHealed(), 1);
    auto items = quarantine->list();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].path, f.string());
    EXPECT_EQ(items[0].detection, "Marker");
    EXPECT_EQ(items[0].size, body.size());
    EXPECT_EQ(items[0].owner, before.st_uid);
    ASSERT_FALSE(events.outcomes.empty());
    EXPECT_EQ(events.outcomes.back().quarantineId, items[0].id);
    // Nothing in the quarantine shows what it was, and nothing can be run.
    for (const auto& entry : std::filesystem::directory_iterator(data / "quarantine")) {
        EXPECT_EQ(readFile(entry.path()).find("VKTEST-PAYLOAD"), std::string::npos) << entry.path();
        struct stat st;
        ASSERT_EQ(::stat(entry.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0111, 0u) << entry.path();
    }
    engine.resetScanningStatistics();
    engine.scanFilesInFolder((data / "quarantine").string());
    EXPECT_EQ(engine.detections(), 0);

    // Restored: the same bytes, owner and mode; never over a file that is there now.
    tree.write("dir/worm.exe", "a new file of that name");
    EXPECT_NE(quarantine->restore(items[0].id), "");
    EXPECT_EQ(readFile(f), "a new file of that name");
    std::filesystem::remove(f);
    EXPECT_EQ(quarantine->restore(items[0].id), "");
    EXPECT_EQ(readFile(f), body);
    struct stat after;
    ASSERT_EQ(::stat(f.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_TRUE(quarantine->list().empty());
    EXPECT_NE(quarantine->restore("../../etc/passwd"), "");
}

TEST_F(Scan, TheQuarantineDropsTheOldestBeyondItsLimit) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    engine.setFilterFiles(false);
    engine.setNeutralizeMethods(DetectionAction::Delete);
    TempDir data;
    auto quarantine = std::make_shared<Quarantine>((data / "q").string(), 2500);
    engine.setQuarantine(quarantine);
    for (int i = 0; i < 3; ++i) {
        std::string name = "f" + std::to_string(i) + ".exe";
        tree.write(name, std::string(1000, static_cast<char>('a' + i)) + kVirus);
        engine.scanFile(at(name.c_str()));
    }
    auto items = quarantine->list();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].path, at("f1.exe"));
    EXPECT_EQ(items[1].path, at("f2.exe"));
    // Larger than the whole limit: nothing can be kept, so nothing is deleted.
    auto big = tree.write("big.exe", std::string(3000, 'x') + kVirus);
    engine.resetScanningStatistics();
    engine.scanFile(big.string());
    EXPECT_TRUE(std::filesystem::exists(big));
    EXPECT_EQ(engine.filesDeleted(), 0);
    EXPECT_EQ(engine.failedActions(), std::vector<std::string>{big.string()});
    EXPECT_EQ(quarantine->purge(), "");
    EXPECT_TRUE(quarantine->list().empty());
}

TEST_F(Scan, AnEntrySwappedWhileAskingIsLeftAlone) {
    load({byString("Marker", "VKTEST-PAYLOAD")});
    auto f = tree.write("x.exe", kVirus);
    tree.write("innocent", "user data");
    events.answer = [&](const std::string& path, DetectionAction& a) {
        std::filesystem::rename(tree / "innocent", path);
        a = DetectionAction::Delete;
    };
    engine.scanFile(f.string());
    EXPECT_EQ(readFile(f), "user data");
    EXPECT_EQ(engine.filesDeleted(), 0);
    EXPECT_EQ(engine.failedActions(), std::vector<std::string>{f.string()});
}

TEST_F(Scan, ZeroLengthFilesAreCountedButNeverMatch) {
    load({byChecksum("EmptyCrc", "", ""), byString("Marker", "VKTEST-PAYLOAD")});
    tree.write("empty.exe", "");
    engine.setNeutralizeMethods(DetectionAction::Delete);
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
    engine.setNeutralizeMethods(DetectionAction::Ignore);
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
    engine.setNeutralizeMethods(DetectionAction::Delete);
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
