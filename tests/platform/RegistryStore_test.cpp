#include "platform/linux/RegistryStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/Utf16.h"
#include "support/TempDir.h"

namespace vk::platform {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

class RegistryStoreTest : public ::testing::Test {
protected:
    test::TempDir dir;
    RegistryStore store{dir.str()};

    RegHandle create(RegHandle root, std::string_view path, std::uint32_t access = kKeyAllAccess) {
        RegHandle h = 0;
        EXPECT_EQ(store.createKey(root, path, access, h), kErrorSuccess) << path;
        return h;
    }
    long open(RegHandle root, std::string_view path, std::uint32_t access, RegHandle& h) {
        return store.openKey(root, path, access, h);
    }
    std::string read(RegistryStore& reg, RegHandle root, std::string_view path, std::string_view name) {
        RegHandle h = 0;
        if (reg.openKey(root, path, kKeyRead, h) != kErrorSuccess) return "<no key>";
        std::uint32_t type = 0;
        std::string data;
        long st = reg.queryValue(h, name, type, data);
        reg.closeKey(h);
        return st == kErrorSuccess ? data : "<" + std::to_string(st) + ">";
    }
    std::string read(RegHandle root, std::string_view path, std::string_view name) {
        return read(store, root, path, name);
    }
    long write(RegHandle root, std::string_view path, std::string_view name, std::string_view data,
               std::uint32_t type = kRegSz) {
        RegHandle h = 0;
        if (long st = store.createKey(root, path, kKeyAllAccess, h)) return st;
        long st = store.setValue(h, name, type, data);
        store.closeKey(h);
        return st;
    }
};

TEST_F(RegistryStoreTest, RootsByTheirPublishedNumbersEachWithItsOwnFile) {
    const std::pair<RegHandle, const char*> roots[] = {
        {kHkeyClassesRoot, "HKEY_CLASSES_ROOT.reg"},
        {kHkeyCurrentUser, "HKEY_CURRENT_USER.reg"},
        {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE.reg"},
        {kHkeyUsers, "HKEY_USERS.reg"},
    };
    for (auto [root, file] : roots) {
        SCOPED_TRACE(file);
        ASSERT_EQ(write(root, "Software\\Which", "Root", file + "\0"s), kErrorSuccess);
        std::string text = test::readFile(dir / file);
        EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
        EXPECT_NE(text.find("\"Root\"=\"" + std::string(file) + "\""), std::string::npos);
    }
    for (auto [root, file] : roots) { EXPECT_EQ(read(root, "Software\\Which", "Root"), file + "\0"s); }

    RegHandle h = 0;
    for (RegHandle other : {kHkeyPerformanceData, kHkeyCurrentConfig, kHkeyDynData, RegHandle{0x1234}}) {
        EXPECT_EQ(store.openKey(other, "Software", kKeyRead, h), kErrorInvalidHandle);
        EXPECT_EQ(store.createKey(other, "Software", kKeyAllAccess, h), kErrorInvalidHandle);
    }
}

TEST_F(RegistryStoreTest, CreateMakesMissingParentsAndOpenFindsThemInAnyCase) {
    RegHandle h = create(kHkeyCurrentUser, "Software\\Vendor\\App\\Settings");
    store.closeKey(h);
    for (const char* path : {"Software", "software\\VENDOR", "SOFTWARE\\vendor\\app\\settings",
                             "Software\\\\Vendor\\App\\", "\\Software\\Vendor"}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(open(kHkeyCurrentUser, path, kKeyRead, h), kErrorSuccess);
        store.closeKey(h);
    }
    EXPECT_EQ(open(kHkeyCurrentUser, "Software\\Vendor\\Nope", kKeyRead, h), kErrorFileNotFound);
    EXPECT_EQ(open(kHkeyLocalMachine, "Software\\Vendor", kKeyRead, h), kErrorFileNotFound);
    // Relative to an opened key.
    RegHandle vendor = 0;
    ASSERT_EQ(open(kHkeyCurrentUser, "Software\\Vendor", kKeyAllAccess, vendor), kErrorSuccess);
    ASSERT_EQ(open(vendor, "App", kKeyRead, h), kErrorSuccess);
    store.closeKey(h);
    ASSERT_EQ(store.createKey(vendor, "Other\\Deep", kKeyAllAccess, h), kErrorSuccess);
    store.closeKey(h);
    ASSERT_EQ(open(kHkeyCurrentUser, "Software\\Vendor\\Other\\Deep", kKeyRead, h), kErrorSuccess);
    store.closeKey(h);
    store.closeKey(vendor);
    EXPECT_EQ(store.openHandleCount(), 0u);
}

TEST_F(RegistryStoreTest, AccessRightsOfAHandleAreEnforced) {
    store.closeKey(create(kHkeyCurrentUser, "Software\\Rights"));
    ASSERT_EQ(write(kHkeyCurrentUser, "Software\\Rights", "v", "x\0"s), kErrorSuccess);
    RegHandle readOnly = 0, queryOnly = 0, writeOnly = 0, h = 0;
    ASSERT_EQ(open(kHkeyCurrentUser, "Software\\Rights", kKeyRead, readOnly), kErrorSuccess);
    ASSERT_EQ(open(kHkeyCurrentUser, "Software\\Rights", kKeyQueryValue, queryOnly), kErrorSuccess);
    ASSERT_EQ(open(kHkeyCurrentUser, "Software\\Rights", kKeyWrite, writeOnly), kErrorSuccess);
    std::uint32_t type = 0;
    std::string data, name;

    EXPECT_EQ(store.setValue(readOnly, "v", kRegSz, "y\0"s), kErrorAccessDenied);
    EXPECT_EQ(store.deleteValue(readOnly, "v"), kErrorAccessDenied);
    EXPECT_EQ(store.createKey(readOnly, "NewChild", kKeyAllAccess, h), kErrorAccessDenied);
    EXPECT_EQ(store.deleteKey(readOnly, "Whatever"), kErrorAccessDenied);
    EXPECT_EQ(store.queryValue(readOnly, "v", type, data), kErrorSuccess);
    EXPECT_EQ(store.enumKey(queryOnly, 0, name), kErrorAccessDenied);
    EXPECT_EQ(store.queryValue(writeOnly, "v", type, data), kErrorAccessDenied);
    EXPECT_EQ(store.enumValue(writeOnly, 0, name, type, data), kErrorAccessDenied);
    EXPECT_EQ(store.setValue(writeOnly, "v", kRegSz, "z\0"s), kErrorSuccess);
    EXPECT_EQ(read(kHkeyCurrentUser, "Software\\Rights", "v"), "z\0"s);
    for (RegHandle k : {readOnly, queryOnly, writeOnly}) { EXPECT_EQ(store.closeKey(k), kErrorSuccess); }
    EXPECT_EQ(store.closeKey(readOnly), kErrorInvalidHandle);
    EXPECT_EQ(store.setValue(readOnly, "v", kRegSz, "w\0"s), kErrorInvalidHandle);
}

TEST_F(RegistryStoreTest, ValuesKeepTheirBytesTypesAndOrderAndNamesIgnoreCase) {
    RegHandle h = create(kHkeyLocalMachine, "Software\\Order");
    const std::tuple<const char*, std::uint32_t, std::string> values[] = {
        {"Zeta", kRegSz, "z\0"s}, {"", kRegSz, "default\0"s}, {"Alpha", kRegDword, "\x01\0\0\0"s},
        {"Mid", kRegBinary, "\0\xff\0"s}, {"Multi", kRegMultiSz, "a\0b\0\0"s},
    };
    for (const auto& [name, type, data] : values) { ASSERT_EQ(store.setValue(h, name, type, data), kErrorSuccess); }
    ASSERT_EQ(store.setValue(h, "ALPHA", kRegSz, "now text\0"s), kErrorSuccess);  // replaced in place

    RegistryStore fresh(dir.str());  // read back from the file
    RegHandle r = 0;
    ASSERT_EQ(fresh.openKey(kHkeyLocalMachine, "SOFTWARE\\order", kKeyRead, r), kErrorSuccess);
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
        std::string name, data;
        std::uint32_t type = 0;
        long st = fresh.enumValue(r, i, name, type, data);
        if (st == kErrorNoMoreItems) break;
        ASSERT_EQ(st, kErrorSuccess);
        names.push_back(name);
        if (name == "Alpha") {
            EXPECT_EQ(type, kRegSz);
            EXPECT_EQ(data, "now text\0"s);
        }
        if (name == "Mid") { EXPECT_EQ(data, "\0\xff\0"s); }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "", "Alpha", "Mid", "Multi"}));
    std::uint32_t type = 0;
    std::string data;
    EXPECT_EQ(fresh.queryValue(r, "multi", type, data), kErrorSuccess);
    EXPECT_EQ(type, kRegMultiSz);
    EXPECT_EQ(fresh.queryValue(r, "missing", type, data), kErrorFileNotFound);
    fresh.closeKey(r);
    store.closeKey(h);
}

TEST_F(RegistryStoreTest, SubKeysEnumerateInInsertionOrder) {
    for (const char* name : {"Run", "Explorer", "policies", "Apps"}) store.closeKey(create(kHkeyCurrentUser, "S\\"s + name));
    RegHandle h = 0;
    ASSERT_EQ(open(kHkeyCurrentUser, "s", kKeyRead, h), kErrorSuccess);
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; store.enumKey(h, i, name) == kErrorSuccess; ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Run", "Explorer", "policies", "Apps"}));
    EXPECT_EQ(store.enumKey(h, 4, name), kErrorNoMoreItems);
    store.closeKey(h);
}

TEST_F(RegistryStoreTest, DeletingKeysAndValues) {
    store.closeKey(create(kHkeyCurrentUser, "Del\\Parent\\Child"));
    ASSERT_EQ(write(kHkeyCurrentUser, "Del\\Parent", "v", "1\0"s), kErrorSuccess);
    RegHandle del = 0, parent = 0, child = 0;
    ASSERT_EQ(open(kHkeyCurrentUser, "Del", kKeyAllAccess, del), kErrorSuccess);
    ASSERT_EQ(open(kHkeyCurrentUser, "Del\\Parent", kKeyAllAccess, parent), kErrorSuccess);
    ASSERT_EQ(open(kHkeyCurrentUser, "Del\\Parent\\Child", kKeyAllAccess, child), kErrorSuccess);

    EXPECT_EQ(store.deleteKey(del, "Parent"), kErrorAccessDenied);  // has a sub-key
    EXPECT_EQ(store.deleteKey(del, "Missing"), kErrorFileNotFound);
    EXPECT_EQ(store.deleteValue(parent, "nope"), kErrorFileNotFound);
    EXPECT_EQ(store.deleteValue(parent, "V"), kErrorSuccess);
    EXPECT_EQ(read(kHkeyCurrentUser, "Del\\Parent", "v"), "<2>");
    EXPECT_EQ(store.deleteKey(del, "Parent\\CHILD"), kErrorSuccess);
    std::uint32_t type = 0;
    std::string data;
    EXPECT_EQ(store.queryValue(child, "x", type, data), kErrorKeyDeleted);  // handle outlived its key
    EXPECT_EQ(store.deleteKey(del, "Parent"), kErrorSuccess);
    EXPECT_EQ(store.deleteKey(kHkeyCurrentUser, ""), kErrorAccessDenied);  // roots stay
    RegHandle h = 0;
    EXPECT_EQ(open(kHkeyCurrentUser, "Del\\Parent", kKeyRead, h), kErrorFileNotFound);
    for (RegHandle k : {del, parent, child}) store.closeKey(k);

    RegistryStore fresh(dir.str());
    EXPECT_EQ(fresh.openKey(kHkeyCurrentUser, "Del\\Parent", kKeyRead, h), kErrorFileNotFound);
    EXPECT_EQ(fresh.openKey(kHkeyCurrentUser, "Del", kKeyRead, h), kErrorSuccess);
}

TEST_F(RegistryStoreTest, RefusesNamesTheFileCannotHold) {
    RegHandle h = 0;
    EXPECT_EQ(store.createKey(kHkeyCurrentUser, "Software\\" + std::string(256, 'k'), kKeyAllAccess, h),
              kErrorInvalidParameter);
    EXPECT_EQ(store.createKey(kHkeyCurrentUser, "Bad\nName", kKeyAllAccess, h), kErrorInvalidParameter);
    std::string deep;
    for (int i = 0; i < 513; ++i) deep += "d\\";
    EXPECT_EQ(store.createKey(kHkeyCurrentUser, deep, kKeyAllAccess, h), kErrorInvalidParameter);
    h = create(kHkeyCurrentUser, "Names");
    EXPECT_EQ(store.setValue(h, "line\r\nbreak", kRegSz, "x\0"s), kErrorInvalidParameter);
    EXPECT_EQ(store.setValue(h, std::string(16384, 'n'), kRegSz, "x\0"s), kErrorInvalidParameter);
    // A NUL ends a name, as in the ANSI calls.
    EXPECT_EQ(store.setValue(h, "cut\0here"s, kRegSz, "x\0"s), kErrorSuccess);
    store.closeKey(h);
    EXPECT_EQ(read(kHkeyCurrentUser, "Names", "cut"), "x\0"s);
}

TEST_F(RegistryStoreTest, ChangesByAnotherProcessAreSeenAndKept) {
    RegistryStore other(dir.str());
    ASSERT_EQ(write(kHkeyCurrentUser, "Shared", "mine", "1\0"s), kErrorSuccess);
    EXPECT_EQ(read(other, kHkeyCurrentUser, "Shared", "mine"), "1\0"s);
    RegHandle h = 0;
    ASSERT_EQ(other.openKey(kHkeyCurrentUser, "Shared", kKeyAllAccess, h), kErrorSuccess);
    ASSERT_EQ(other.setValue(h, "theirs", kRegSz, "2\0"s), kErrorSuccess);
    other.closeKey(h);
    EXPECT_EQ(read(kHkeyCurrentUser, "Shared", "theirs"), "2\0"s);
    // Our next write starts from their version of the file.
    ASSERT_EQ(write(kHkeyCurrentUser, "Shared", "mine", "3\0"s), kErrorSuccess);
    EXPECT_EQ(read(other, kHkeyCurrentUser, "Shared", "theirs"), "2\0"s);
    EXPECT_EQ(read(other, kHkeyCurrentUser, "Shared", "mine"), "3\0"s);
    // A hand edit of the file is picked up too.
    std::string text = test::readFile(dir / "HKEY_CURRENT_USER.reg");
    text += "\r\n[HKEY_CURRENT_USER\\Edited]\r\n\"by\"=\"hand\"\r\n";
    dir.write("HKEY_CURRENT_USER.reg", text);
    EXPECT_EQ(read(kHkeyCurrentUser, "Edited", "by"), "hand\0"s);
}

TEST_F(RegistryStoreTest, LeakedHandlesBreakNothing) {
    for (int i = 0; i < 1000; ++i) {
        RegHandle h = 0;
        ASSERT_EQ(store.createKey(kHkeyCurrentUser, "Leak", kKeyAllAccess, h), kErrorSuccess);
    }
    EXPECT_EQ(store.openHandleCount(), 1000u);
    ASSERT_EQ(write(kHkeyCurrentUser, "Leak", "v", "ok\0"s), kErrorSuccess);
    RegistryStore other(dir.str());
    EXPECT_EQ(read(other, kHkeyCurrentUser, "Leak", "v"), "ok\0"s);
    RegHandle h = 0;
    ASSERT_EQ(other.openKey(kHkeyCurrentUser, "Leak", kKeyAllAccess, h), kErrorSuccess);
    EXPECT_EQ(other.setValue(h, "w", kRegSz, "also\0"s), kErrorSuccess);
}

TEST_F(RegistryStoreTest, AUtf16ExportDroppedInIsRead) {
    std::string body =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Dropped]\r\n"
        "\"Name\"=\"Caf\xc3\xa9\"\r\n"
        "\"Path\"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\r\n"
        "\"Count\"=dword:00000003\r\n\r\n";
    dir.write("HKEY_CURRENT_USER.reg", "\xFF\xFE"s + utf8ToUtf16le(body));
    EXPECT_EQ(read(kHkeyCurrentUser, "Software\\Dropped", "Name"), "Caf\xc3\xa9\0"s);
    EXPECT_EQ(read(kHkeyCurrentUser, "Software\\Dropped", "Path"), "%TMP%\0"s);
    EXPECT_EQ(read(kHkeyCurrentUser, "Software\\Dropped", "Count"), "\x03\0\0\0"s);
    // The first change rewrites it in our UTF-8 form with everything kept.
    ASSERT_EQ(write(kHkeyCurrentUser, "Software\\Dropped", "New", "1\0"s), kErrorSuccess);
    std::string text = test::readFile(dir / "HKEY_CURRENT_USER.reg");
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
    EXPECT_NE(text.find("\"Name\"=\"Caf\xc3\xa9\""), std::string::npos);
    RegistryStore fresh(dir.str());
    EXPECT_EQ(read(fresh, kHkeyCurrentUser, "Software\\Dropped", "Path"), "%TMP%\0"s);
}

TEST_F(RegistryStoreTest, OtherHivesInARootFileAreKeptButNotServed) {
    dir.write("HKEY_CURRENT_USER.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Mine]\r\n\"v\"=\"user\"\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Stray]\r\n\"v\"=\"machine\"\r\n");
    EXPECT_EQ(read(kHkeyCurrentUser, "Software\\Mine", "v"), "user\0"s);
    EXPECT_EQ(read(kHkeyLocalMachine, "Software\\Stray", "v"), "<no key>");  // HKLM has a file of its own
    ASSERT_EQ(write(kHkeyCurrentUser, "Software\\Mine", "w", "2\0"s), kErrorSuccess);
    std::string text = test::readFile(dir / "HKEY_CURRENT_USER.reg");
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Stray]\r\n\"v\"=\"machine\"\r\n"), std::string::npos);
}

TEST_F(RegistryStoreTest, LinesNotUnderstoodSurviveChangesNextToThem) {
    dir.write("HKEY_LOCAL_MACHINE.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Half]\r\n"
              "\"Good\"=\"kept\"\r\n"
              "\"Broken\"=\"no end\r\n"
              "\"Also\"=dword:00000001\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
              "\"x\"=\"y\"\r\n");
    EXPECT_FALSE(store.rootDamaged(kHkeyLocalMachine));
    EXPECT_EQ(read(kHkeyLocalMachine, "Software\\Half", "Good"), "kept\0"s);
    ASSERT_EQ(write(kHkeyLocalMachine, "Software\\Half", "Good", "changed\0"s), kErrorSuccess);
    ASSERT_EQ(write(kHkeyLocalMachine, "Software\\Half", "New", "added\0"s), kErrorSuccess);
    std::string text = test::readFile(dir / "HKEY_LOCAL_MACHINE.reg");
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Half]\r\n\"Good\"=\"changed\"\r\n\"Also\"=dword:00000001\r\n"
                        "\"New\"=\"added\"\r\n\"Broken\"=\"no end\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]"),
              std::string::npos)
        << text;
    // A second store reading the rewritten file sees the same.
    RegistryStore other(dir.str());
    EXPECT_EQ(read(other, kHkeyLocalMachine, "Software\\Half", "Good"), "changed\0"s);
    EXPECT_EQ(read(other, kHkeyLocalMachine, "Software\\Other", "x"), "y\0"s);
}

struct RefusalRecorder : RegistryStoreListener {
    std::vector<std::pair<std::string, std::string>> refusals;
    void writeRefused(const std::string& file, const std::string& reason) override {
        refusals.emplace_back(file, reason);
    }
};

TEST_F(RegistryStoreTest, AFileThatCannotBeRewrittenSoundlyRefusesWritesAndSaysWhy) {
    // No header: perhaps no registry file at all.
    std::string text =
        "[HKEY_LOCAL_MACHINE\\Software\\Half]\r\n"
        "\"Good\"=\"kept\"\r\n";
    dir.write("HKEY_LOCAL_MACHINE.reg", text);
    RefusalRecorder recorder;
    store.setListener(&recorder);
    EXPECT_TRUE(store.rootDamaged(kHkeyLocalMachine));
    EXPECT_EQ(read(kHkeyLocalMachine, "Software\\Half", "Good"), "kept\0"s);
    RegHandle h = 0;
    EXPECT_EQ(open(kHkeyLocalMachine, "Software\\Half", kKeyAllAccess, h), kErrorAccessDenied);
    EXPECT_EQ(store.createKey(kHkeyLocalMachine, "Software\\New", kKeyAllAccess, h), kErrorAccessDenied);
    EXPECT_EQ(test::readFile(dir / "HKEY_LOCAL_MACHINE.reg"), text);
    ASSERT_EQ(recorder.refusals.size(), 1u);  // once per root and reason
    EXPECT_EQ(recorder.refusals[0].first, (dir / "HKEY_LOCAL_MACHINE.reg").string());
    EXPECT_NE(recorder.refusals[0].second.find("header"), std::string::npos) << recorder.refusals[0].second;
    EXPECT_EQ(store.readOnlyReason(kHkeyLocalMachine), recorder.refusals[0].second);
    // Other roots are unaffected.
    EXPECT_EQ(write(kHkeyCurrentUser, "Software\\Fine", "v", "1\0"s), kErrorSuccess);
    EXPECT_EQ(store.readOnlyReason(kHkeyCurrentUser), "");
    // Once repaired by hand, writes work again.
    dir.write("HKEY_LOCAL_MACHINE.reg", "Windows Registry Editor Version 5.00\r\n");
    EXPECT_FALSE(store.rootDamaged(kHkeyLocalMachine));
    EXPECT_EQ(write(kHkeyLocalMachine, "Software\\New", "v", "1\0"s), kErrorSuccess);
    store.setListener(nullptr);
}

TEST_F(RegistryStoreTest, ReadOnlyStoreServesReadsOnly) {
    ASSERT_EQ(write(kHkeyCurrentUser, "Software\\Ro", "v", "1\0"s), kErrorSuccess);
    RegistryStore ro(dir.str(), RegistryStore::Options{true});
    EXPECT_EQ(read(ro, kHkeyCurrentUser, "Software\\Ro", "v"), "1\0"s);
    RegHandle h = 0;
    EXPECT_EQ(ro.openKey(kHkeyCurrentUser, "Software\\Ro", kKeyAllAccess, h), kErrorAccessDenied);
    EXPECT_EQ(ro.openKey(kHkeyCurrentUser, "Software\\Ro", 0x02000000 /*MAXIMUM_ALLOWED*/, h), kErrorSuccess);
    EXPECT_EQ(ro.setValue(h, "v", kRegSz, "2\0"s), kErrorAccessDenied);
    EXPECT_EQ(ro.setValue(kHkeyCurrentUser, "root", kRegSz, "2\0"s), kErrorAccessDenied);
    EXPECT_EQ(ro.createKey(kHkeyCurrentUser, "Software\\Ro", kKeyRead, h), kErrorSuccess);  // exists: opens
    EXPECT_EQ(ro.createKey(kHkeyCurrentUser, "Software\\Other", kKeyRead, h), kErrorAccessDenied);
}

TEST(RegistryStorePlacesTest, AFolderThatIsAFileOrARootThatIsAFolderRefusesWrites) {
    test::TempDir dir;
    dir.write("notafolder", "x");
    RegistryStore onFile((dir / "notafolder").string());
    RegHandle h = 0;
    EXPECT_EQ(onFile.createKey(kHkeyCurrentUser, "Software", kKeyAllAccess, h), kErrorAccessDenied);
    EXPECT_EQ(onFile.openKey(kHkeyCurrentUser, "Software", kKeyRead, h), kErrorFileNotFound);
    EXPECT_EQ(onFile.openKey(kHkeyCurrentUser, "", kKeyRead, h), kErrorSuccess);

    fs::create_directories(dir / "reg" / "HKEY_USERS.reg");
    RegistryStore store((dir / "reg").string());
    EXPECT_TRUE(store.rootDamaged(kHkeyUsers));
    EXPECT_EQ(store.createKey(kHkeyUsers, "S-1-5", kKeyAllAccess, h), kErrorAccessDenied);
    EXPECT_EQ(store.createKey(kHkeyCurrentUser, "Software", kKeyAllAccess, h), kErrorSuccess);

    RegistryStore inProc("/proc/self/vandrelkast-registry");
    EXPECT_EQ(inProc.createKey(kHkeyCurrentUser, "Software", kKeyAllAccess, h), kErrorAccessDenied);
}

// Permission bits only stop a process that is not root: drop to nobody in a child.
TEST(RegistryStorePlacesTest, AFolderThisUserMayNotWriteIsReadOnly) {
    test::TempDir dir;
    {
        RegistryStore store(dir.str());
        RegHandle h = 0;
        ASSERT_EQ(store.createKey(kHkeyCurrentUser, "Software\\Locked", kKeyAllAccess, h), kErrorSuccess);
        ASSERT_EQ(store.setValue(h, "v", kRegSz, "kept\0"s), kErrorSuccess);
    }
    std::string before = test::readFile(dir / "HKEY_CURRENT_USER.reg");
    ::chmod(dir.str().c_str(), 0555);
    ::chmod((dir / "HKEY_CURRENT_USER.reg").c_str(), 0444);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        RegistryStore store(dir.str());
        int failures = 0;
        RegHandle h = 0;
        std::uint32_t type = 0;
        std::string data;
        if (store.openKey(kHkeyCurrentUser, "Software\\Locked", kKeyRead, h) != kErrorSuccess) failures |= 1;
        if (store.queryValue(h, "v", type, data) != kErrorSuccess || data != "kept\0"s) failures |= 2;
        if (store.setValue(kHkeyCurrentUser, "x", kRegSz, "y\0"s) != kErrorAccessDenied) failures |= 4;
        if (store.openKey(kHkeyCurrentUser, "Software\\Locked", kKeyAllAccess, h) != kErrorAccessDenied) failures |= 8;
        if (store.createKey(kHkeyCurrentUser, "Software\\New", kKeyAllAccess, h) != kErrorAccessDenied) failures |= 16;
        ::_exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::chmod(dir.str().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 100) << "could not drop privileges";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::readFile(dir / "HKEY_CURRENT_USER.reg"), before);
}

TEST(RegistryStorePlacesTest, DefaultFolderFollowsTheEnvironment) {
    {
        test::ScopedEnv reg("VANDRELKAST_REGISTRY", "/srv/reg");
        EXPECT_EQ(RegistryStore::defaultFolder(), "/srv/reg");
    }
    test::ScopedEnv reg("VANDRELKAST_REGISTRY", nullptr);
    {
        test::ScopedEnv xdg("XDG_DATA_HOME", "/data");
        EXPECT_EQ(RegistryStore::defaultFolder(), "/data/vandrelkast/registry");
    }
    test::ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    test::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(RegistryStore::defaultFolder(), "/home/someone/.local/share/vandrelkast/registry");
}

TEST(RegistryStorePlacesTest, ASymlinkedRootFileStaysALink) {
    test::TempDir dir;
    fs::create_directories(dir / "reg");
    dir.write("elsewhere/HKCU.reg", "Windows Registry Editor Version 5.00\r\n");
    fs::create_symlink(dir / "elsewhere" / "HKCU.reg", dir / "reg" / "HKEY_CURRENT_USER.reg");
    RegistryStore store((dir / "reg").string());
    RegHandle h = 0;
    ASSERT_EQ(store.createKey(kHkeyCurrentUser, "Linked", kKeyAllAccess, h), kErrorSuccess);
    EXPECT_TRUE(fs::is_symlink(dir / "reg" / "HKEY_CURRENT_USER.reg"));
    EXPECT_NE(test::readFile(dir / "elsewhere" / "HKCU.reg").find("[HKEY_CURRENT_USER\\Linked]"), std::string::npos);
}

TEST(RegistryStorePlacesTest, SystemRegistryCanBeReplaced) {
    test::TempDir dir;
    RegistryStore mine(dir.str());
    Registry& before = systemRegistry();
    setSystemRegistry(&mine);
    EXPECT_EQ(&systemRegistry(), &mine);
    setSystemRegistry(nullptr);
    EXPECT_EQ(&systemRegistry(), &before);
    EXPECT_NE(&systemRegistry(), static_cast<Registry*>(&mine));
}

}  // namespace
}  // namespace vk::platform
