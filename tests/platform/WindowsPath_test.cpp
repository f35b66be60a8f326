#include "platform/WindowsPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/CaseFold.h"
#include "support/TempDir.h"

namespace vk::platform {
namespace {

namespace fs = std::filesystem;
using Kind = ResolvedPath::Kind;

TEST(CaseFoldTest, FoldsLatinGreekAndCyrillicAsWindowsComparesNames) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"README.TXT", "readme.txt", true},
        {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", true},                              // ÉTÉ / été
        {"\xC5\xBB\xC3\x93\xC5\x81W", "\xC5\xBC\xC3\xB3\xC5\x82w", true},              // ŻÓŁW / żółw
        {"\xC3\x9E" "ORN", "\xC3\xBE" "orn", true},                                     // Þ / þ
        {"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3", "\xCF\x83\xCE\xBF\xCF\x86\xCE\xBF\xCF\x82", true},  // ΣΟΦΟΣ / σοφος (final sigma)
        {"\xCE\x8A", "\xCE\xAF", true},                                                  // Ί / ί
        {"\xD0\x81\xD0\x96", "\xD1\x91\xD0\xB6", true},                                  // ЁЖ / ёж
        {"\xD2\x90", "\xD2\x91", true},                                                  // Ґ / ґ
        {"STRA\xE1\xBA\x9E" "E", "stra\xC3\x9F" "e", true},                             // STRAẞE / straße
        {"STRASSE", "stra\xC3\x9F" "e", false},                                          // one to one only
        {"\xE2\x84\xAA", "k", true},                                                     // Kelvin sign
        {"a\xFF" "B", "A\xFF" "b", true},                                                // bytes that are not UTF-8 stay
        {"a\xFF", "a\xFE", false},
        {"\xD0\xB0", "a", false},                                                        // Cyrillic а is not Latin a
    };
    for (const auto& c : cases) EXPECT_EQ(equalFolded(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(foldCase(U'\u0130'), U'\u0130');  // İ has no one-to-one folding
}

class Letters final : public DriveLetterMap {
public:
    std::map<char, std::string> roots;
    std::optional<std::string> rootOf(char letter) const override {
        auto it = roots.find(letter);
        if (it == roots.end()) return std::nullopt;
        return it->second;
    }
};

TEST(WindowsPathTest, LettersLeadThroughTheDriveMapOnly) {
    test::TempDir dir;
    dir.write("C:/victim.txt", "x");
    dir.write("stick/Autorun.INF", "x");
    auto cwd = fs::current_path();
    fs::current_path(dir.path());
    Letters letters;
    letters.roots['E'] = (dir / "stick").string();
    auto viaLetter = resolveWindowsPath("e:\\autorun.inf", letters);
    auto noDrive = resolveWindowsPath("C:\\victim.txt", letters);
    auto driveRelative = resolveWindowsPath("c:victim.txt", letters);
    auto relative = resolveWindowsPath("C:", localDriveLetters());
    fs::current_path(cwd);
    EXPECT_EQ(viaLetter.kind, Kind::Found);
    EXPECT_EQ(viaLetter.path, (dir / "stick" / "Autorun.INF").string());
    EXPECT_EQ(noDrive.kind, Kind::NoDrive);
    EXPECT_EQ(noDrive.path, "");
    EXPECT_EQ(driveRelative.kind, Kind::NoDrive);
    EXPECT_EQ(relative.kind, Kind::NoDrive);
}

TEST(WindowsPathTest, TheLocalDriveListGivesLettersItKnows) {
    test::TempDir dir;
    dir.write("usb/X.txt", "x");
    test::ScopedEnv drives("VANDRELKAST_DRIVES", ((dir / "usb").string() + "|1|1|f;" + dir.str() + "|2|1").c_str());
    auto r = resolveWindowsPath("F:\\x.TXT");
    EXPECT_EQ(r.kind, Kind::Found);
    EXPECT_EQ(r.path, (dir / "usb" / "X.txt").string());
    EXPECT_EQ(resolveWindowsPath("G:\\x.txt").kind, Kind::NoDrive);
}

TEST(WindowsPathTest, NamesAreFoundComponentByComponentWithoutRegardToCase) {
    test::TempDir dir;
    dir.write("Program Files/Worm/UPPER.EXE", "x");
    dir.write("Program Files/Worm/twin.dll", "x");
    dir.write("Program Files/Worm/Twin.dll", "x");
    dir.write("Program Files/Worm/TWIN.dll", "x");
    dir.write("Program Files/\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/x", "x");  // Папка
    std::string base = dir.str();
    struct Case {
        std::string written;
        Kind kind;
        std::string path;
    } cases[] = {
        {base + "\\program files\\WORM\\upper.exe", Kind::Found, base + "/Program Files/Worm/UPPER.EXE"},
        {base + "/Program Files/Worm/UPPER.EXE", Kind::Found, base + "/Program Files/Worm/UPPER.EXE"},
        {base + "\\PROGRAM FILES\\worm\\Twin.dll", Kind::Found, base + "/Program Files/Worm/Twin.dll"},
        {base + "\\Program Files\\\xD0\x9F\xD0\x90\xD0\x9F\xD0\x9A\xD0\x90\\X", Kind::Found,
         base + "/Program Files/\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/x"},
        {base + "\\program files\\worm\\new.txt", Kind::Missing, base + "/Program Files/Worm/new.txt"},
        {base + "\\nowhere\\Worm\\x", Kind::Missing, base + "/nowhere/Worm/x"},
        {base + "\\program files\\worm\\tWIN.DLL", Kind::Ambiguous, base + "/Program Files/Worm/tWIN.DLL"},
    };
    for (const auto& c : cases) {
        auto r = resolveWindowsPath(c.written);
        EXPECT_EQ(r.kind, c.kind) << c.written;
        EXPECT_EQ(r.path, c.path) << c.written;
    }
    auto r = resolveWindowsPath(base + "\\program files\\worm\\tWIN.DLL");
    EXPECT_EQ(r.ambiguousFolder, base + "/Program Files/Worm");
    EXPECT_EQ(r.candidates, (std::vector<std::string>{"TWIN.dll", "Twin.dll", "twin.dll"}));
}

}  // namespace
}  // namespace vk::platform
