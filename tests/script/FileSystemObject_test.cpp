#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "script/Console.h"
#include "script/host/ScriptHost.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

namespace fs = std::filesystem;

// Runs a snippet with D set to the temp folder (with a trailing '\' style path) and
// returns what it printed, or the error number and text.
class FsoTest : public ::testing::Test {
protected:
    test::TempDir dir;
    Console console;
    ScriptHost host{console};

    std::string run(const std::string& body) {
        console.setText("");
        std::string script = "Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\nD = \"" + dir.str() +
                             "\"\r\n" + body;
        auto r = host.runScript(script);
        if (!r.ok) return "ERR " + std::to_string(r.number) + " " + r.description;
        return console.text();
    }
};

TEST_F(FsoTest, QueriesAndNameHelpers) {
    dir.write("a/b.txt", "hello");
    dir.write("a/c.log", "x");
    fs::create_directories(dir / "a/sub");
    struct Case {
        const char* code;
        const char* out;
    } cases[] = {
        {"IOMessage fso.FileExists(D & \"\\a\\b.txt\")", "True"},
        {"IOMessage fso.FileExists(D & \"/a\")", "False"},
        {"IOMessage fso.FolderExists(D & \"\\a\\\")", "True"},
        {"IOMessage fso.FolderExists(D & \"\\a\\b.txt\")", "False"},
        {"IOMessage fso.GetFile(D & \"\\a\\b.txt\").Size", "5"},
        {"IOMessage fso.GetFile(D & \"\\a\\b.txt\").Name", "b.txt"},
        {"IOMessage fso.GetFile(D & \"\\a\\b.txt\").ParentFolder.Name", "a"},
        {"IOMessage TypeName(fso.GetFile(D & \"\\a\\b.txt\").DateLastModified)", "Date"},
        {"IOMessage Year(fso.GetFile(D & \"\\a\\b.txt\").DateLastModified) >= 2020", "True"},
        {"IOMessage fso.GetFile(D & \"\\a\\b.txt\").Attributes And 16", "0"},
        {"IOMessage fso.GetFolder(D & \"\\a\").Files.Count & \" \" & fso.GetFolder(D & \"\\a\").SubFolders.Count", "2 1"},
        {"IOMessage fso.GetFolder(D & \"\\a\").Files.Item(\"C.LOG\").Size", "1"},
        {"n = \"\"\r\nFor Each f In fso.GetFolder(D & \"\\a\").SubFolders\r\nn = n & f.Name\r\nNext\r\nIOMessage n", "sub"},
        {"IOMessage fso.GetExtensionName(\"C:\\x\\y.tar.GZ\")", "GZ"},
        {"IOMessage fso.GetBaseName(\"C:\\x\\y.tar.gz\")", "y.tar"},
        {"IOMessage fso.GetFileName(\"C:\\x\\y.txt\")", "y.txt"},
        {"IOMessage fso.GetParentFolderName(\"C:\\x\\y.txt\")", "C:\\x"},
        {"IOMessage fso.GetParentFolderName(\"C:\\x\")", "C:\\"},
        {"IOMessage fso.GetParentFolderName(\"/x/y/\")", "/x"},
        {"IOMessage \"[\" & fso.GetParentFolderName(\"y.txt\") & \"]\"", "[]"},
        {"IOMessage fso.BuildPath(\"C:\\x\", \"y.txt\")", "C:\\x\\y.txt"},
        {"IOMessage fso.BuildPath(\"C:\\x\\\", \"\\y.txt\")", "C:\\x\\y.txt"},
        {"IOMessage fso.BuildPath(\"/x\", \"y\")", "/x/y"},
        {"IOMessage Left(fso.GetTempName, 3) & Right(fso.GetTempName, 4) & Len(fso.GetTempName)", "rad.tmp12"},
        {"IOMessage fso.GetSpecialFolder(2).Path = fso.GetFolder(fso.GetSpecialFolder(2)).Path", "True"},
        {"Set f = fso.GetFile(D & \"\\missing.txt\")", "ERR 53 File not found"},
        {"Set f = fso.GetFolder(D & \"\\missing\")", "ERR 76 Path not found"},
        {"Set f = CreateObject(\"Scripting.NoSuchThing\")", "ERR 429 ActiveX component can't create object"},
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.code), c.out) << c.code;
}

TEST_F(FsoTest, FileAndFolderChanges) {
    dir.write("src/one.tmp", "1");
    dir.write("src/two.tmp", "22");
    dir.write("src/keep.txt", "k");
    EXPECT_EQ(run("fso.CreateFolder D & \"\\dst\"\r\nIOMessage fso.FolderExists(D & \"\\dst\")"), "True");
    EXPECT_EQ(run("fso.CreateFolder D & \"\\dst\""), "ERR 58 File already exists");
    EXPECT_EQ(run("fso.CreateFolder D & \"\\no\\such\""), "ERR 76 Path not found");
    EXPECT_EQ(run("fso.CopyFile D & \"\\src\\keep.txt\", D & \"\\dst\\\"\r\nIOMessage fso.FileExists(D & \"\\dst\\keep.txt\")"), "True");
    EXPECT_EQ(run("fso.CopyFile D & \"\\src\\keep.txt\", D & \"\\dst\\keep.txt\", False"), "ERR 58 File already exists");
    EXPECT_EQ(run("fso.CopyFile D & \"\\src\\nope.txt\", D & \"\\dst\\\""), "ERR 53 File not found");
    EXPECT_EQ(run("fso.MoveFile D & \"\\src\\*.TMP\", D & \"\\dst\"\r\nIOMessage fso.GetFolder(D & \"\\dst\").Files.Count"), "3");
    EXPECT_FALSE(fs::exists(dir / "src/one.tmp"));
    EXPECT_EQ(test::readFile(dir / "dst/two.tmp"), "22");
    EXPECT_EQ(run("fso.MoveFile D & \"\\dst\\one.tmp\", D & \"\\dst\\two.tmp\""), "ERR 58 File already exists");
    EXPECT_EQ(run("Set f = fso.GetFile(D & \"\\dst\\one.tmp\")\r\nf.Move D & \"\\src\\\"\r\nIOMessage f.Path"),
              (dir / "src/one.tmp").string());
    EXPECT_EQ(run("fso.GetFile(D & \"\\src\\one.tmp\").Copy D & \"\\src\\copy.tmp\"\r\nIOMessage fso.FileExists(D & \"\\src\\copy.tmp\")"), "True");
    EXPECT_EQ(run("fso.DeleteFile D & \"\\dst\\*.tmp\"\r\nIOMessage fso.GetFolder(D & \"\\dst\").Files.Count"), "1");
    EXPECT_EQ(run("fso.DeleteFile D & \"\\dst\\*.tmp\""), "ERR 53 File not found");
    EXPECT_EQ(run("fso.GetFile(D & \"\\dst\\keep.txt\").Delete\r\nIOMessage fso.FileExists(D & \"\\dst\\keep.txt\")"), "False");
    dir.write("dst/deep/x/y.txt", "y");
    EXPECT_EQ(run("fso.DeleteFolder D & \"\\dst\"\r\nIOMessage fso.FolderExists(D & \"\\dst\")"), "False");
    EXPECT_EQ(run("fso.DeleteFolder D & \"\\dst\""), "ERR 76 Path not found");
    fs::create_directories(dir / "victim");
    dir.write("victim/precious", "p");
    fs::create_directory_symlink(dir / "victim", dir / "src/link");
    EXPECT_EQ(run("fso.GetFolder(D & \"\\src\").Delete\r\nIOMessage fso.FolderExists(D & \"\\src\")"), "False");
    EXPECT_EQ(test::readFile(dir / "victim/precious"), "p");
}

TEST_F(FsoTest, TextStreams) {
    struct Case {
        const char* code;
        const char* out;
    } cases[] = {
        {"Set t = fso.CreateTextFile(D & \"\\t.txt\")\r\nt.WriteLine \"caf\" & Chr(233)\r\nt.Write \"end\"\r\nt.Close\r\n"
         "Set t = fso.OpenTextFile(D & \"\\t.txt\")\r\nIOMessage t.ReadLine & \"|\" & t.AtEndOfStream & \"|\" & t.ReadLine & \"|\" & t.AtEndOfStream",
         "caf\xC3\xA9|False|end|True"},
        {"Set t = fso.OpenTextFile(D & \"\\t.txt\", 8)\r\nt.Write \"!\"\r\nt.Close\r\nIOMessage fso.OpenTextFile(D & \"\\t.txt\", 1).ReadAll = \"caf\" & Chr(233) & vbCrLf & \"end!\"", "True"},
        {"Set t = fso.OpenTextFile(D & \"\\t.txt\")\r\nIOMessage t.Read(2) & \"-\" & t.Read(3)", "ca-f\xC3\xA9\r"},
        {"Set t = fso.OpenTextFile(D & \"\\t.txt\")\r\nx = t.ReadAll\r\nx = t.ReadLine", "ERR 62 Input past end of file"},
        {"Set t = fso.OpenTextFile(D & \"\\t.txt\", 2)\r\nt.Close\r\nIOMessage fso.GetFile(D & \"\\t.txt\").Size", "0"},
        {"Set t = fso.OpenTextFile(D & \"\\t.txt\")\r\nx = t.ReadLine", "ERR 62 Input past end of file"},
        {"Set t = fso.OpenTextFile(D & \"\\t.txt\")\r\nt.Write \"x\"", "ERR 54 Bad file mode"},
        {"Set t = fso.OpenTextFile(D & \"\\new.txt\")", "ERR 53 File not found"},
        {"Set t = fso.OpenTextFile(D & \"\\new.txt\", 2, True)\r\nt.Write \"n\"\r\nt.Close\r\nIOMessage fso.FileExists(D & \"\\new.txt\")", "True"},
        {"Set t = fso.CreateTextFile(D & \"\\new.txt\", False)", "ERR 58 File already exists"},
        {"Set t = fso.CreateTextFile(D & \"\\no\\new.txt\")", "ERR 76 Path not found"},
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.code), c.out) << c.code;
    EXPECT_EQ(test::readFile(dir / "new.txt"), "n");
}

TEST_F(FsoTest, DrivesFromEnvironment) {
    fs::create_directories(dir / "d1");
    std::string spec = (dir / "d1").string() + "|2|1;" + (dir / "gone").string() + "|1|0";
    test::ScopedEnv env("VANDRELKAST_DRIVES", spec.c_str());
    EXPECT_EQ(run("For Each d In fso.Drives\r\nIOMessage d.DriveType & \" \" & d.IsReady & \" \" & (d.DriveLetter = d.Path)\r\nNext\r\nIOMessage fso.Drives.Count"),
              "2 True True\r\n1 False True\r\n2");
    EXPECT_EQ(run("IOMessage fso.Drives.Item(D & \"/d1\").Path = D & \"/d1\""), "True");
}

}  // namespace
}  // namespace vk::script
