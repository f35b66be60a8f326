#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"
#include "app/AutoScanPage.h"
#include "app/ScanPage.h"
#include "platform/IniProfile.h"
#include "scan/AutoScan.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::readFile;
using vk::test::ScopedEnv;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string kMarker = "VK-TEST-WORM-7f3a";
const std::string kBaseConfig = "[Farwatch]\nNoFillupFormDisplay=1\n[ScanningOptions]\nFilterFileExtensions=0\n";
const QString kAsk = QStringLiteral(
    "A new removable drive is just inserted. Do you want VandrelKast to scan it for viruses, worms, trojans, and "
    "other kinds of malware?");
const QString kRefusal = QStringLiteral(
    "A new removable drive is just inserted but VandrelKast cannot scan it. VandrelKast is currently scanning other "
    "file locations. To scan the removable drive you've inserted, stop the scanning process first and scan your "
    "removable drive manually.");

// The window with a scripted drive list: a test plugs and pulls folders as sticks.
class AutoScanProgram : public ::testing::Test {
protected:
    void SetUp() override { vk::platform::clearProfileCache(); }

    std::unique_ptr<MainWindow> start(const ProgramHome&) {
        auto w = std::make_unique<MainWindow>(dialogs, StartupOptions{0, true});
        EXPECT_TRUE(w->startUp({}));
        return w;
    }
    // Polls come from the test, not from the clock.
    static QTimer* timer(MainWindow& w) { return w.findChild<QTimer*>(QStringLiteral("tmrAutoScan")); }

    void plug(const std::vector<fs::path>& sticks) {
        std::ofstream out(list);
        for (const auto& s : sticks) out << s.string() << "|1|1\n";
    }
    // A stick whose autorun.inf starts payload.exe, with one infected file.
    fs::path wormStick(const std::string& name) {
        fs::path root = dir / name;
        dir.write(name + "/autorun.inf", "[autorun]\r\nopen=payload.exe\r\n");
        dir.write(name + "/payload.exe", "MZ payload");
        dir.write(name + "/photos/holiday.jpg.exe", "MZ..." + kMarker + "...");
        return root;
    }
    std::string config(const ProgramHome& home) { return readFile(home.configIni()); }
    std::string key(const ProgramHome& home, const char* name) {
        return vk::platform::getProfileString(home.configIni(), "AutoScan", name, "(missing)");
    }
    // Deletes whatever the detection dialog shows.
    static void deleteDetected(QWidget* d) {
        child<QRadioButton>(d, "optAction1")->setChecked(true);
        clickChild(d, "cmdOK");
    }

    TempDir dir;
    fs::path list = dir / "drives.txt";
    ScopedEnv drives{"VANDRELKAST_DRIVES", ("@" + list.string()).c_str()};
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(AutoScanProgram, LoaderSetsTimerWatcherAndControlsFromConfig) {
    struct Case {
        const char* keys;
        bool enabled, prompt, removeAutoRun;
    };
    const Case cases[] = {
        {"", true, true, true},
        {"EnableAutoScan=0\n", false, true, true},
        {"EnableAutoScan=yes\n", false, true, true},
        {"PromptScan=0\n", true, false, true},
        {"PromptScan=2\nRemoveAutoRun=0\n", true, false, false},
        {"RemoveAutoRun=2\n", true, true, false},
        {"RemoveAutoRun=1.0\n", true, true, true},
        {"RemoveAutoRun=junk\n", true, true, true},  // not a number: ignored
        {"EnableAutoScan=0\nPromptScan=0\nRemoveAutoRun=0\n", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        vk::platform::clearProfileCache();
        ProgramHome home({stringSignature("Worm.Test", kMarker)}, kBaseConfig + "[AutoScan]\n" + c.keys);
        const std::string before = config(home);
        auto w = start(home);
        EXPECT_EQ(timer(*w)->isActive(), c.enabled);
        EXPECT_EQ(timer(*w)->interval(), 500);
        EXPECT_EQ(w->autoScan().scanPrompt(), c.prompt);
        EXPECT_EQ(w->autoScan().removeAutoRun(), c.removeAutoRun);
        QWidget* page = w->autoScanPage();
        EXPECT_EQ(child<QCheckBox>(page, "chkEnableAutoScan")->isChecked(), c.enabled);
        EXPECT_EQ(child<QRadioButton>(page, "optAutoScan0")->isChecked(), c.prompt);
        EXPECT_EQ(child<QRadioButton>(page, "optAutoScan1")->isChecked(), !c.prompt);
        EXPECT_EQ(child<QCheckBox>(page, "chkRemoveAR")->isChecked(), c.removeAutoRun);
        for (const char* name : {"optAutoScan0", "optAutoScan1", "chkRemoveAR", "chkVKStartup"})
            EXPECT_EQ(child<QWidget>(page, name)->isEnabled(), c.enabled) << name;
        EXPECT_EQ(config(home), before);
    }
}

TEST_F(AutoScanProgram, PageCaptionsAndClicksWriteConfigAndSwitchThePoll) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kBaseConfig);
    const fs::path stick = wormStick("E");
    plug({});
    auto w = start(home);
    w->cmdHeaderClick(MainWindow::kAutoScan);
    QWidget* page = w->autoScanPage();
    auto* enable = child<QCheckBox>(page, "chkEnableAutoScan");
    auto* remove = child<QCheckBox>(page, "chkRemoveAR");
    EXPECT_EQ(enable->text(), QStringLiteral("Enable AutoScan feature."));
    EXPECT_EQ(child<QRadioButton>(page, "optAutoScan0")->text(),
              QStringLiteral("Ask me first if I what to scan my removable drive."));
    EXPECT_EQ(child<QRadioButton>(page, "optAutoScan1")->text(),
              QStringLiteral("Automatically scan my removable drives."));
    EXPECT_EQ(child<QLabel>(page, "lblRemoveAR")->text(),
              QStringLiteral("Automatically remove Autorun file (Autorun.inf) in my drives and add an AutoRun "
                             "Protection on it. (Highly Recommended!)"));

    enable->click();
    EXPECT_FALSE(timer(*w)->isActive());
    EXPECT_EQ(key(home, "EnableAutoScan"), "0");
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_FALSE(child<QWidget>(page, "chkVKStartup")->isEnabled());

    // Plugged while AutoScan was off: learnt when it comes back on, not treated.
    plug({stick});
    enable->click();
    EXPECT_TRUE(timer(*w)->isActive());
    EXPECT_EQ(key(home, "EnableAutoScan"), "1");
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_FALSE(w->autoScan().firstPollDone());
    timer(*w)->stop();
    w->pollDrives();
    EXPECT_EQ(w->autoScan().knownDrives(), std::vector<std::string>{stick.string()});
    EXPECT_TRUE(fs::exists(stick / "autorun.inf"));

    clickChild(page, "optAutoScan1");
    EXPECT_FALSE(w->autoScan().scanPrompt());
    EXPECT_EQ(key(home, "PromptScan"), "0");
    clickChild(page, "optAutoScan0");
    EXPECT_TRUE(w->autoScan().scanPrompt());
    EXPECT_EQ(key(home, "PromptScan"), "1");

    remove->click();
    EXPECT_FALSE(w->autoScan().removeAutoRun());
    EXPECT_EQ(key(home, "RemoveAutoRun"), "0");
    // The wrapped caption clicks the box too.
    QTest::mouseClick(child<QLabel>(page, "lblRemoveAR"), Qt::LeftButton);
    EXPECT_TRUE(remove->isChecked());
    EXPECT_TRUE(w->autoScan().removeAutoRun());
    EXPECT_EQ(key(home, "RemoveAutoRun"), "1");
    EXPECT_TRUE(dialogs.calls().empty());
}

TEST_F(AutoScanProgram, StickPluggedLaterIsCleanedNotifiedAndScannedAsAnswered) {
    for (MessageResult answer : {MessageResult::Yes, MessageResult::No}) {
        const bool yes = answer == MessageResult::Yes;
        SCOPED_TRACE(yes ? "yes" : "no");
        vk::platform::clearProfileCache();
        dialogs.clear();
        ProgramHome home({stringSignature("Worm.Test", kMarker)},
                         kBaseConfig + "[AutoScan]\nWebsite=https://sticks.example.test/\n");
        const std::string tag = yes ? "y" : "n";
        const fs::path early = wormStick("early" + tag);
        const fs::path late = wormStick("late" + tag);
        // A file of the payload's name beside the sticks is not the stick's.
        const fs::path outside = dir.write("payload.exe", "not on the stick");
        plug({early});
        auto w = start(home);
        timer(*w)->stop();
        w->pollDrives();
        EXPECT_TRUE(fs::exists(early / "autorun.inf"));
        EXPECT_FALSE(fs::exists(early / "Autorun.inf" / "Readme.txt"));
        EXPECT_TRUE(dialogs.calls().empty());

        ModalDriver driver;
        QString detected;
        if (yes) {
            driver.expect("frmDetection", [&](QWidget* d) {
                detected = child<QLabel>(d, "lblPath")->text() + "/" + child<QLabel>(d, "lblFilename")->text();
                deleteDetected(d);
            });
            driver.expect("frmStatistics", [](QWidget* d) { clickChild(d, "cmdOK"); });
        }
        dialogs.answerMessage(answer);
        plug({early, late});
        w->pollDrives();

        EXPECT_FALSE(fs::exists(late / "autorun.inf"));
        EXPECT_FALSE(fs::exists(late / "payload.exe"));
        EXPECT_TRUE(fs::exists(late / "photos"));
        EXPECT_EQ(readFile(outside), "not on the stick");
        EXPECT_TRUE(fs::is_directory(late / "Autorun.inf"));
        EXPECT_TRUE(readFile(late / "Autorun.inf" / "Readme.txt").ends_with("\r\n\r\nhttps://sticks.example.test/\r\n"));
        EXPECT_TRUE(fs::exists(early / "autorun.inf"));

        const auto& notice = w->taskIcon().lastNotification();
        EXPECT_EQ(notice.title, QStringLiteral("VandrelKast AutoScan"));
        EXPECT_EQ(notice.text, QStringLiteral("Removable drive ") + QString::fromStdString(late.string()) +
                                   QStringLiteral(": removed Autorun.inf, deleted \"payload.exe\" that it started, "
                                                  "added the AutoRun protection."));

        auto m = dialogs.messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].text, kAsk);
        EXPECT_EQ(m[0].icon, MessageIcon::Question);
        EXPECT_EQ(m[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(m[0].title, applicationTitle());

        EXPECT_TRUE(driver.allHandled());
        EXPECT_TRUE(driver.unexpected().empty());
        EXPECT_EQ(fs::exists(late / "photos" / "holiday.jpg.exe"), !yes);
        if (yes) {
            EXPECT_EQ(detected, QString::fromStdString((late / "photos" / "holiday.jpg.exe").string()));
            EXPECT_EQ(w->currentPage(), MainWindow::kSearchNDestroy);
            EXPECT_EQ(w->scanPage()->scanDirBox()->text(), QString::fromStdString(late.string()));
        } else {
            EXPECT_NE(w->currentPage(), MainWindow::kSearchNDestroy);
        }

        // Pulled out and plugged in again, it is treated again: the folder stays.
        plug({early});
        w->pollDrives();
        dialogs.answerMessage(MessageResult::No);
        plug({early, late});
        w->pollDrives();
        EXPECT_TRUE(fs::is_directory(late / "Autorun.inf"));
        EXPECT_EQ(dialogs.messages().size(), 2u);
        fs::remove(outside);
    }
}

TEST_F(AutoScanProgram, TheTimerPollsAndCleaningIsToldWithoutAScan) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kBaseConfig + "[AutoScan]\nPromptScan=1\n");
    const fs::path stick = dir / "bare";
    fs::create_directories(stick);
    plug({});
    auto w = start(home);
    ASSERT_TRUE(timer(*w)->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->autoScan().firstPollDone(); }, 5000));
    dialogs.answerMessage(MessageResult::No);
    plug({stick});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->taskIcon().lastNotification().text.isEmpty(); }, 5000));
    EXPECT_EQ(w->taskIcon().lastNotification().text, QStringLiteral("Removable drive ") +
                                                          QString::fromStdString(stick.string()) +
                                                          QStringLiteral(": added the AutoRun protection."));
    EXPECT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(fs::exists(stick / "Autorun.inf" / "Readme.txt"));
}

namespace {

// A scan of a folder with two infected files runs; a stick is plugged while the
// first detection is on screen.
struct DuringScan {
    std::vector<std::string> queuedDuringScan;
    bool scanningDuringPoll = false;
    QStringList detected;
    std::vector<QString> infectedCounts;
};

}  // namespace

class AutoScanDuringScan : public AutoScanProgram {
protected:
    // What the handlers saw; the fixture's, so it outlives a handler left unrun.
    DuringScan seen;
    void run(MainWindow& w, const fs::path& tree, const fs::path& stick, ModalDriver& driver, bool expectQueuedScan) {
        auto detection = [this](QWidget* d) {
            seen.detected << child<QLabel>(d, "lblFilename")->text();
            deleteDetected(d);
        };
        driver.expect("frmDetection", [this, &w, stick, detection](QWidget* d) {
            seen.scanningDuringPoll = w.scanning();
            plug({stick});
            w.pollDrives();
            seen.queuedDuringScan = w.queuedDrives();
            detection(d);
        });
        driver.expect("frmDetection", detection);
        auto statistics = [this](QWidget* d) {
            seen.infectedCounts.push_back(child<QLabel>(d, "lblFilesInfected")->text());
            clickChild(d, "cmdOK");
        };
        driver.expect("frmStatistics", statistics);
        if (expectQueuedScan) {
            driver.expect("frmDetection", detection);
            driver.expect("frmStatistics", statistics);
        }
        w.cmdHeaderClick(MainWindow::kSearchNDestroy);
        w.scanPage()->scanDirBox()->setText(QString::fromStdString(tree.string()));
        w.scanPage()->cmdScanDir_Click();
        // The scan has ended; the next poll sees to what waited for it.
        w.pollDrives();
    }
    fs::path infectedTree() {
        dir.write("tree/a.exe", "MZ" + kMarker);
        dir.write("tree/b.exe", "MZ" + kMarker);
        return dir / "tree";
    }
};

TEST_F(AutoScanDuringScan, WithPromptingOnTheStickIsRefusedAndNotScannedLater) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kBaseConfig);
    const fs::path tree = infectedTree();
    const fs::path stick = wormStick("F");
    plug({});
    auto w = start(home);
    timer(*w)->stop();
    w->pollDrives();

    ModalDriver driver;
    run(*w, tree, stick, driver, false);
    w->pollDrives();

    EXPECT_TRUE(seen.scanningDuringPoll);
    EXPECT_TRUE(driver.allHandled());
    EXPECT_TRUE(driver.unexpected().empty());
    auto m = dialogs.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, kRefusal);
    EXPECT_EQ(m[0].icon, MessageIcon::Critical);
    EXPECT_EQ(m[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(m[0].title, applicationTitle());
    // The running scan went on to its end.
    EXPECT_EQ(seen.detected, (QStringList{"a.exe", "b.exe"}));
    EXPECT_EQ(seen.infectedCounts, std::vector<QString>{"2"});
    EXPECT_TRUE(w->queuedDrives().empty());
    // Cleaned, but never scanned.
    EXPECT_FALSE(fs::exists(stick / "autorun.inf"));
    EXPECT_TRUE(fs::exists(stick / "photos" / "holiday.jpg.exe"));
    EXPECT_EQ(w->currentPage(), MainWindow::kSearchNDestroy);
}

TEST_F(AutoScanDuringScan, WithPromptingOffTheStickWaitsAndIsScannedAfterTheRunningScan) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kBaseConfig + "[AutoScan]\nPromptScan=0\n");
    const fs::path tree = infectedTree();
    const fs::path stick = wormStick("G");
    plug({});
    auto w = start(home);
    timer(*w)->stop();
    w->pollDrives();

    ModalDriver driver;
    run(*w, tree, stick, driver, true);

    EXPECT_TRUE(seen.scanningDuringPoll);
    EXPECT_EQ(seen.queuedDuringScan, std::vector<std::string>{stick.string()});
    EXPECT_TRUE(driver.allHandled());
    EXPECT_TRUE(driver.unexpected().empty());
    EXPECT_TRUE(dialogs.calls().empty());
    EXPECT_EQ(seen.detected, (QStringList{"a.exe", "b.exe", "holiday.jpg.exe"}));
    EXPECT_EQ(seen.infectedCounts, (std::vector<QString>{"2", "1"}));
    EXPECT_TRUE(w->queuedDrives().empty());
    EXPECT_FALSE(fs::exists(stick / "photos" / "holiday.jpg.exe"));
    EXPECT_EQ(w->scanPage()->scanDirBox()->text(), QString::fromStdString(stick.string()));
}

TEST_F(AutoScanDuringScan, AQueuedStickPulledOutBeforeItsTurnIsNotScanned) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kBaseConfig + "[AutoScan]\nPromptScan=0\n");
    const fs::path tree = infectedTree();
    const fs::path stick = wormStick("H");
    plug({});
    auto w = start(home);
    timer(*w)->stop();
    w->pollDrives();

    ModalDriver driver;
    driver.expect("frmDetection", [&](QWidget* d) {
        plug({stick});
        w->pollDrives();
        plug({});
        w->pollDrives();
        deleteDetected(d);
    });
    driver.expect("frmDetection", [](QWidget* d) { deleteDetected(d); });
    driver.expect("frmStatistics", [](QWidget* d) { clickChild(d, "cmdOK"); });
    w->scanPage()->scanDirBox()->setText(QString::fromStdString(tree.string()));
    w->scanPage()->cmdScanDir_Click();
    w->pollDrives();
    EXPECT_TRUE(driver.allHandled());
    EXPECT_TRUE(driver.unexpected().empty());
    EXPECT_TRUE(w->queuedDrives().empty());
    EXPECT_TRUE(fs::exists(stick / "photos" / "holiday.jpg.exe"));
}
