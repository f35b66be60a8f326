#include <gtest/gtest.h>

#include <string>

#include "script/Console.h"
#include "script/host/ScriptHost.h"
#include "support/ShellLinkWriter.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

using test::ShellLinkSpec;

TEST(ShellLinkObject, ScriptsReadShortcutsAndPlacePathsOnTheDrive) {
    test::TempDir dir;
    const std::string worm =
        dir.write("stick/Photos.lnk", test::shellLinkBytes(ShellLinkSpec()
                                                                 .withLocalBasePath("C:\\WINDOWS\\system32\\cmd.exe")
                                                                 .withWorkingDir(".")
                                                                 .withArguments("/c start x.vbs & start explorer Photos")))
            .string();
    const std::string folderOnly =
        dir.write("stick/Docs.lnk", test::shellLinkBytes(ShellLinkSpec().withRelativePath(".\\Docs"))).string();
    const std::string notLink = dir.write("stick/fake.lnk", "MZ not a shortcut").string();
    const std::string root = (dir / "stick").string();
    Console console;
    ScriptHost host(console);
    std::string script =
        "Dim p\r\n"
        "IOMessage ShellLink.IsShortcut(\"" + worm + "\") & \" \" & ShellLink.IsShortcut(\"" + notLink + "\")\r\n"
        "IOMessage ShellLink.Target(\"" + worm + "\")\r\n"
        "IOMessage ShellLink.Arguments(\"" + worm + "\")\r\n"
        "IOMessage ShellLink.WorkingDirectory(\"" + worm + "\")\r\n"
        "For Each p In ShellLink.Payloads(\"" + worm + "\")\r\n  IOMessage \"payload \" & p\r\nNext\r\n"
        "IOMessage UBound(ShellLink.Payloads(\"" + folderOnly + "\"))\r\n"
        "IOMessage \"[\" & ShellLink.Target(\"" + notLink + "\") & \"]\"\r\n"
        "IOMessage ShellLink.PathInDrive(\"" + root + "\", \"x.vbs\")\r\n"
        "IOMessage \"[\" & ShellLink.PathInDrive(\"" + root + "\", \"..\\x.vbs\") & \"]\"\r\n";
    auto r = host.runScript(script);
    ASSERT_TRUE(r.ok) << r.description << " line " << r.line;
    EXPECT_EQ(console.text(), "True False\r\n"
                              "C:\\WINDOWS\\system32\\cmd.exe\r\n"
                              "/c start x.vbs & start explorer Photos\r\n"
                              ".\r\n"
                              "payload C:\\WINDOWS\\system32\\cmd.exe\r\n"
                              "payload x.vbs\r\n"
                              "-1\r\n"
                              "[]\r\n" +
                                  root + "/x.vbs\r\n"
                                         "[]");
    auto bad = host.runScript("ShellLink.Open \"x\"");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.number, 438);
}

}  // namespace
}  // namespace vk::script
