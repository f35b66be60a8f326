#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/AutoRepairPage.h"
#include "app/KastScriptWizard.h"
#include "platform/IniProfile.h"
#include "checksum/Md5.h"
#include "script/IniFile.h"

using namespace vk::app;
using namespace vk::apptest;
namespace fs = std::filesystem;

namespace {

class Wizard : public ::testing::Test {
protected:
    void SetUp() override { vk::platform::clearProfileCache(); }
    QPushButton* next() { return child<QPushButton>(&wizard, "cmdNext"); }
    QPushButton* back() { return child<QPushButton>(&wizard, "cmdBack"); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(&wizard, name); }
    QCheckBox* box(const char* name) { return child<QCheckBox>(&wizard, name); }
    QTreeWidget* list(const char* name) { return child<QTreeWidget>(&wizard, name); }
    void click(const char* name) { clickChild(&wizard, name); }
    // Moves with Next until the page is reached (nothing refused on the way).
    void nextTo(int page) {
        for (int i = 0; i < 12 && wizard.currentPage() != page; ++i) next()->click();
        ASSERT_EQ(wizard.currentPage(), page);
    }
    QString lastMessage() const { return dialogs.messages().empty() ? QString() : dialogs.messages().back().text; }
    std::string ini(const std::string& file, const char* section, const char* key) {
        vk::platform::clearProfileCache();
        return vk::script::getIniString(file, section, key, "<missing>");
    }

    ScriptedDialogs dialogs;
    KastScriptWizard wizard{nullptr, dialogs};
    vk::test::TempDir dir;
};

TEST_F(Wizard, OpensOnTheWelcomePageWithTheGroupsOff) {
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("KastScript Generator Wizard"));
    EXPECT_EQ(wizard.objectName(), QStringLiteral("frmKSWizard"));
    EXPECT_EQ(wizard.currentPage(), 0);
    EXPECT_FALSE(back()->isEnabled());
    EXPECT_EQ(next()->text(), KastScriptWizard::kNextCaption);
    EXPECT_EQ(back()->text(), QStringLiteral("< &Back"));
    EXPECT_EQ(child<QPushButton>(&wizard, "cmdCancel")->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(child<QComboBox>(&wizard, "cboDriveTypes")->currentText(), QStringLiteral("All Types"));
    for (const char* name : {"chkTerminateWS", "txtAppPath", "txtMD5Signature", "cmdAddProcess", "lvwProcessList",
                             "cmdRemove", "txtFilename", "cmdAddFile", "cmdRemove2", "txtRegistryKey", "txtNewValue",
                             "txtValueType", "cmdAddRegCh", "lvwRegChange", "cmdRemove3", "cboDriveTypes",
                             "txtFilename2", "cmdAddFilename", "lvwDelFiles", "cmdRemove6", "txtMD5",
                             "txtFileSizeLimit", "cmdGetMD5"})
        EXPECT_FALSE(child<QWidget>(&wizard, name)->isEnabled()) << name;
    EXPECT_TRUE(edit("txtAppPath")->isReadOnly());
    EXPECT_TRUE(box("chkFilterExt")->isEnabled());
    EXPECT_TRUE(box("chkIncludeSubDir")->isEnabled());
    // A ticked box enables its group again, text boxes writable.
    box("chkTerminateProc")->click();
    EXPECT_TRUE(edit("txtAppPath")->isEnabled());
    EXPECT_FALSE(edit("txtAppPath")->isReadOnly());
    EXPECT_TRUE(child<QWidget>(&wizard, "cmdRemove")->isEnabled());
    box("chkRunScan")->click();
    EXPECT_TRUE(edit("txtMD5")->isEnabled());
    EXPECT_FALSE(edit("txtFileExt")->isEnabled());
    box("chkFilterExt")->click();
    EXPECT_TRUE(edit("txtFileExt")->isEnabled());
    EXPECT_EQ(edit("txtKSName")->text(), QStringLiteral("My KastScript1"));
    EXPECT_EQ(edit("txtThreatName")->text(), QStringLiteral("Malware/AnyMalware.A"));
    EXPECT_EQ(edit("txtVersion")->text(), QStringLiteral("Version 1.0"));
    EXPECT_EQ(edit("txtRegistryKey")->text(), QStringLiteral("HKLM\\RegKey\\RegVal"));
}

TEST_F(Wizard, BasicInformationIsCheckedInItsOrder) {
    next()->click();
    ASSERT_EQ(wizard.currentPage(), 1);
    EXPECT_TRUE(back()->isEnabled());
    for (const char* name : {"txtKSName", "txtThreatName", "txtVersion", "txtCopyright"}) edit(name)->setText("  ");
    const char* const refusals[] = {"Please enter the name/title of your KastScript.",
                                    "Please enter the version info of your KastScript.",
                                    "Please enter the copyright info of your KastScript.",
                                    "Please enter the name of the malware that your KastScript will remove."};
    const char* const fields[] = {"txtKSName", "txtVersion", "txtCopyright", "txtThreatName"};
    for (int i = 0; i < 4; ++i) {
        next()->click();
        EXPECT_EQ(wizard.currentPage(), 1);
        EXPECT_EQ(lastMessage(), QString::fromLatin1(refusals[i]));
        EXPECT_EQ(dialogs.messages().back().title, QStringLiteral("Error"));
        edit(fields[i])->setText("x");
    }
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 2);
    back()->click();
    back()->click();
    EXPECT_EQ(wizard.currentPage(), 0);
    EXPECT_FALSE(back()->isEnabled());
}

TEST_F(Wizard, RegistryAndDrivePagesAreSkippedWhenSwitchedOff) {
    nextTo(4);
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 7);  // registry off: 5 and 6 skipped
    back()->click();
    EXPECT_EQ(wizard.currentPage(), 4);
    box("chkRegFuncs")->click();
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 5);
    next()->click();
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 7);
    back()->click();
    EXPECT_EQ(wizard.currentPage(), 6);
    next()->click();

    next()->click();  // drive disinfection off
    EXPECT_EQ(wizard.currentPage(), 9);
    EXPECT_EQ(next()->text(), KastScriptWizard::kCompileCaption);
    back()->click();
    EXPECT_EQ(wizard.currentPage(), 7);
    EXPECT_EQ(next()->text(), KastScriptWizard::kNextCaption);
    box("chkEnableFix")->click();
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 8);
    EXPECT_EQ(next()->text(), KastScriptWizard::kNextCaption);
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 9);
    EXPECT_EQ(next()->text(), KastScriptWizard::kCompileCaption);
    back()->click();
    EXPECT_EQ(wizard.currentPage(), 8);
    EXPECT_EQ(next()->text(), KastScriptWizard::kNextCaption);
    EXPECT_TRUE(dialogs.calls().empty());
}

TEST_F(Wizard, AddButtonsRefuseEmptyInputAndDuplicateKeys) {
    box("chkTerminateProc")->click();
    box("chkEnableDel")->click();
    box("chkRegFuncs")->click();
    box("chkEnableFix")->click();
    struct Case {
        const char* button;
        std::vector<const char*> emptied;
        const char* message;
    } cases[] = {
        {"cmdAddProcess", {"txtAppPath", "txtMD5Signature"},
         "Please enter a data in either \"Application Path\" or \"MD5 Signature\" fields."},
        {"cmdAddFile", {"txtFilename"}, "Please enter the filename."},
        {"cmdAddRegCh", {"txtRegistryKey"}, "Please enter a value in \"Registry Key\" field."},
        {"cmdAddRegCh", {"txtNewValue"}, "Please enter a value in \"New Registry Value\" field."},
        {"cmdAddRegCh", {"txtValueType"}, "Please enter a value in \"Value Type\" field."},
        {"cmdAddValue", {"txtRegValue"}, "Please enter the registry value that you want to add to the list."},
        {"cmdAddKey", {"txtRegKey"}, "Please enter the registry key that you want to add in the list."},
        {"cmdAddFilename", {"txtFilename2"}, "Please enter the filename."},
    };
    for (const Case& c : cases) {
        edit("txtRegistryKey")->setText("HKCU\\A");
        edit("txtNewValue")->setText("1");
        edit("txtValueType")->setText("REG_SZ");
        for (const char* name : c.emptied) edit(name)->setText("   ");
        dialogs.clear();
        click(c.button);
        EXPECT_EQ(lastMessage(), QString::fromLatin1(c.message)) << c.button;
    }
    // "n/a" for the empty column; texts as typed; inputs emptied.
    edit("txtMD5Signature")->setText("0123ABCD");
    click("cmdAddProcess");
    edit("txtAppPath")->setText(" /opt/worm ");
    click("cmdAddProcess");
    ASSERT_EQ(list("lvwProcessList")->topLevelItemCount(), 2);
    EXPECT_EQ(list("lvwProcessList")->topLevelItem(0)->text(0), QStringLiteral("n/a"));
    EXPECT_EQ(list("lvwProcessList")->topLevelItem(0)->text(1), QStringLiteral("0123ABCD"));
    EXPECT_EQ(list("lvwProcessList")->topLevelItem(1)->text(0), QStringLiteral(" /opt/worm "));
    EXPECT_EQ(list("lvwProcessList")->topLevelItem(1)->text(1), QStringLiteral("n/a"));
    EXPECT_TRUE(edit("txtAppPath")->text().isEmpty());

    for (const char* key : {"HKCU\\Run\\X", "hkcu\\run\\x"}) {
        edit("txtRegistryKey")->setText(key);
        edit("txtNewValue")->setText("v");
        edit("txtValueType")->setText("REG_SZ");
        dialogs.clear();
        click("cmdAddRegCh");
    }
    EXPECT_EQ(lastMessage(), QStringLiteral("Item is alredy on the list."));
    EXPECT_EQ(list("lvwRegChange")->topLevelItemCount(), 1);

    // Remove takes every selected entry.
    list("lvwProcessList")->selectAll();
    click("cmdRemove");
    EXPECT_EQ(list("lvwProcessList")->topLevelItemCount(), 0);
}

TEST_F(Wizard, DigestButtonsAndTheCompileName) {
    auto sample = dir.write("sample.exe", "worm bytes");
    box("chkTerminateProc")->click();
    box("chkRunScan")->click();
    dialogs.answerFile(QString::fromStdString(sample.string()));
    click("cmdBrowse");
    dialogs.answerFile(QString::fromStdString(sample.string()));
    click("cmdGetMD5");
    vk::checksum::Md5 md5;
    const QString digest = QString::fromStdString(md5.digestFileToHexStr(sample.string()));
    EXPECT_EQ(digest.size(), 32);
    EXPECT_EQ(edit("txtMD5Signature")->text(), digest);
    EXPECT_EQ(edit("txtMD5")->text(), digest);
    EXPECT_EQ(dialogs.calls()[0].request.title, QStringLiteral("Get MD5 checksum..."));
    EXPECT_EQ(dialogs.calls()[0].request.filter, QStringLiteral("All Files (*.*)|*.*"));

    for (const auto& [chosen, name] : {std::pair{"/x/myscript.vki", "/x/myscript.vki"}, {"/x/other", "/x/other.vki"}}) {
        dialogs.answerFile(QString::fromLatin1(chosen));
        click("cmdBrowse2");
        EXPECT_EQ(edit("txtCompile")->text(), QString::fromLatin1(name));
    }
    EXPECT_EQ(dialogs.calls().back().kind, ScriptedDialogs::Kind::SaveFile);
    EXPECT_EQ(dialogs.calls().back().request.title, QStringLiteral("Compile KastScript as..."));
    EXPECT_EQ(dialogs.calls().back().request.filter,
              QStringLiteral("INI-based KastScripts (*.vki)|*.vki|All Files (*.*)|*.*"));
    edit("txtCompile")->clear();
    dialogs.answerFile(QString());
    click("cmdBrowse2");
    EXPECT_TRUE(edit("txtCompile")->text().isEmpty());
}

TEST_F(Wizard, CompilesIntoAnExistingScriptAndFinishes) {
    const std::string file =
        dir.write("fix.vki", "[ManageFiles]\r\nDeleteFileCount=5\r\nDeleteFile5=keep-me\r\n").string();
    box("chkTerminateProc")->click();
    edit("txtMD5Signature")->setText("ABCDEF");
    click("cmdAddProcess");
    box("chkEnableDel")->click();
    edit("txtFilename")->setText("<WINDIR>\\worm.exe");
    click("cmdAddFile");
    nextTo(9);
    next()->click();
    EXPECT_EQ(lastMessage(), QStringLiteral("Please enter the filename where you want to compile you KastScript."));
    EXPECT_EQ(wizard.currentPage(), 9);
    edit("txtCompile")->setText(QString::fromStdString(file));
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 10);
    EXPECT_EQ(next()->text(), KastScriptWizard::kFinishedCaption);
    EXPECT_FALSE(back()->isEnabled());
    EXPECT_FALSE(child<QLabel>(&wizard, "lblCompiling")->isVisible());
    EXPECT_EQ(ini(file, "Main", "Title"), "My KastScript1");
    EXPECT_EQ(ini(file, "Main", "DoTerminateProcesses"), "1");
    EXPECT_EQ(ini(file, "TerminateProcess", "Process1_Path"), "");
    EXPECT_EQ(ini(file, "TerminateProcess", "Process1_MD5"), "ABCDEF");
    EXPECT_EQ(ini(file, "ManageFiles", "DeleteFileCount"), "1");
    EXPECT_EQ(ini(file, "ManageFiles", "DeleteFile1"), "<WINDIR>\\worm.exe");
    EXPECT_EQ(ini(file, "ManageFiles", "DeleteFile5"), "keep-me");
    EXPECT_EQ(ini(file, "DisinfectDrives", "DisinfectDriveType"), "6");
    wizard.show();
    next()->click();
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
}

TEST_F(Wizard, AFailedCompileStaysOnItsPage) {
    nextTo(9);
    const QString file = QString::fromStdString((dir / "missing/folder/x.vki").string());
    edit("txtCompile")->setText(file);
    next()->click();
    EXPECT_EQ(wizard.currentPage(), 9);
    EXPECT_EQ(lastMessage(), QStringLiteral("The KastScript could not be written to \"") + file +
                                 QStringLiteral("\". Please choose another file name or folder."));
    EXPECT_EQ(next()->text(), KastScriptWizard::kCompileCaption);
}

TEST_F(Wizard, CancelWritesNothing) {
    const std::string file = (dir / "never.vki").string();
    nextTo(9);
    edit("txtCompile")->setText(QString::fromStdString(file));
    wizard.show();
    click("cmdCancel");
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), QDialog::Rejected);
    EXPECT_FALSE(fs::exists(file));
}

// From the window's menu to a script the AutoRepair page runs.
TEST(WizardInWindow, AWizardWrittenScriptRunsOnTheAutoRepairPage) {
    vk::platform::clearProfileCache();
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-7f3a")});
    ScriptedDialogs dialogs;
    MainWindow window(dialogs, StartupOptions{0, true});
    ASSERT_TRUE(window.startUp({}));
    auto victim = home.dir.write("stick/autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
    vk::test::ScopedEnv drives("VANDRELKAST_DRIVES", ((home.dir / "stick").string() + "|1|1").c_str());
    const QString script = QString::fromStdString((home.dir / "made.vki").string());

    ModalDriver driver;
    driver.expect("frmKSWizard", [&](QWidget* w) {
        auto* next = child<QPushButton>(w, "cmdNext");
        next->click();
        child<QLineEdit>(w, "txtThreatName")->setText("Worm.Autorun");
        for (int i = 0; i < 4; ++i) next->click();  // 2, 3, 4, then 7 (registry off)
        child<QCheckBox>(w, "chkEnableFix")->click();
        child<QComboBox>(w, "cboDriveTypes")->setCurrentText("Removable Drives");
        child<QLineEdit>(w, "txtFilename2")->setText("autorun.inf");
        clickChild(w, "cmdAddFilename");
        next->click();
        next->click();
        child<QLineEdit>(w, "txtCompile")->setText(script);
        next->click();  // compile
        next->click();  // finished
        EXPECT_FALSE(w->isVisible()) << "page " << static_cast<KastScriptWizard*>(w)->currentPage();
        if (w->isVisible()) static_cast<QDialog*>(w)->reject();
    });
    window.autoRepairPage()->wizardButton()->click();
    EXPECT_TRUE(driver.allHandled());
    ASSERT_TRUE(fs::exists(script.toStdString()));

    window.autoRepairPage()->filenameBox()->setText(script);
    window.autoRepairPage()->runButton()->click();
    EXPECT_FALSE(fs::exists(victim));
    const std::string& text = window.console().text();
    EXPECT_NE(text.find("This KastScript is designed to remove virus strains of Worm.Autorun."), std::string::npos);
    EXPECT_NE(text.find("Deleting file: " + (home.dir / "stick").string() + "/autorun.inf"), std::string::npos) << text;
    for (const auto& c : dialogs.calls()) ADD_FAILURE() << c.text.toStdString();
}

}  // namespace
