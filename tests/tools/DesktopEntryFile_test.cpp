#include "tools/DesktopEntryFile.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace vk::tools {
namespace {

const std::string kText =
    "# made by hand\r\n"
    "[Desktop Entry]\r\n"
    "Type=Application\r\n"
    "Name=Clock\r\n"
    "Name[de]=Uhr\r\n"
    "Exec = clock --tray\r\n"
    "Hidden=false\r\n"
    "\r\n"
    "[Desktop Action Quit]\r\n"
    "Hidden=true\r\n"
    "Exec=clock --quit";

TEST(DesktopEntryFile, ReadsKeysOfTheMainGroupOnly) {
    auto file = DesktopEntryFile::parse(kText);
    EXPECT_EQ(file.get("Exec"), "clock --tray");
    EXPECT_EQ(file.get("Name"), "Clock");
    EXPECT_EQ(file.get("Name[de]"), "Uhr");
    EXPECT_EQ(file.get("name"), std::nullopt);
    EXPECT_FALSE(file.isTrue("Hidden"));  // the action's Hidden=true is not the entry's
    EXPECT_EQ(file.text(), kText);
}

TEST(DesktopEntryFile, ChangingAKeyKeepsEveryOtherLine) {
    auto file = DesktopEntryFile::parse(kText);
    file.set("Hidden", "true");
    std::string expected = kText;
    expected.replace(expected.find("Hidden=false"), 12, "Hidden=true");
    EXPECT_EQ(file.text(), expected);
    EXPECT_TRUE(file.isTrue("Hidden"));
}

TEST(DesktopEntryFile, NewKeyGoesAtTheEndOfTheGroupWithTheFilesLineEnds) {
    auto file = DesktopEntryFile::parse(kText);
    file.set("X-Test", "1");
    std::string expected = kText;
    expected.insert(expected.find("Hidden=false\r\n") + 14, "X-Test=1\r\n");
    EXPECT_EQ(file.text(), expected);

    auto bare = DesktopEntryFile::parse("[Desktop Entry]\nName=A");
    bare.set("Hidden", "true");
    EXPECT_EQ(bare.text(), "[Desktop Entry]\nName=A\nHidden=true\n");

    auto none = DesktopEntryFile::parse("# only a comment\n");
    none.set("Hidden", "true");
    EXPECT_EQ(none.text(), "[Desktop Entry]\nHidden=true\n# only a comment\n");
}

TEST(DesktopEntryFile, SavesAtomicallyAndLoadsBack) {
    test::TempDir dir;
    std::string path = (dir / "a.desktop").string();
    auto file = DesktopEntryFile::parse(kText);
    ASSERT_EQ(file.save(path), 0);
    EXPECT_EQ(test::readFile(path), kText);
    auto back = DesktopEntryFile::load(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->get("Exec"), "clock --tray");
    EXPECT_FALSE(DesktopEntryFile::load((dir / "missing.desktop").string()));
    EXPECT_NE(file.save((dir / "no/such/folder/a.desktop").string()), 0);
}

TEST(DesktopEntryFile, ExecArgumentsQuotedOnlyWhenNeeded) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/vandrelkast", "/usr/bin/vandrelkast"},
        {"/opt/Vandrel Kast/vk", "\"/opt/Vandrel Kast/vk\""},
        {"/opt/a$b", "\"/opt/a\\\\$b\""},
        {"/opt/100%", "/opt/100%%"},
        {"/opt/say \"hi\"", "\"/opt/say \\\\\"hi\\\\\"\""},
    };
    for (auto [in, out] : cases) EXPECT_EQ(execArgument(in), out) << in;
}

}  // namespace
}  // namespace vk::tools
