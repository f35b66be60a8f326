#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/ShellLinkWriter.h"
#include "support/TempDir.h"
#include "tools/ShellLink.h"

namespace vk::tools {
namespace {

using test::ShellLinkSpec;
using test::shellLinkBytes;

TEST(ShellLink, ReadsWhatTheWriterPutInEveryLayout) {
    struct Case {
        const char* what;
        ShellLinkSpec spec;
        std::string target;
        std::string relative;  // as read back
    } cases[] = {
        {"worm shortcut, unicode strings",
         ShellLinkSpec()
             .withIdList(std::string(40, '\x11'))
             .withLocalBasePath("C:\\Windows\\system32\\cmd.exe")
             .withRelativePath("..\\..\\Windows\\system32\\cmd.exe")
             .withArguments("/c start \"\" wscript /e:VBScript.Encode .\\RECYCLER\\x.vbs & start explorer Photos & exit")
             .withIconLocation("%SystemRoot%\\system32\\SHELL32.dll"),
         "C:\\Windows\\system32\\cmd.exe", "..\\..\\Windows\\system32\\cmd.exe"},
        {"relative path only, single-byte strings with a Windows-1252 letter",
         ShellLinkSpec().withRelativePath(".\\caf\xe9.exe").withWorkingDir(".").singleByte(), ".\\caf\xc3\xa9.exe",
         ".\\caf\xc3\xa9.exe"},
        {"base path and suffix, unicode link info",
         ShellLinkSpec()
             .withLocalBasePath("E:\\")
             .withCommonPathSuffix("Fotos \xe2\x82\xac\\run.js")
             .withUnicodeLinkInfo()
             .withName("Fotos"),
         "E:\\Fotos \xe2\x82\xac\\run.js", ""},
        {"nothing but the header", ShellLinkSpec(), "", ""},
    };
    for (const Case& c : cases) {
        auto link = readShellLink(shellLinkBytes(c.spec));
        ASSERT_TRUE(link) << c.what;
        EXPECT_EQ(link->target(), c.target) << c.what;
        EXPECT_EQ(link->relativePath, c.relative) << c.what;
        EXPECT_EQ(link->arguments, c.spec.arguments) << c.what;
        EXPECT_EQ(link->workingDir, c.spec.workingDir) << c.what;
        EXPECT_EQ(link->name, c.spec.name) << c.what;
        EXPECT_EQ(link->iconLocation, c.spec.iconLocation) << c.what;
    }
}

TEST(ShellLink, RefusesWhatIsNoShortcutAndEveryTruncation) {
    EXPECT_FALSE(readShellLink(""));
    EXPECT_FALSE(readShellLink(std::string(0x4C, '\0')));
    std::string good =
        shellLinkBytes(ShellLinkSpec().withIdList("abcd").withLocalBasePath("C:\\a.exe").withArguments("x.vbs"));
    std::string badClsid = good;
    badClsid[5] ^= 1;
    EXPECT_FALSE(readShellLink(badClsid));
    // Cut short anywhere before the terminal block, a part the flags announce is missing.
    const std::size_t complete = good.size() - 4;
    for (std::size_t n = 0; n < complete; ++n) EXPECT_FALSE(readShellLink(good.substr(0, n))) << n;
    EXPECT_TRUE(readShellLink(good.substr(0, complete)));

    // Sizes and offsets pointing past the end.
    std::string hugeIdList = good;
    hugeIdList[0x4C] = '\xff';
    hugeIdList[0x4D] = '\xff';
    EXPECT_FALSE(readShellLink(hugeIdList));
    std::string info = good;
    const std::size_t infoAt = 0x4C + 2 + 4;
    info[infoAt + 16] = '\x70';  // local base path offset beyond the block
    EXPECT_FALSE(readShellLink(info));
}

ShellLink linkOf(std::string base, std::string relative, std::string arguments) {
    ShellLink link;
    link.localBasePath = std::move(base);
    link.relativePath = std::move(relative);
    link.arguments = std::move(arguments);
    return link;
}

TEST(ShellLink, PayloadsAreTheTargetAndTheProgramsInTheArguments) {
    struct Case {
        ShellLink link;
        std::vector<std::string> payloads;
    } cases[] = {
        {linkOf("C:\\WINDOWS\\system32\\cmd.exe", "",
                "/c start \"\" wscript /e:VBScript.Encode \".\\RECYCLER\\run me.VBS\" & start explorer Photos & exit"),
         {"C:\\WINDOWS\\system32\\cmd.exe", ".\\RECYCLER\\run me.VBS"}},
        {linkOf("", ".\\Photos.exe", ""), {".\\Photos.exe"}},
        {linkOf("C:\\Windows\\System32\\rundll32.exe", "", "~$WQF.dll,Entry x.js"),
         {"C:\\Windows\\System32\\rundll32.exe", "x.js"}},
        {linkOf("", "Photos", "/k a.bat;b.cmd|c.jse(d.wsf)<e.pif>f.scr,g.com h.vbe i.JS"),
         {"a.bat", "b.cmd", "c.jse", "d.wsf", "e.pif", "f.scr", "g.com", "h.vbe", "i.JS"}},
        {linkOf("", "notes.txt", ".exe exe /x: /k"), {}},
        {linkOf("", "", "/c /tmp/stick/run.js /e:\\x\\y.vbs"), {"/tmp/stick/run.js", "\\x\\y.vbs"}},
    };
    for (const Case& c : cases) EXPECT_EQ(shellLinkPayloads(c.link), c.payloads) << c.link.arguments;
}

TEST(ShellLink, FileReaderTakesRegularFilesOnly) {
    test::TempDir dir;
    auto lnk = dir.write("Photos.lnk", shellLinkBytes(ShellLinkSpec().withRelativePath("x.vbs")));
    auto link = readShellLinkFile(lnk.string());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target(), "x.vbs");
    std::filesystem::create_symlink(lnk, dir / "via.lnk");
    EXPECT_FALSE(readShellLinkFile((dir / "via.lnk").string()));
    EXPECT_FALSE(readShellLinkFile(dir.str()));
    EXPECT_FALSE(readShellLinkFile((dir / "missing.lnk").string()));
    std::string big = shellLinkBytes(ShellLinkSpec().withRelativePath("x.vbs"));
    big.resize(kMaxShellLinkBytes + 1, '\0');
    EXPECT_FALSE(readShellLinkFile(dir.write("big.lnk", big).string()));
}

}  // namespace
}  // namespace vk::tools
