#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/AutoRepairPage.h"
#include "app/KillersMenu.h"
#include "app/RunAsDialog.h"
#include "app/TextFit.h"
#include "platform/IniProfile.h"
#include "script/ScriptStop.h"

using namespace vk::app;
using namespace vk::apptest;
namespace fs = std::filesystem;

namespace {

const char* const kIniScript = "[Main]\r\nTitle=Ini Ran\r\nThreatName=Worm.X\r\n";
const char* const kVbsScript = "IOMessage \"vbs ran\"\r\n";

class AutoRepair : public ::testing::Test {
protected:
    void SetUp() override {
        vk::platform::clearProfileCache();
        window = std::make_unique<MainWindow>(dialogs, StartupOptions{0, true});
        ASSERT_TRUE(window->startUp({}));
        page = window->autoRepairPage();
        ASSERT_NE(page, nullptr);
        window->cmdHeaderClick(MainWindow::kAutoRepair);
    }
    QString file(const std::string& name, const std::string& text) {
        return QString::fromStdString(home.dir.write(name, text).string());
    }
    void run(const QString& typed) {
        page->filenameBox()->setText(typed);
        page->runButton()->click();
    }
    std::string console() const { return window->console().text(); }
    QStringList menuTexts(QMenu* menu) const {
        QStringList texts;
        for (QAction* a : menu->actions()) texts << a->text() + (a->isEnabled() ? "" : " (off)");
        return texts;
    }

    ProgramHome home{{stringSignature("Worm.Test", "VK-TEST-7f3a")}};
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    AutoRepairPage* page = nullptr;
};

TEST_F(AutoRepair, PageControlsAndCaptions) {
    EXPECT_EQ(page->runButton()->text(), AutoRepairPage::kRunCaption);
    EXPECT_EQ(child<QPushButton>(page, "cmdBrowse")->text(), QStringLiteral("&Browse..."));
    EXPECT_EQ(child<QPushButton>(page, "cmdKillers")->text(), QStringLiteral("Built-in &Killers"));
    auto* box = child<QPlainTextEdit>(page, "txtConsole");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(box->toPlainText().startsWith(QStringLiteral("AutoRepair Console\n")));
}

TEST_F(AutoRepair, RefusesBlankAndMissingPathsWithTheirMessages) {
    const std::string before = console();
    QString folder = QString::fromStdString(home.dir.str());
    struct Case {
        QString typed;
        QString message;
    } cases[] = {
        {QStringLiteral("    "), QStringLiteral("Please specify the KastScript you want to run.")},
        {QStringLiteral(" /no/such/fix.vki"), QStringLiteral("The kastscript file \" /no/such/fix.vki\" doesn't exists.")},
        {folder, QStringLiteral("The kastscript file \"") + folder + QStringLiteral("\" doesn't exists.")},
    };
    for (const Case& c : cases) {
        dialogs.clear();
        run(c.typed);
        ASSERT_EQ(dialogs.messages().size(), 1u) << c.typed.toStdString();
        EXPECT_EQ(dialogs.messages()[0].text, c.message);
        EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Error"));
        EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Critical);
    }
    EXPECT_EQ(console(), before);
}

TEST_F(AutoRepair, EngineChosenByExtensionAndTheRunAsDialogForOthers) {
    QString ini = file("X.VKI", kIniScript);
    QString vbs = file("X.Kst", kVbsScript);
    run(QStringLiteral("  ") + ini + QStringLiteral(" "));  // trimmed before it is run
    EXPECT_TRUE(console().starts_with("Ini Ran\r\n")) << console();
    EXPECT_NE(console().find("Repair finished."), std::string::npos);
    run(vbs);
    EXPECT_EQ(console(), "vbs ran");
    EXPECT_TRUE(dialogs.calls().empty());

    // X.txt holds text both engines can read; the answer decides which runs.
    QString txt = file("X.txt", std::string(kIniScript) + "' \r\n");
    for (int answer : {-1, RunAsDialog::kIni, RunAsDialog::kVbs}) {
        ModalDriver driver;
        bool preselected = false, closeRefused = false;
        QString caption;
        driver.expect("frmRunAs", [&](QWidget* d) {
            caption = d->windowTitle();
            preselected = child<QRadioButton>(d, "optRunAs0")->isChecked();
            d->close();
            closeRefused = d->isVisible();
            if (answer >= 0) child<QRadioButton>(d, answer == 0 ? "optRunAs0" : "optRunAs1")->setChecked(true);
            clickChild(d, "cmdOK");
        });
        window->console().setText("old");
        run(txt);
        EXPECT_TRUE(driver.allHandled());
        EXPECT_EQ(caption, QStringLiteral("KastScripts"));
        EXPECT_TRUE(preselected);
        EXPECT_TRUE(closeRefused);
        if (answer == RunAsDialog::kVbs) {
            // The INI text is no VBScript: the host reports the syntax error.
            ASSERT_EQ(dialogs.messages().size(), 1u);
            EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("VBScript Error"));
            EXPECT_TRUE(dialogs.messages()[0].text.startsWith(QStringLiteral("KastScript Error:\r\n\r\nError Number:")));
            EXPECT_EQ(console(), "");
        } else {
            EXPECT_TRUE(console().starts_with("Ini Ran")) << answer;
        }
        dialogs.clear();
    }
}

TEST_F(AutoRepair, ScriptErrorShowsTheVBScriptErrorDialog) {
    QString vbs = file("bad.vks", "IOMessage \"before\"\r\nx = 1 / 0\r\nIOMessage \"after\"\r\n");
    run(vbs);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const auto m = dialogs.messages()[0];
    EXPECT_EQ(m.title, QStringLiteral("VBScript Error"));
    EXPECT_EQ(m.icon, MessageIcon::Critical);
    EXPECT_EQ(m.text, QStringLiteral("KastScript Error:\r\n\r\nError Number:11\r\nError Description: Division by zero"));
    EXPECT_EQ(console(), "before");
    EXPECT_EQ(page->runButton()->text(), AutoRepairPage::kRunCaption);
}

TEST_F(AutoRepair, GlobalsSurviveBetweenRuns) {
    run(file("a.vks", "keep = 41\r\n"));
    run(file("b.vks", "IOMessage keep + 1\r\n"));
    EXPECT_EQ(console(), "42");
}

TEST_F(AutoRepair, StopEndsALoopingScriptWhileTheWindowStaysUsable) {
    QString vbs = file("loop.vks", "IOMessage \"tick\"\r\nDo\r\n  n = n + 1\r\nLoop\r\n");
    bool pressed = false, tickShown = false, otherPageWorked = false;
    window->eventPump().setAfterPump([&] {
        if (pressed || !page->running()) return;
        // The line shows while the script still runs.
        tickShown = page->consoleBox()->toPlainText() == QStringLiteral("tick");
        if (!tickShown) return;
        // The window answers meanwhile: another page, then back.
        window->cmdHeaderClick(MainWindow::kMain);
        otherPageWorked = window->currentPage() == MainWindow::kMain;
        window->cmdHeaderClick(MainWindow::kAutoRepair);
        EXPECT_EQ(page->runButton()->text(), AutoRepairPage::kStopCaption);
        pressed = true;
        page->runButton()->click();
    });
    run(vbs);
    window->eventPump().setAfterPump({});
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(tickShown);
    EXPECT_TRUE(otherPageWorked);
    EXPECT_FALSE(page->running());
    EXPECT_EQ(page->runButton()->text(), AutoRepairPage::kRunCaption);
    EXPECT_EQ(console(), "tick\r\n" + std::string(vk::script::kScriptStoppedLine));
    EXPECT_TRUE(dialogs.calls().empty());
}

TEST_F(AutoRepair, StopEndsAnIniRun) {
    // A scan long enough for the pump's interval to come round.
    for (int i = 0; i < 2000; ++i) home.dir.write("drive/f" + std::to_string(i), "x");
    vk::test::ScopedEnv drives("VANDRELKAST_DRIVES", ((home.dir / "drive").string() + "|1|1").c_str());
    QString ini = file("fix.vki", std::string(kIniScript) +
                                      "DoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\nRunScan=1\r\n");
    window->eventPump().setAfterPump([&] {
        if (page->running() && page->runButton()->text() == AutoRepairPage::kStopCaption) page->runButton()->click();
    });
    run(ini);
    window->eventPump().setAfterPump({});
    EXPECT_EQ(console().find("Repair finished."), std::string::npos);
    std::size_t scanned = 0;
    for (std::size_t at = 0; (at = console().find("Scanning File: ", at)) != std::string::npos; ++at) ++scanned;
    EXPECT_LT(scanned, 2000u);
    EXPECT_TRUE(console().ends_with(std::string(vk::script::kScriptStoppedLine))) << console();
}

TEST_F(AutoRepair, ShowScanFileDialogReturnsThePromptsFolder) {
    QString vbs = file("ask.vks", "IOMessage \"[\" & ShowScanFileDialog(\"none\") & \"]\"\r\n");
    const QString folder = QString::fromStdString(home.dir.str());
    for (bool confirm : {true, false}) {
        ModalDriver driver;
        driver.expect("frmScanPrompt", [&](QWidget* d) {
            if (confirm) {
                child<QLineEdit>(d, "txtDir")->setText(folder);
                clickChild(d, "cmdScan");
            } else {
                dialogs.answerMessage(MessageResult::Yes);  // "Removal process incomplete..."
                clickChild(d, "cmdCancel");
            }
        });
        run(vbs);
        EXPECT_TRUE(driver.allHandled());
        EXPECT_EQ(console(), confirm ? "[" + home.dir.str() + "]" : std::string("[none]"));
    }
}

TEST_F(AutoRepair, KillersMenuFromTheFolder) {
    QMenu* menu = page->killersMenu().menu();
    page->cmdKillers_Click();
    EXPECT_EQ(menuTexts(menu), QStringList{QStringLiteral("No killers available! (off)")});
    menu->hide();

    home.dir.write("killers/a.txt", "x");
    page->cmdKillers_Click();
    EXPECT_EQ(menuTexts(menu), QStringList{QStringLiteral("no killers available... (off)")});
    menu->hide();

    home.dir.write("killers/Fix1.vki", kIniScript);
    home.dir.write("killers/b.KST", kVbsScript);
    page->cmdKillers_Click();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menuTexts(menu), (QStringList{QStringLiteral("b"), QStringLiteral("Fix1")}));
    menu->hide();

    const std::string before = console();
    menu->actions()[1]->trigger();
    EXPECT_EQ(page->filenameBox()->text(), QString::fromStdString((home.dir / "killers/Fix1.vki").string()));
    EXPECT_EQ(console(), before);  // nothing run
}

TEST_F(AutoRepair, BrowseFillsThePathAndCancelKeepsIt) {
    page->filenameBox()->setText(QStringLiteral("kept"));
    dialogs.answerFile(QString());
    page->cmdBrowse_Click();
    EXPECT_EQ(page->filenameBox()->text(), QStringLiteral("kept"));
    dialogs.answerFile(QStringLiteral("/x/y.vks"));
    page->cmdBrowse_Click();
    EXPECT_EQ(page->filenameBox()->text(), QStringLiteral("/x/y.vks"));
    ASSERT_EQ(dialogs.calls().size(), 2u);
    const auto& r = dialogs.calls()[0].request;
    EXPECT_EQ(r.title, QStringLiteral("Run KastScript..."));
    EXPECT_EQ(r.filter, QStringLiteral("KastScript (*.kst, *.vks, *.vki)|*.kst; *.vki; *.vks|All Files (*.*)|*.*"));
    EXPECT_EQ(r.initDir, QString::fromStdString(home.dir.str() + "/killers"));
}

TEST_F(AutoRepair, TrayFixRestoresSelectsAndRuns) {
    home.dir.write("killers/Clean Stick.vks", "IOMessage \"fixed\"\r\n");
    window->cmdHeaderClick(MainWindow::kMain);
    window->hide();
    window->taskIconRightClick();
    window->trayMenu()->hide();
    QMenu* fixes = window->fixesMenu().menu();
    ASSERT_EQ(menuTexts(fixes), QStringList{QStringLiteral("Clean Stick")});
    EXPECT_EQ(fixes->actions()[0]->objectName(), QStringLiteral("mnuFixes0"));
    fixes->actions()[0]->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->currentPage(), MainWindow::kAutoRepair);
    EXPECT_EQ(page->filenameBox()->text(), QString::fromStdString((home.dir / "killers/Clean Stick.vks").string()));
    EXPECT_EQ(console(), "fixed");
}

}  // namespace
