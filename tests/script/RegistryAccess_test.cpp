#include "script/RegistryAccess.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "platform/RuntimeError.h"
#include "platform/linux/RegistryStore.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

using namespace std::string_literals;
using namespace vk::platform;

// Points the process registry at a store in a fresh folder for one test.
class RegistryAccessTest : public ::testing::Test {
protected:
    test::TempDir dir;
    RegistryStore store{dir.str()};
    void SetUp() override { setSystemRegistry(&store); }
    void TearDown() override { setSystemRegistry(nullptr); }

    void put(RegHandle root, std::string_view path, std::string_view name, std::uint32_t type,
             std::string_view data) {
        RegHandle h = 0;
        ASSERT_EQ(store.createKey(root, path, kKeyAllAccess, h), kErrorSuccess);
        ASSERT_EQ(store.setValue(h, name, type, data), kErrorSuccess);
        store.closeKey(h);
    }
    bool raw(RegHandle root, std::string_view path, std::string_view name, std::uint32_t& type, std::string& data) {
        RegHandle h = 0;
        if (store.openKey(root, path, kKeyRead, h) != kErrorSuccess) return false;
        long st = store.queryValue(h, name, type, data);
        store.closeKey(h);
        return st == kErrorSuccess;
    }
    bool keyExists(RegHandle root, std::string_view path) {
        RegHandle h = 0;
        if (store.openKey(root, path, kKeyRead, h) != kErrorSuccess) return false;
        store.closeKey(h);
        return true;
    }
};

TEST(NormalizeRegPathTest, Cases) {
    const std::pair<const char*, const char*> cases[] = {
        {"\\HKEY_LOCAL_MACHINE\\Software\\X", "Software\\X"},
        {"\\hkey_local_machine\\software\\x", "hkey_local_machine\\software\\x"},
        {"HKLM\\Software", "HKLM\\Software"},
        {"HKEY_CURRENT_USER\\Software", "Software"},
        {"HKEY_CLASSES_ROOT\\.txt", ".txt"},
        {"HKEY_USERS\\.DEFAULT", ".DEFAULT"},
        {"HKEY_CURRENT_CONFIG\\System", "System"},
        {"HKEY_DYN_DATA\\Config", "Config"},
        {"HKEY_PERFORMANCE_DATA\\x", "x"},
        {"HKEY_CURRENT_USER\\", ""},
        {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
        {"\\Software\\X", "Software\\X"},
        {"\\\\Software", "\\Software"},  // only one backslash goes
        {"\\", "\\"},                    // too short to lose it
        {"", ""},
        {"Software\\HKEY_LOCAL_MACHINE\\X", "Software\\HKEY_LOCAL_MACHINE\\X"},
        {"HKEY_LOCAL_MACHINE\\HKEY_LOCAL_MACHINE\\X", "HKEY_LOCAL_MACHINE\\X"},
        {"HKEY_LOCAL_MACHINEX\\Y", "HKEY_LOCAL_MACHINEX\\Y"},
    };
    for (auto [in, out] : cases) {
        std::string path = in;
        normalizeRegPath(path);
        EXPECT_EQ(path, out) << "from " << in;
    }
}

TEST_F(RegistryAccessTest, ReadsTextAndNumbersAndNothingElse) {
    put(kHkeyCurrentUser, "Software\\Read", "Sz", kRegSz, "plain\0"s);
    put(kHkeyCurrentUser, "Software\\Read", "Nul", kRegSz, "abc\0def\0"s);
    put(kHkeyCurrentUser, "Software\\Read", "NoTerm", kRegSz, "xyz"s);
    put(kHkeyCurrentUser, "Software\\Read", "", kRegSz, "default\0"s);
    put(kHkeyCurrentUser, "Software\\Read", "Dw", kRegDword, "\xfe\xff\xff\xff"s);
    put(kHkeyCurrentUser, "Software\\Read", "Exp", kRegExpandSz, "%TEMP%\0"s);
    put(kHkeyCurrentUser, "Software\\Read", "Multi", kRegMultiSz, "a\0b\0\0"s);
    put(kHkeyCurrentUser, "Software\\Read", "Bin", kRegBinary, "\x01\x02"s);
    put(kHkeyCurrentUser, "Software\\Read", "Qw", kRegQword, "\x01\0\0\0\0\0\0\0"s);
    put(kHkeyCurrentUser, "Software\\Read", "LongDw", kRegDword, "\x01\0\0\0\0"s);

    const std::pair<const char*, RegValue> cases[] = {
        {"Sz", "plain"s},   {"sz", "plain"s},  {"Nul", "abc"s},  {"NoTerm", "xyz"s}, {"", "default"s},
        {"Dw", -2},         {"Exp", ""s},      {"Multi", ""s},   {"Bin", ""s},       {"Qw", ""s},
        {"LongDw", ""s},    {"Missing", ""s},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(getRegValue(kHkeyCurrentUser, "Software\\Read", name), expected);
    }
    EXPECT_EQ(getRegValue(kHkeyCurrentUser, "\\HKEY_CURRENT_USER\\Software\\Read", "Sz"), RegValue("plain"s));
    EXPECT_EQ(getRegValue(kHkeyCurrentUser, "Software\\Nope", "Sz"), RegValue(""s));
    EXPECT_EQ(getRegValue(kHkeyLocalMachine, "Software\\Read", "Sz"), RegValue(""s));
    EXPECT_EQ(getRegValue(kHkeyPerformanceData, "Software\\Read", "Sz"), RegValue(""s));
}

TEST_F(RegistryAccessTest, WritingToAMissingKeyCreatesEveryKeyOnThePath) {
    ASSERT_FALSE(keyExists(kHkeyCurrentUser, "Software"));
    EXPECT_EQ(setRegValue("hello", kRegSz, "Software\\Deep\\Er\\Key", "Name", kHkeyCurrentUser), 0);
    for (const char* k : {"Software", "Software\\Deep", "Software\\Deep\\Er", "Software\\Deep\\Er\\Key"})
        EXPECT_TRUE(keyExists(kHkeyCurrentUser, k)) << k;
    std::uint32_t type = 0;
    std::string data;
    ASSERT_TRUE(raw(kHkeyCurrentUser, "Software\\Deep\\Er\\Key", "Name", type, data));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, "hello\0"s);
    // The root name in front is dropped, whatever root is passed.
    EXPECT_EQ(setRegValue("v", kRegSz, "HKEY_LOCAL_MACHINE\\Software\\M", "", kHkeyCurrentUser), 0);
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "Software\\M"));
    EXPECT_FALSE(keyExists(kHkeyCurrentUser, "HKEY_LOCAL_MACHINE"));
}

TEST_F(RegistryAccessTest, WritesOfEachType) {
    std::uint32_t type = 0;
    std::string data;
    const std::pair<const char*, std::string> dwords[] = {
        {"16", "\x10\0\0\0"s}, {"&H10", "\x10\0\0\0"s}, {"-1", "\xff\xff\xff\xff"s},
        {" 2.5 ", "\x02\0\0\0"s}, {"&HFFFFFFFF", "\xff\xff\xff\xff"s}, {"2147483647", "\xff\xff\xff\x7f"s},
    };
    for (const auto& [text, bytes] : dwords) {
        SCOPED_TRACE(text);
        EXPECT_EQ(setRegValue(text, kRegDword, "Software\\W", "Dw", kHkeyCurrentUser), 0);
        ASSERT_TRUE(raw(kHkeyCurrentUser, "Software\\W", "Dw", type, data));
        EXPECT_EQ(type, kRegDword);
        EXPECT_EQ(data, bytes);
        EXPECT_EQ(getRegValue(kHkeyCurrentUser, "Software\\W", "Dw"),
                  RegValue(static_cast<std::int32_t>(static_cast<unsigned char>(bytes[0]) |
                                                     static_cast<unsigned char>(bytes[1]) << 8 |
                                                     static_cast<unsigned char>(bytes[2]) << 16 |
                                                     static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24)));
    }
    // Text is written with one NUL, embedded NULs and all.
    EXPECT_EQ(setRegValue("abc\0def"s, kRegSz, "Software\\W", "Sz", kHkeyCurrentUser), 0);
    ASSERT_TRUE(raw(kHkeyCurrentUser, "Software\\W", "Sz", type, data));
    EXPECT_EQ(data, "abc\0def\0"s);
    // Other types write nothing and report success.
    for (std::uint32_t other : {kRegBinary, kRegExpandSz, kRegMultiSz, kRegNone}) {
        EXPECT_EQ(setRegValue("x", other, "Software\\W", "Other", kHkeyCurrentUser), 0);
        EXPECT_FALSE(raw(kHkeyCurrentUser, "Software\\W", "Other", type, data));
    }
}

TEST_F(RegistryAccessTest, ANumberThatIsNotOneRaisesAfterTheKeyIsMade) {
    const std::pair<const char*, long> bad[] = {{"abc", kErrTypeMismatch}, {"", kErrTypeMismatch},
                                                {"2147483648", kErrOverflow}, {"&H1FFFFFFFF", kErrOverflow}};
    for (const auto& [text, number] : bad) {
        SCOPED_TRACE(text);
        try {
            setRegValue(text, kRegDword, "Software\\Conv", "Dw", kHkeyCurrentUser);
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), number);
        }
    }
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "Software\\Conv"));
    EXPECT_EQ(store.openHandleCount(), 0u);
    // The retry guard was released by the error: the next write still retries.
    EXPECT_EQ(setRegValue("1", kRegDword, "Software\\After\\Error", "Dw", kHkeyCurrentUser), 0);
    EXPECT_EQ(getRegValue(kHkeyCurrentUser, "Software\\After\\Error", "Dw"), RegValue(1));
}

TEST_F(RegistryAccessTest, StatusCodesAreThePlatformCodePlus30061) {
    EXPECT_EQ(kRegStatusOffset, 30061);
    EXPECT_EQ(createRegKey("Software\\Fine", kHkeyCurrentUser), 0);
    EXPECT_EQ(createRegKey("\\HKEY_CURRENT_USER\\Software\\Fine2", kHkeyCurrentUser), 0);
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "Software\\Fine2"));
    EXPECT_EQ(createRegKey("Software\\" + std::string(300, 'x'), kHkeyCurrentUser), 87 + 30061);
    EXPECT_EQ(createRegKey("Software", kHkeyPerformanceData), 6 + 30061);
    EXPECT_EQ(setRegValue("x", kRegSz, "Software", "v", kHkeyPerformanceData), 6 + 30061);

    RegistryStore readOnly(dir.str(), RegistryStore::Options{true});
    setSystemRegistry(&readOnly);
    EXPECT_EQ(setRegValue("x", kRegSz, "Software\\Fine", "v", kHkeyCurrentUser), 30066);
    EXPECT_EQ(setRegValue("x", kRegSz, "Software\\Missing", "v", kHkeyCurrentUser), 30063);
    EXPECT_EQ(createRegKey("Software\\Missing", kHkeyCurrentUser), 30066);
    EXPECT_FALSE(deleteRegValue(kHkeyCurrentUser, "Software\\Fine", "v"));
    EXPECT_FALSE(deleteRegKey(kHkeyCurrentUser, "Software", "Fine"));
    EXPECT_EQ(getRegValue(kHkeyCurrentUser, "Software\\Fine", "v"), RegValue(""s));
}

// A registry that fails on demand and counts calls, for the retry rules.
class ScriptedRegistry final : public Registry {
public:
    long openResult = kErrorFileNotFound;
    long createResult = kErrorSuccess;
    long setResult = kErrorSuccess;
    int opens = 0, creates = 0, sets = 0, closes = 0;
    std::string lastCreated;

    long openKey(RegHandle, std::string_view, std::uint32_t, RegHandle& r) override {
        ++opens;
        r = 0x400;
        return openResult;
    }
    long createKey(RegHandle, std::string_view subKey, std::uint32_t, RegHandle& r) override {
        ++creates;
        lastCreated = subKey;
        r = 0x404;
        return createResult;
    }
    long closeKey(RegHandle) override {
        ++closes;
        return 0;
    }
    long queryValue(RegHandle, std::string_view, std::uint32_t&, std::string&) override { return 2; }
    long setValue(RegHandle, std::string_view, std::uint32_t, std::string_view) override {
        ++sets;
        return setResult;
    }
    long deleteValue(RegHandle, std::string_view) override { return 2; }
    long deleteKey(RegHandle, std::string_view) override { return 2; }
    long enumValue(RegHandle, std::uint32_t, std::string&, std::uint32_t&, std::string&) override { return 259; }
    long enumKey(RegHandle, std::uint32_t, std::string&) override { return 259; }
};

TEST(SetRegValueRetryTest, RetriesOnceAfterCreatingTheKey) {
    struct Case {
        const char* label;
        long open, create, set;
        long status;
        int opens, creates, sets;
    };
    const Case cases[] = {
        // The retry's own open fails again: no recursion, and it reports 0.
        {"open keeps failing", kErrorFileNotFound, kErrorSuccess, kErrorSuccess, 0, 2, 1, 0},
        {"creation fails", kErrorFileNotFound, kErrorAccessDenied, kErrorSuccess, 30063, 1, 1, 0},
        {"access denied", kErrorAccessDenied, kErrorAccessDenied, kErrorSuccess, 30066, 1, 1, 0},
        {"opens at once", kErrorSuccess, kErrorSuccess, kErrorSuccess, 0, 1, 0, 1},
        {"write fails", kErrorSuccess, kErrorSuccess, kErrorAccessDenied, 30066, 1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedRegistry reg;
        reg.openResult = c.open;
        reg.createResult = c.create;
        reg.setResult = c.set;
        setSystemRegistry(&reg);
        long status = setRegValue("v", kRegSz, "\\HKEY_CURRENT_USER\\Software\\R", "n", kHkeyCurrentUser);
        setSystemRegistry(nullptr);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(reg.opens, c.opens);
        EXPECT_EQ(reg.creates, c.creates);
        EXPECT_EQ(reg.sets, c.sets);
        if (c.creates) { EXPECT_EQ(reg.lastCreated, "Software\\R"); }
        EXPECT_EQ(reg.closes, (c.open == kErrorSuccess ? c.opens : 0) + (c.create == kErrorSuccess ? c.creates : 0));
    }
}

TEST_F(RegistryAccessTest, DeletionsReportOnlyWhetherTheKeyOpened) {
    put(kHkeyCurrentUser, "Software\\D\\Leaf", "v", kRegSz, "1\0"s);
    put(kHkeyCurrentUser, "Software\\D\\Branch\\Twig", "v", kRegSz, "1\0"s);
    put(kHkeyCurrentUser, "Software\\D", "gone", kRegSz, "1\0"s);

    EXPECT_TRUE(deleteRegValue(kHkeyCurrentUser, "Software\\D", "gone"));
    EXPECT_EQ(getRegValue(kHkeyCurrentUser, "Software\\D", "gone"), RegValue(""s));
    EXPECT_TRUE(deleteRegValue(kHkeyCurrentUser, "Software\\D", "never there"));
    EXPECT_FALSE(deleteRegValue(kHkeyCurrentUser, "Software\\Nope", "v"));
    // These two do not drop a root name in front.
    EXPECT_FALSE(deleteRegValue(kHkeyCurrentUser, "HKEY_CURRENT_USER\\Software\\D\\Leaf", "v"));
    EXPECT_FALSE(deleteRegKey(kHkeyCurrentUser, "HKEY_CURRENT_USER\\Software\\D", "Leaf"));

    EXPECT_TRUE(deleteRegKey(kHkeyCurrentUser, "Software\\D", "Leaf"));
    EXPECT_FALSE(keyExists(kHkeyCurrentUser, "Software\\D\\Leaf"));
    EXPECT_TRUE(deleteRegKey(kHkeyCurrentUser, "Software\\D", "Branch"));  // refused, still true
    EXPECT_TRUE(keyExists(kHkeyCurrentUser, "Software\\D\\Branch\\Twig"));
    EXPECT_TRUE(deleteRegKey(kHkeyCurrentUser, "Software\\D", "Missing"));
    EXPECT_FALSE(deleteRegKey(kHkeyCurrentUser, "Software\\Nope", "Leaf"));
    EXPECT_EQ(store.openHandleCount(), 0u);
}

}  // namespace
}  // namespace vk::script
