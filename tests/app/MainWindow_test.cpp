#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/ScanPage.h"
#include "app/TextFit.h"
#include "scan/DatabaseFile.h"
#include "scan/SignatureDatabase.h"
#include "platform/IniProfile.h"
#include "scan/ScanEngine.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::readFile;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string kMarker = "VK-TEST-WORM-7f3a";

class Program : public ::testing::Test {
protected:
    void SetUp() override { vk::platform::clearProfileCache(); }
    std::unique_ptr<MainWindow> start(const QStringList& args = {}, bool tray = true) {
        auto w = std::make_unique<MainWindow>(dialogs, StartupOptions{0, tray});
        started = w->startUp(args);
        return w;
    }
    ScriptedDialogs dialogs;
    bool started = false;
};

std::string configText(const ProgramHome& home) { return readFile(home.configIni()); }

}  // namespace

TEST_F(Program, StartsWithCaptionDatabaseInfoConsolePageZeroAndTray) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)},
                     "[Window]\nCaption=My Cleaner\n[Farwatch]\nNoFillupFormDisplay=1\n");
    const std::string before = configText(home);
    auto w = start();
    ASSERT_TRUE(started);
    EXPECT_TRUE(dialogs.calls().empty());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("My Cleaner"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("My Cleaner"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->currentPage(), 0);
    for (int i = 0; i < MainWindow::kPageCount; ++i) {
        EXPECT_EQ(w->page(i)->isVisibleTo(w.get()), i == 0) << i;
        EXPECT_EQ(w->header(i)->isVisibleTo(w.get()), i == 0) << i;
    }
    auto* main = w->page(0);
    EXPECT_EQ(child<QLabel>(main, "lblDBVersion")->text(), QStringLiteral("2026.3.14"));
    EXPECT_EQ(child<QLabel>(main, "lblDBCount")->text(), QStringLiteral("1"));
    EXPECT_FALSE(child<QLabel>(main, "lblDBDate")->text().isEmpty());
    EXPECT_EQ(w->console().text(), toBytes(MainWindow::initialConsoleText()));
    EXPECT_TRUE(w->console().text().ends_with("Have a nice day!!!\r\n\r\n - Ilse Vandrel\r\n   VandrelKast Author"));
    auto* box = child<QPlainTextEdit>(w.get(), "txtConsole");
    EXPECT_TRUE(box->toPlainText().startsWith(QStringLiteral("AutoRepair Console\n-------------------------\n")));
    EXPECT_TRUE(w->taskIcon().added());
    EXPECT_EQ(w->taskIcon().tipText(), QStringLiteral("VandrelKast 1.4.0 Beta"));
    EXPECT_EQ(w->hideWindowAction()->text(), QStringLiteral("&Hide VandrelKast"));
    EXPECT_EQ(configText(home), before);  // nothing written at start-up

    // Every page through cmdHeaderClick; the Farwatch loader re-reads its keys.
    vk::platform::writeProfileString(home.configIni(), "Farwatch", "Name", "Later Name");
    for (int i = MainWindow::kPageCount - 1; i >= 0; --i) {
        w->cmdHeaderClick(i);
        for (int j = 0; j < MainWindow::kPageCount; ++j) EXPECT_EQ(w->page(j)->isVisibleTo(w.get()), i == j);
    }
    w->cmdHeaderClick(MainWindow::kFarwatch);
    EXPECT_EQ(child<QLineEdit>(w->page(10), "txtName2")->text(), QStringLiteral("Later Name"));
    EXPECT_EQ(w->scanEngine().username(), "Later Name");
}

TEST_F(Program, PumpMessagesAndWaitSecondsServeTheQueue) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto w = start();
    int served = 0;
    QTimer::singleShot(0, [&] { ++served; });
    w->pumpMessages();
    EXPECT_EQ(served, 1);
    QTimer::singleShot(0, [&] { ++served; });
    w->waitSeconds(0.6);  // the rounded start lies at most half a second back: it waits
    EXPECT_EQ(served, 2);
    const QString text = QStringLiteral("/a/rather/long/path/to/some/file.exe");
    EXPECT_EQ(w->compactText(text, 10000), text);
    EXPECT_TRUE(w->compactText(text, 60).endsWith(QStringLiteral("...")));
}

TEST_F(Program, DefaultCaptionCarriesTheVersion) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto w = start();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("VandrelKast [Version 1.4.0 Beta]"));
}

TEST_F(Program, TrayMenuHasEveryEntryAndLaterOnesAreDisabled) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto w = start();
    QMenu* menu = w->trayMenu();
    QStringList top;
    for (QAction* a : menu->actions()) top << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(top, (QStringList{"&Hide VandrelKast", "-", "&View", "Run VandrelKast fixes...", "&Extra Tools...", "-",
                                "Fix my PC from malware infection...", "Search for malicious processes...",
                                "Configure my PC's system configuration....", "Scan my storage devices for malware...",
                                "-", "&About VandrelKast", "-", "E&xit VandrelKast"}));
    EXPECT_EQ(menu->defaultAction(), w->hideWindowAction());
    EXPECT_FALSE(menu->findChild<QAction*>("mnuFixes0")->isEnabled());
    EXPECT_TRUE(menu->findChild<QAction*>("mnuAbout")->isEnabled());
    EXPECT_TRUE(menu->findChild<QAction*>("mnuRun")->isEnabled());
    // Quick launch and View entries restore the window and select their page.
    w->toggleWindow();
    ASSERT_FALSE(w->isVisible());
    menu->findChild<QAction*>("mnuQuickLaunch3")->trigger();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->currentPage(), MainWindow::kSearchNDestroy);
    menu->findChild<QAction*>("mnuSndSettings")->trigger();
    EXPECT_EQ(w->currentPage(), MainWindow::kSndSettings);
    menu->findChild<QAction*>("mnuQuickLaunch2")->trigger();
    EXPECT_EQ(w->currentPage(), MainWindow::kRegistryTweaks);
}

TEST(SilentStart, OnlyTheSingleSwitchInAnyCase) {
    EXPECT_TRUE(isSilentStart({"/s"}));
    EXPECT_TRUE(isSilentStart({"/S"}));
    EXPECT_FALSE(isSilentStart({}));
    EXPECT_FALSE(isSilentStart({"/s", "now"}));
    EXPECT_FALSE(isSilentStart({"-s"}));
    EXPECT_FALSE(isSilentStart({"/silent"}));
}

TEST_F(Program, SlashSStartsHiddenInTheTray) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto w = start({"/S"});
    ASSERT_TRUE(started);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->hideWindowAction()->text(), QStringLiteral("&Show VandrelKast"));
    EXPECT_TRUE(w->taskIcon().added());
    w->hideWindowAction()->trigger();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
    EXPECT_EQ(w->hideWindowAction()->text(), QStringLiteral("&Hide VandrelKast"));
}

TEST_F(Program, WithoutATrayTheWindowIsOnlyMinimised) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto silent = start({"/s"}, false);
    EXPECT_TRUE(silent->isVisible());
    EXPECT_TRUE(silent->isMinimized());
    silent->toggleWindow();
    EXPECT_FALSE(silent->isMinimized());
    EXPECT_FALSE(silent->close());
    EXPECT_TRUE(silent->isVisible());
    EXPECT_TRUE(silent->isMinimized());
    EXPECT_FALSE(silent->unloaded());
    EXPECT_EQ(silent->hideWindowAction()->text(), QStringLiteral("&Show VandrelKast"));
}

TEST_F(Program, CloseBoxHidesToTrayAndExitAsks) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto w = start();
    w->findChild<QTimer*>("tmrAutoScan")->stop();  // AutoScan is on by default
    EXPECT_FALSE(w->close());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->unloaded());
    EXPECT_EQ(w->hideWindowAction()->text(), QStringLiteral("&Show VandrelKast"));
    emit w->taskIcon().dblClick();
    EXPECT_TRUE(w->isVisible());
    w->taskIconRightClick();
    EXPECT_EQ(w->hideWindowAction()->text(), QStringLiteral("&Hide VandrelKast"));
    w->trayMenu()->hide();

    dialogs.answerMessage(MessageResult::No);
    clickChild(w.get(), "cmdExit");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    auto m = dialogs.messages()[0];
    EXPECT_EQ(m.text, QStringLiteral("Are you sure you want to quit VandrelKast?"));
    EXPECT_EQ(m.title, QStringLiteral("Exit VandrelKast"));
    EXPECT_EQ(m.icon, MessageIcon::Question);
    EXPECT_EQ(m.buttons, MessageButtons::YesNo);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->unloaded());

    // With the AutoScan poll running the warning is the long one.
    w->findChild<QTimer*>("tmrAutoScan")->start();
    dialogs.answerMessage(MessageResult::Yes);
    w->trayMenu()->findChild<QAction*>("mnuExit")->trigger();
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(dialogs.messages()[1].text.startsWith(
        QStringLiteral("VandrelKast's AutoScan feature is currently enabled.")));
    EXPECT_TRUE(dialogs.messages()[1].text.endsWith(
        QStringLiteral("malware.\r\nDo you really want to shut down VandrelKast?")));
    EXPECT_TRUE(w->unloaded());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->taskIcon().added());
}

TEST_F(Program, DatabaseErrorsEndTheProgramAfterTheirMessage) {
    struct Case {
        const char* what;
        int number;
    };
    for (const Case& c : {Case{"missing", 1025}, Case{"newer", 1026}, Case{"magic", 1028}, Case{"crc", 1029}}) {
        SCOPED_TRACE(c.what);
        dialogs.clear();
        ProgramHome home({stringSignature("Worm.Test", kMarker)}, "[Farwatch]\nNoFillupFormDisplay=1\n",
                         std::string(c.what) == "newer" ? "9.0.0" : "1.4.0");
        std::string db = home.database();
        std::string bytes = readFile(db);
        if (std::string(c.what) == "missing") fs::remove(db);
        if (std::string(c.what) == "magic") home.dir.write("signatures.dat", "not a database at all, really not");
        if (std::string(c.what) == "crc") {
            bytes[bytes.size() - 2] ^= 0x55;
            home.dir.write("signatures.dat", bytes);
        }
        auto w = start();
        EXPECT_FALSE(started);
        EXPECT_TRUE(w->ended());
        EXPECT_FALSE(w->isVisible());
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Error #%1").arg(c.number));
        EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Critical);
        EXPECT_FALSE(w->taskIcon().added());
    }
}

TEST_F(Program, NotLoadedErrorDoesNotEndTheProgram) {
    // A database of no signatures fails inside the loader (an internal
    // error, not one of the four): the program stays without a database.
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    vk::scan::DatabaseMain main{"1", "1.4.0", {2026, 1, 1}, 0};
    home.dir.write("signatures.dat", vk::scan::buildDatabaseFile(vk::scan::formatPayload(main, {})));
    TempDir tree;
    tree.write("one.exe", "hello");
    auto w = start();
    ASSERT_TRUE(started);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_FALSE(w->ended());

    dialogs.clear();
    ModalDriver driver;
    driver.expect("frmStatistics", [](QWidget* d) { clickChild(d, "cmdOK"); });
    w->cmdHeaderClick(MainWindow::kSearchNDestroy);
    w->scanPage()->scanDirBox()->setText(QString::fromStdString(tree.str()));
    clickChild(w->page(6), "cmdScanDir");
    ASSERT_GE(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Error #1027"));
    EXPECT_FALSE(w->ended());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(driver.allHandled());
}
