#include "platform/linux/RegFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/Utf16.h"

namespace vk::platform {
namespace {

using namespace std::string_literals;

std::string bytesOf(const RegKeyNode* key, std::string_view name, std::uint32_t* type = nullptr) {
    if (!key) return "<no key>";
    const RegValueEntry* v = key->findValue(name);
    if (!v) return "<no value>";
    if (type) *type = v->type;
    return v->data;
}

const RegKeyNode* keyAt(const RegDocument& doc, std::string_view hive, std::initializer_list<std::string_view> path) {
    const RegKeyNode* node = doc.findHive(hive);
    for (auto p : path) {
        if (!node) return nullptr;
        node = node->findSubKey(p);
    }
    return node;
}

struct TypedValue {
    const char* label;
    std::string name;
    std::uint32_t type;
    std::string data;
    const char* expectedLine;  // how the writer spells it, "" when not checked
};

std::vector<TypedValue> everyKindOfValue() {
    std::string longBinary;
    for (int i = 0; i < 300; ++i) longBinary.push_back(static_cast<char>(i * 7));
    return {
        {"plain sz", "Plain", 1, "hello world\0"s, "\"Plain\"=\"hello world\""},
        {"sz with quotes and backslashes", "Path", 1, "C:\\Program Files\\\"x\"\0"s,
         "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\""},
        {"sz embedded nul", "Nul", 1, "abc\0def\0"s, "\"Nul\"=hex(1):61,00,62,00,63,00,00,00,64,00,65,00,66,00,00,00"},
        {"sz without terminator", "NoTerm", 1, "abc"s, "\"NoTerm\"=hex(1):61,00,62,00,63,00"},
        {"sz empty data", "Empty", 1, ""s, "\"Empty\"=hex(1):"},
        {"sz only nul", "JustNul", 1, "\0"s, "\"JustNul\"=\"\""},
        {"sz line break", "Lines", 1, "a\r\nb\0"s, "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00"},
        {"sz utf8 in hex form", "Umlaut", 1, "\xc3\xa4\n\0"s, "\"Umlaut\"=hex(1):e4,00,0a,00,00,00"},
        {"sz utf8", "Gr\xc3\xbc\xc3\x9f" "e", 1, "\xc3\xa4\xc3\xb6\0"s, ""},
        {"expand sz", "Exp", 2, "%SystemRoot%\\x\0"s, ""},
        {"multi sz", "Multi", 7, "a\0bc\0\0"s, "\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00"},
        {"expand sz in hex form", "ExpHex", 2, "%A%\0"s, "\"ExpHex\"=hex(2):25,00,41,00,25,00,00,00"},
        {"binary long", "Bin", 3, longBinary, ""},
        {"binary empty", "BinEmpty", 3, ""s, "\"BinEmpty\"=hex:"},
        {"dword", "Dw", 4, "\x2a\0\0\0"s, "\"Dw\"=dword:0000002a"},
        {"dword high bit", "DwNeg", 4, "\xff\xff\xff\xff"s, "\"DwNeg\"=dword:ffffffff"},
        {"dword short", "DwShort", 4, "\x01\x02\x03"s, "\"DwShort\"=hex(4):01,02,03"},
        {"dword big endian", "Be", 5, "\0\0\0\x01"s, "\"Be\"=hex(5):00,00,00,01"},
        {"qword", "Qw", 11, "\x01\x02\x03\x04\x05\x06\x07\x08"s, "\"Qw\"=hex(b):01,02,03,04,05,06,07,08"},
        {"none", "None", 0, ""s, "\"None\"=hex(0):"},
        {"odd type", "Odd", 0x12345678, "\x00\xff"s, "\"Odd\"=hex(12345678):00,ff"},
        {"default value", "", 1, "dflt\0"s, "@=\"dflt\""},
        {"name with quote and backslash", "a\"b\\c", 1, "v\0"s, "\"a\\\"b\\\\c\"=\"v\""},
        {"name at sign", "@", 1, "at\0"s, "\"@\"=\"at\""},
        {"name with nul byte", "x\0y"s, 3, "\x01"s, ""},
    };
}

TEST(RegFileTest, EveryValueTypeRoundTripsByteForByte) {
    RegDocument doc;
    RegKeyNode& key = doc.ensureHive("HKEY_CURRENT_USER").ensureSubKey("Software").ensureSubKey("Kinds");
    auto values = everyKindOfValue();
    for (const auto& v : values) key.setValue(v.name, v.type, v.data);

    std::string text = writeRegText(doc);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\n[HKEY_CURRENT_USER\\Software\\Kinds]\r\n"), std::string::npos);
    for (const auto& v : values) {
        SCOPED_TRACE(v.label);
        if (*v.expectedLine) { EXPECT_NE(text.find("\r\n"s + v.expectedLine + "\r\n"), std::string::npos) << text; }
    }

    RegDocument back = parseRegText(text);
    EXPECT_FALSE(back.damaged);
    const RegKeyNode* kinds = keyAt(back, "HKEY_CURRENT_USER", {"Software", "Kinds"});
    ASSERT_NE(kinds, nullptr);
    ASSERT_EQ(kinds->values().size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(values[i].label);
        EXPECT_EQ(kinds->values()[i].name, values[i].name);
        EXPECT_EQ(kinds->values()[i].type, values[i].type);
        EXPECT_EQ(kinds->values()[i].data, values[i].data);
    }
    EXPECT_EQ(writeRegText(back), text);
}

TEST(RegFileTest, LongHexDataIsWrappedLikeRegedit) {
    RegDocument doc;
    doc.ensureHive("HKEY_LOCAL_MACHINE").setValue("Blob", 3, std::string(500, '\xab'));
    std::string text = writeRegText(doc);
    std::size_t start = text.find("\"Blob\"=hex:");
    ASSERT_NE(start, std::string::npos);
    std::string_view rest(text.data() + start, text.size() - start);
    int lines = 0;
    while (!rest.empty()) {
        std::size_t eol = rest.find("\r\n");
        std::string_view line = rest.substr(0, eol);
        EXPECT_LE(line.size(), 80u);
        if (lines > 0) { EXPECT_EQ(line.substr(0, 2), "  "); }
        ++lines;
        if (line.empty() || line.back() != '\\') break;
        EXPECT_EQ(line[line.size() - 2], ',');
        rest.remove_prefix(eol + 2);
    }
    EXPECT_GT(lines, 10);
}

// What regedit writes: UTF-16LE with a BOM and CRLF, string data in hex() form as UTF-16LE.
std::string regeditExport(std::string_view utf8Body) { return "\xFF\xFE"s + utf8ToUtf16le(utf8Body); }

constexpr std::string_view kExportBody =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
    "@=\"Standard\"\r\n"
    "\"Str\"=\"Gr\xc3\xbc\xc3\x9f" "e \\\"q\\\" C:\\\\x\"\r\n"
    "\"Exp\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,e4,00,00,00,00,00\r\n"
    "\"SzHex\"=hex(1):41,00,42,00,00,00\r\n"
    "\"Dw\"=dword:00000010\r\n"
    "\"Bin\"=hex:de,ad,be,ef,\\\r\n"
    "  01,02\r\n"
    "\"Qw\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Test\\Sub]\r\n"
    "\r\n";

void expectExportContents(const RegDocument& doc) {
    EXPECT_FALSE(doc.damaged);
    const RegKeyNode* key = keyAt(doc, "HKEY_CURRENT_USER", {"Software", "Test"});
    ASSERT_NE(key, nullptr);
    std::uint32_t type = 0;
    EXPECT_EQ(bytesOf(key, "", &type), "Standard\0"s);
    EXPECT_EQ(type, 1u);
    EXPECT_EQ(bytesOf(key, "str", &type), "Gr\xc3\xbc\xc3\x9f" "e \"q\" C:\\x\0"s);
    EXPECT_EQ(bytesOf(key, "Exp", &type), "%PATH%\0"s);
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(bytesOf(key, "Multi", &type), "a\0\xc3\xa4\0\0"s);
    EXPECT_EQ(type, 7u);
    EXPECT_EQ(bytesOf(key, "SzHex"), "AB\0"s);
    EXPECT_EQ(bytesOf(key, "Dw", &type), "\x10\0\0\0"s);
    EXPECT_EQ(type, 4u);
    EXPECT_EQ(bytesOf(key, "Bin", &type), "\xde\xad\xbe\xef\x01\x02"s);
    EXPECT_EQ(type, 3u);
    EXPECT_EQ(bytesOf(key, "Qw", &type), "\x01\0\0\0\0\0\0\0"s);
    EXPECT_EQ(type, 11u);
    ASSERT_EQ(key->subKeyCount(), 1u);
    EXPECT_EQ(key->subKeyAt(0).name(), "Sub");
}

TEST(RegFileTest, ReadsARegeditExportInUtf16) { expectExportContents(parseRegText(regeditExport(kExportBody))); }

TEST(RegFileTest, ReadsARegeditExportConvertedToUtf8) {
    expectExportContents(parseRegText(kExportBody));
    expectExportContents(parseRegText("\xEF\xBB\xBF"s + std::string(kExportBody)));
}

TEST(RegFileTest, ReadsRegedit4InTheAnsiCodePage) {
    std::string text =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Old]\r\n"
        "\"Name\"=\"caf\xe9\"\r\n"
        "\"Exp\"=hex(2):25,41,25,00\r\n"
        "\"Dw\"=dword:ffffffff\r\n";
    RegDocument doc = parseRegText(text);
    EXPECT_FALSE(doc.damaged);
    const RegKeyNode* key = keyAt(doc, "HKEY_LOCAL_MACHINE", {"Software", "Old"});
    EXPECT_EQ(bytesOf(key, "Name"), "caf\xc3\xa9\0"s);
    EXPECT_EQ(bytesOf(key, "Exp"), "%A%\0"s);
    EXPECT_EQ(bytesOf(key, "Dw"), "\xff\xff\xff\xff"s);
}

TEST(RegFileTest, AppliesRemovalsAndMergesRepeatedKeys) {
    std::string text =
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
        "[HKEY_CURRENT_USER\\A\\Gone]\n\"z\"=\"3\"\n"
        "[HKCU\\a]\n\"X\"=\"replaced\"\n\"y\"=-\n"
        "[-HKEY_CURRENT_USER\\A\\Gone]\n\"ignored\"=\"under a removal\"\n";
    RegDocument doc = parseRegText(text);
    EXPECT_FALSE(doc.damaged);
    const RegKeyNode* a = keyAt(doc, "HKEY_CURRENT_USER", {"A"});
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->values().size(), 1u);
    EXPECT_EQ(a->values()[0].name, "x");  // keeps the first spelling
    EXPECT_EQ(a->values()[0].data, "replaced\0"s);
    EXPECT_EQ(a->subKeyCount(), 0u);
}

struct HostileCase {
    const char* label;
    std::string text;
    bool damaged;           // a rewrite would change what the file holds
    std::string key;        // sub-key of HKCU expected to hold "ok"="yes", "" = none
};

std::string header() { return "Windows Registry Editor Version 5.00\r\n"; }

std::vector<HostileCase> hostileCases() {
    std::string deep, tooDeep;
    for (int i = 0; i < 500; ++i) deep += "\\d";
    for (int i = 0; i < 600; ++i) tooDeep += "\\d";
    std::string hugeHex = "\"blob\"=hex:";
    for (int i = 0; i < 200000; ++i) hugeHex += (i % 20 == 19) ? "ff,\\\n  " : "ff,";
    hugeHex += "ff\n";
    return {
        {"cr only line ends", "Windows Registry Editor Version 5.00\r\r[HKEY_CURRENT_USER\\K]\r\"ok\"=\"yes\"\r", false, "K"},
        {"mixed line ends", header() + "\n\r\n[HKEY_CURRENT_USER\\K]\r\"ok\"=\"yes\"\n", false, "K"},
        {"utf8 bom", "\xEF\xBB\xBF" + header() + "[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"blanks around lines", header() + "  [HKEY_CURRENT_USER\\K]  \n\t\"ok\" = \"yes\" \t\n", false, "K"},
        {"no header", "[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", true, "K"},
        {"unterminated string", header() + "[HKEY_CURRENT_USER\\K]\n\"bad\"=\"never ends\n\"ok\"=\"yes\"\n", false, "K"},
        {"unterminated name", header() + "[HKEY_CURRENT_USER\\K]\n\"bad=\"x\n\"ok\"=\"yes\"\n", false, "K"},
        {"trailing garbage after string", header() + "[HKEY_CURRENT_USER\\K]\n\"bad\"=\"x\" y\n\"ok\"=\"yes\"\n", false, "K"},
        {"binary garbage", header() + "[HKEY_CURRENT_USER\\K]\n\x01\x02\xff\xfe\x00\x80junk\n\"ok\"=\"yes\"\n"s, false, "K"},
        {"nul inside a string", header() + "[HKEY_CURRENT_USER\\K]\n\"n\"=\"a\0b\"\n\"ok\"=\"yes\"\n"s, false, "K"},
        {"overlong line", header() + "[HKEY_CURRENT_USER\\K]\n" + std::string(1 << 20, 'A') + "\n\"ok\"=\"yes\"\n", false, "K"},
        {"huge hex run", header() + "[HKEY_CURRENT_USER\\K]\n" + hugeHex + "\"ok\"=\"yes\"\n", false, "K"},
        {"bad hex byte", header() + "[HKEY_CURRENT_USER\\K]\n\"h\"=hex:01,zz\n\"ok\"=\"yes\"\n", false, "K"},
        {"empty hex byte", header() + "[HKEY_CURRENT_USER\\K]\n\"h\"=hex:01,,02\n\"ok\"=\"yes\"\n", false, "K"},
        {"bad dword", header() + "[HKEY_CURRENT_USER\\K]\n\"d\"=dword:123456789\n\"ok\"=\"yes\"\n", false, "K"},
        {"unknown type word", header() + "[HKEY_CURRENT_USER\\K]\n\"d\"=qword:1\n\"ok\"=\"yes\"\n", false, "K"},
        {"unclosed type", header() + "[HKEY_CURRENT_USER\\K]\n\"d\"=hex(2:00\n\"ok\"=\"yes\"\n", false, "K"},
        {"hex continuation at end of file", header() + "[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n\"h\"=hex:01,\\", false, "K"},
        {"deep nesting within limits", header() + "[HKEY_CURRENT_USER" + deep + "]\n[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"nesting beyond limits", header() + "[HKEY_CURRENT_USER" + tooDeep + "]\n\"lost\"=\"x\"\n[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"key name too long", header() + "[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\n[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"unknown root", header() + "[HKEY_NOWHERE\\K]\n\"x\"=\"y\"\n[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"unclosed key header", header() + "[HKEY_CURRENT_USER\\X\n\"x\"=\"y\"\n[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"value before any key", header() + "\"x\"=\"y\"\n[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"removing a hive", header() + "[-HKEY_CURRENT_USER]\n[HKEY_CURRENT_USER\\K]\n\"ok\"=\"yes\"\n", false, "K"},
        {"doubled backslashes", header() + "[HKEY_CURRENT_USER\\\\K\\\\]\n\"ok\"=\"yes\"\n", false, "K"},
        {"odd utf16 byte", "\xFF\xFE"s + utf8ToUtf16le(header() + "[HKEY_CURRENT_USER\\K]\r\n\"ok\"=\"yes\"\r\n") + "\x41", true, "K"},
        {"utf16 without bom", utf8ToUtf16le(header() + "[HKEY_CURRENT_USER\\K]\r\n\"ok\"=\"yes\"\r\n"), false, "K"},
        {"empty file", "", false, ""},
        {"blank file", " \r\n\t\n", false, ""},
        {"only garbage", std::string(4096, '\xff'), true, ""},
    };
}

TEST(RegFileTest, HostileFilesAreReadAsFarAsIsSound) {
    for (const auto& c : hostileCases()) {
        SCOPED_TRACE(c.label);
        RegDocument doc = parseRegText(c.text);
        EXPECT_EQ(doc.damaged, c.damaged);
        if (!c.key.empty()) { EXPECT_EQ(bytesOf(keyAt(doc, "HKEY_CURRENT_USER", {c.key}), "ok"), "yes\0"s); }
        EXPECT_EQ(doc.damage.empty(), !doc.damaged) << doc.damage;
        // Whatever was understood survives a rewrite unchanged, and so does
        // every line that was not: the rewrite of the rewrite is the same text.
        std::string text = writeRegText(doc);
        RegDocument again = parseRegText(text);
        EXPECT_FALSE(again.damaged);
        EXPECT_EQ(again.skippedLines, doc.skippedLines);
        EXPECT_EQ(writeRegText(again), text);
        ASSERT_EQ(again.hives.size(), doc.hives.size());
        for (std::size_t i = 0; i < doc.hives.size(); ++i) { EXPECT_TRUE(sameTree(*doc.hives[i], *again.hives[i])); }
    }
}

TEST(RegFileTest, LinesNotUnderstoodStayUnderTheirKey) {
    std::string text = header() +
                       "; a note before any key\r\n"
                       "[HKEY_CURRENT_USER\\A]\r\n"
                       "\"one\"=\"1\"\r\n"
                       "\"odd\"=qword:5\r\n"
                       "\"two\"=dword:00000002\r\n"
                       "\"blob\"=hex:01,zz,\\\r\n"
                       "  02\r\n"
                       "[HKEY_CURRENT_USER\\A\\B]\r\n"
                       "; under B\r\n"
                       "\"three\"=\"3\"\r\n";
    RegDocument doc = parseRegText(text);
    EXPECT_FALSE(doc.damaged);
    EXPECT_EQ(doc.skippedLines, 4u);
    const RegKeyNode* a = keyAt(doc, "HKEY_CURRENT_USER", {"A"});
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->keptLines(), (std::vector<std::string>{"\"odd\"=qword:5", "\"blob\"=hex:01,zz,\\\r\n02"}));
    EXPECT_EQ(keyAt(doc, "HKEY_CURRENT_USER", {"A", "B"})->keptLines(), std::vector<std::string>{"; under B"});
    EXPECT_EQ(doc.keptLines, std::vector<std::string>{"; a note before any key"});

    const_cast<RegKeyNode*>(a)->setValue("one", 1, "changed\0"s);
    std::string rewritten = writeRegText(doc);
    EXPECT_NE(rewritten.find("[HKEY_CURRENT_USER\\A]\r\n\"one\"=\"changed\"\r\n\"two\"=dword:00000002\r\n"
                             "\"odd\"=qword:5\r\n\"blob\"=hex:01,zz,\\\r\n02\r\n\r\n[HKEY_CURRENT_USER\\A\\B]\r\n"
                             "\"three\"=\"3\"\r\n; under B\r\n"),
              std::string::npos)
        << rewritten;
    EXPECT_LT(rewritten.find("; a note before any key\r\n"), rewritten.find("[HKEY_CURRENT_USER\\A]"));
}

TEST(RegFileTest, StringDataInHexFormIsUtf16AsRegeditWritesIt) {
    RegDocument doc;
    RegKeyNode& key = doc.ensureHive("HKEY_CURRENT_USER").ensureSubKey("S");
    key.setValue("Latin", 1, "caf\xe9\0"s);  // not UTF-8: a Windows-1252 character
    key.setValue("Path", 2, "%W%\\\xc3\xa4\0"s);
    std::string text = writeRegText(doc);
    EXPECT_NE(text.find("\"Latin\"=hex(1):63,00,61,00,66,00,e9,00,00,00\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Path\"=hex(2):25,00,57,00,25,00,5c,00,e4,00,00,00\r\n"),
              std::string::npos)
        << text;
    RegDocument back = parseRegText(text);
    EXPECT_EQ(bytesOf(keyAt(back, "HKEY_CURRENT_USER", {"S"}), "Latin"), "caf\xc3\xa9\0"s);
    EXPECT_EQ(bytesOf(keyAt(back, "HKEY_CURRENT_USER", {"S"}), "Path"), "%W%\\\xc3\xa4\0"s);
}

TEST(RegFileTest, FilesOfTheEarlierStoreFormatStillLoad) {
    // Written before string data in hex form became UTF-16LE: the stored bytes.
    std::string text = header() +
                       "; VandrelKast registry store: hex(1), hex(2) and hex(7) data are the stored bytes (UTF-8)\r\n"
                       "\r\n[HKEY_CURRENT_USER\\S]\r\n"
                       "\"Exp\"=hex(2):25,41,25,00\r\n"
                       "\"Multi\"=hex(7):61,00,62,00,00\r\n";
    RegDocument doc = parseRegText(text);
    EXPECT_FALSE(doc.damaged);
    EXPECT_EQ(bytesOf(keyAt(doc, "HKEY_CURRENT_USER", {"S"}), "Exp"), "%A%\0"s);
    EXPECT_EQ(bytesOf(keyAt(doc, "HKEY_CURRENT_USER", {"S"}), "Multi"), "a\0b\0\0"s);
    // Rewritten in today's form, with the same meaning.
    RegDocument back = parseRegText(writeRegText(doc));
    EXPECT_EQ(bytesOf(keyAt(back, "HKEY_CURRENT_USER", {"S"}), "Exp"), "%A%\0"s);
    EXPECT_EQ(bytesOf(keyAt(back, "HKEY_CURRENT_USER", {"S"}), "Multi"), "a\0b\0\0"s);
}

TEST(RegFileTest, DeepNestingKeepsEveryLevel) {
    std::string path;
    for (int i = 0; i < 500; ++i) path += "\\L" + std::to_string(i);
    RegDocument doc = parseRegText(header() + "[HKEY_USERS" + path + "]\n\"v\"=dword:00000001\n");
    const RegKeyNode* node = doc.findHive("HKEY_USERS");
    int depth = 0;
    while (node && node->subKeyCount() == 1) {
        node = &node->subKeyAt(0);
        ++depth;
    }
    EXPECT_EQ(depth, 500);
    EXPECT_EQ(bytesOf(node, "v"), "\x01\0\0\0"s);
}

std::size_t countKeys(const RegKeyNode& key) {
    std::size_t n = 1;
    for (std::size_t i = 0; i < key.subKeyCount(); ++i) n += countKeys(key.subKeyAt(i));
    return n;
}

TEST(RegFileTest, ManyDeepDistinctPathsCannotBuildFarMoreThanTheFileHolds) {
    std::string deepTail;
    for (int i = 0; i < 510; ++i) deepTail += "\\a";
    std::string text = header();
    for (int i = 0; i < 3000; ++i) text += "[HKEY_CURRENT_USER\\" + std::to_string(i) + deepTail + "]\n";
    RegDocument doc = parseRegText(text);
    EXPECT_TRUE(doc.damaged);
    // 3000 lines would make 1.5 million keys; the parse stops near its budget.
    std::size_t keys = countKeys(*doc.findHive("HKEY_CURRENT_USER"));
    EXPECT_GT(keys, 10000u);
    EXPECT_LT(keys, ((16u << 20) + 6 * text.size()) / 128 + 1000);
}

// Random trees of every shape the store can hold survive write + read.
TEST(RegFileTest, RandomTreesRoundTrip) {
    std::mt19937 rng(1234);
    auto randomBytes = [&](std::size_t max) {
        std::string s(rng() % (max + 1), '\0');
        for (char& c : s) c = static_cast<char>(rng() % 256);
        return s;
    };
    auto randomName = [&](bool forKey) {
        std::string s = randomBytes(12);
        for (char& c : s)
            if (c == '\r' || c == '\n' || (forKey && c == '\\')) c = '_';
        return s;
    };
    for (int round = 0; round < 50; ++round) {
        RegDocument doc;
        RegKeyNode& hive = doc.ensureHive(round % 2 ? "HKEY_CURRENT_USER" : "HKEY_CLASSES_ROOT");
        std::vector<RegKeyNode*> keys{&hive};
        for (int i = 0; i < 40; ++i) {
            RegKeyNode* parent = keys[rng() % keys.size()];
            std::string name = randomName(true);
            if (name.empty()) name = "k";
            keys.push_back(&parent->ensureSubKey(name));
        }
        for (int i = 0; i < 120; ++i) {
            RegKeyNode* key = keys[rng() % keys.size()];
            std::uint32_t types[] = {0, 1, 1, 1, 2, 3, 4, 7, 11, 0xFFFFFFFFu};
            std::uint32_t type = types[rng() % 10];
            std::string data = randomBytes(200);
            if (type == 1 && rng() % 2) data = "text " + std::to_string(i) + '\0';
            // String data is text: bytes that are not UTF-8 are Windows-1252 characters.
            if (type == 1 || type == 2 || type == 7) data = utf16ToUtf8(utf8ToUtf16le(data));
            key->setValue(randomName(false), type, data);
        }
        std::string text = writeRegText(doc);
        RegDocument back = parseRegText(text);
        ASSERT_FALSE(back.damaged) << "round " << round;
        ASSERT_EQ(back.hives.size(), 1u);
        ASSERT_TRUE(sameTree(*doc.hives[0], *back.hives[0])) << "round " << round;
        EXPECT_EQ(writeRegText(back), text);
    }
}

}  // namespace
}  // namespace vk::platform
