#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/ScanDialogs.h"
#include "app/ScanPage.h"
#include "platform/IniProfile.h"
#include "scan/ScanEngine.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::readFile;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string kMarker = "VK-TEST-WORM-7f3a";

class ScanProgram : public ::testing::Test {
protected:
    void SetUp() override { vk::platform::clearProfileCache(); }
    std::unique_ptr<MainWindow> start(const ProgramHome&) {
        auto w = std::make_unique<MainWindow>(dialogs, StartupOptions{0, std::nullopt});
        EXPECT_TRUE(w->startUp({}));
        w->cmdHeaderClick(MainWindow::kSearchNDestroy);
        return w;
    }
    static QString label(QWidget* w, const char* name) { return child<QLabel>(w, name)->text(); }
    ScriptedDialogs dialogs;
};

const char* kAllFiles = "[Farwatch]\nNoFillupFormDisplay=1\n[ScanningOptions]\nFilterFileExtensions=0\n";

}  // namespace

TEST_F(ScanProgram, DetectionIsAnsweredInTheDialogAndCounted) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kAllFiles);
    TempDir tree;
    tree.write("clean.txt", "nothing to see");
    auto infected = tree.write("deep/er/holiday.jpg.exe", "MZ..." + kMarker + "...");
    tree.write("deep/readme.txt", "also clean");
    auto w = start(home);
    ScanPage* page = w->scanPage();

    ModalDriver driver;
    QString shownName, shownPath, shownVirus;
    bool stopCaptionDuringScan = false, settingsDisabled = false, scanningShown = false;
    driver.expect("frmDetection", [&](QWidget* d) {
        shownName = label(d, "lblFilename");
        shownPath = label(d, "lblPath");
        shownVirus = label(d, "lblVirusName");
        stopCaptionDuringScan = child<QPushButton>(w.get(), "cmdScanDir")->text() == "&Stop Scanning";
        settingsDisabled = !page->settingsButton()->isEnabled();
        scanningShown = child<QLabel>(page, "lblScanning")->isVisibleTo(page);
        EXPECT_TRUE(child<QRadioButton>(d, "optAction0")->isChecked());  // heal preselected
        child<QRadioButton>(d, "optAction1")->setChecked(true);           // delete
        clickChild(d, "cmdOK");
    });
    std::map<std::string, QString> stats;
    driver.expect("frmStatistics", [&](QWidget* d) {
        for (const char* n : {"lblFileScanned", "lblFilesInfected", "lblFilesHealed", "lblFilesDeleted",
                              "lblFilesRenamed"})
            stats[n] = label(d, n);
        clickChild(d, "cmdOK");
    });

    page->scanDirBox()->setText(QString::fromStdString(tree.str()));
    clickChild(page, "cmdScanDir");

    EXPECT_TRUE(driver.allHandled());
    EXPECT_TRUE(driver.unexpected().empty());
    EXPECT_EQ(shownName, QStringLiteral("holiday.jpg.exe"));
    EXPECT_EQ(shownPath, QString::fromStdString(infected.parent_path().string()));
    EXPECT_EQ(shownVirus, QStringLiteral("Worm.Test"));
    EXPECT_TRUE(stopCaptionDuringScan);
    EXPECT_TRUE(settingsDisabled);
    EXPECT_TRUE(scanningShown);
    EXPECT_FALSE(fs::exists(infected));
    EXPECT_EQ(stats["lblFileScanned"], QStringLiteral("3"));
    EXPECT_EQ(stats["lblFilesInfected"], QStringLiteral("1"));
    EXPECT_EQ(stats["lblFilesDeleted"], QStringLiteral("1"));
    EXPECT_EQ(stats["lblFilesHealed"], QStringLiteral("n/a"));
    EXPECT_EQ(stats["lblFilesRenamed"], QStringLiteral("n/a"));
    // Back to idle.
    EXPECT_FALSE(page->scanning());
    EXPECT_EQ(child<QPushButton>(page, "cmdScanDir")->text(), QStringLiteral("&Start Scanning!"));
    EXPECT_EQ(label(page, "lblFileScanned"), ScanPage::kIdleText);
    EXPECT_TRUE(page->settingsButton()->isEnabled());
    EXPECT_FALSE(child<QLabel>(page, "lblScanning")->isVisibleTo(page));
    EXPECT_TRUE(dialogs.calls().empty());
}

TEST_F(ScanProgram, FolderChecksBeforeTheScan) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kAllFiles);
    auto w = start(home);
    ScanPage* page = w->scanPage();
    page->scanDirBox()->setText(QStringLiteral("   "));
    clickChild(page, "cmdScanDir");
    page->scanDirBox()->setText(QStringLiteral("/no/such/folder/here"));
    clickChild(page, "cmdScanDir");
    auto m = dialogs.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, QStringLiteral("Please specify the directory you want to scan."));
    EXPECT_EQ(m[1].text, QStringLiteral("The directory \"/no/such/folder/here\" doesn't exists."));
    EXPECT_EQ(m[1].title, QStringLiteral("Error"));
    EXPECT_EQ(m[1].icon, MessageIcon::Critical);
    // Browse: a cancelled chooser ("My Computer" back) leaves the box alone.
    dialogs.clear();
    dialogs.answerFolder(QStringLiteral("My Computer"));
    dialogs.answerFolder(QStringLiteral("/tmp"));
    clickChild(page, "cmdBrowse2");
    EXPECT_EQ(page->scanDirBox()->text(), QStringLiteral("/no/such/folder/here"));
    clickChild(page, "cmdBrowse2");
    EXPECT_EQ(page->scanDirBox()->text(), QStringLiteral("/tmp"));
    EXPECT_EQ(dialogs.calls()[0].text, QStringLiteral("Please select a directory to scan..."));
    EXPECT_EQ(dialogs.calls()[0].request.initDir, QStringLiteral("My Computer"));
}

TEST_F(ScanProgram, StopEndsALongScanAndTheStatisticsFollow) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kAllFiles);
    TempDir tree;
    const std::string filler(8192, 'a');
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i)
        tree.write("d" + std::to_string(i % 40) + "/f" + std::to_string(i) + ".bin", filler);
    auto w = start(home);
    ScanPage* page = w->scanPage();
    bool pressed = false;
    w->eventPump().setAfterPump([&] {
        if (!pressed && w->scanEngine().filesScanned() >= 40) {
            pressed = true;
            // The same button, now "Stop", pressed while the scan runs.
            clickChild(page, "cmdScanDir");
        }
    });
    ModalDriver driver;
    QString scannedText;
    driver.expect("frmStatistics", [&](QWidget* d) {
        scannedText = label(d, "lblFileScanned");
        clickChild(d, "cmdOK");
    });
    page->scanDirBox()->setText(QString::fromStdString(tree.str()));
    clickChild(page, "cmdScanDir");
    w->eventPump().setAfterPump({});

    ASSERT_TRUE(pressed);
    EXPECT_TRUE(driver.allHandled());
    int scanned = w->scanEngine().filesScanned();
    EXPECT_GE(scanned, 40);
    EXPECT_LT(scanned, kFiles);
    EXPECT_EQ(scannedText, QString::number(scanned));
    EXPECT_FALSE(page->scanning());
    EXPECT_EQ(child<QPushButton>(page, "cmdScanDir")->text(), QStringLiteral("&Start Scanning!"));
}

TEST_F(ScanProgram, SettingsLoadFromConfigAndEveryChangeIsWritten) {
    struct Case {
        const char* performAction;
        int checked;  // -1: none
        int engineAction;
    };
    for (const Case& c : {Case{"4", 0, 0}, Case{"1", 1, 1}, Case{"3", 3, 3}, Case{"0", -1, 0}, Case{"x", -1, 0}}) {
        SCOPED_TRACE(c.performAction);
        std::string config = std::string("[Farwatch]\nNoFillupFormDisplay=1\n[ScanningOptions]\nPerformAction=") +
                             c.performAction + "\nFileSizeLimit=abc\nFilterFileExtensions=0\nFileFilters= exe;com \n";
        ProgramHome home({stringSignature("Worm.Test", kMarker)}, config);
        auto w = start(home);
        QWidget* s = w->page(MainWindow::kSndSettings);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(child<QRadioButton>(s, ("optActions" + std::to_string(i)).c_str())->isChecked(), i == c.checked);
        EXPECT_EQ(vk::scan::detectionActionCode(w->scanEngine().neutralizeMethods()), c.engineAction);
        EXPECT_EQ(child<QComboBox>(s, "cboFileSize")->currentText(), QStringLiteral("1"));
        EXPECT_EQ(w->scanEngine().fileSizeLimit(), 1);
        EXPECT_TRUE(child<QRadioButton>(s, "optScan0")->isChecked());
        EXPECT_FALSE(w->scanEngine().filterFiles());
        auto* filter = child<QLineEdit>(s, "txtFileFilter");
        EXPECT_FALSE(filter->isEnabled());
        EXPECT_TRUE(filter->isReadOnly());
        EXPECT_EQ(w->scanEngine().filter(), "exe;com");
        EXPECT_EQ(readFile(home.configIni()), config);  // nothing written at start-up
    }

    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto w = start(home);
    QWidget* s = w->page(MainWindow::kSndSettings);
    w->cmdHeaderClick(MainWindow::kSndSettings);
    const std::string ini = home.configIni();
    auto key = [&](const char* k) { return vk::platform::getProfileString(ini, "ScanningOptions", k, "<none>"); };
    EXPECT_EQ(key("PerformAction"), "<none>");
    const char* written[4] = {"4", "1", "2", "3"};
    for (int i : {2, 0, 3, 1}) {
        child<QRadioButton>(s, ("optActions" + std::to_string(i)).c_str())->click();
        EXPECT_EQ(key("PerformAction"), written[i]);
        EXPECT_EQ(vk::scan::detectionActionCode(w->scanEngine().neutralizeMethods()), i);
    }
    child<QRadioButton>(s, "optScan0")->click();
    EXPECT_EQ(key("FilterFileExtensions"), "0");
    EXPECT_FALSE(w->scanEngine().filterFiles());
    EXPECT_FALSE(child<QLineEdit>(s, "txtFileFilter")->isEnabled());
    child<QRadioButton>(s, "optScan1")->click();
    EXPECT_EQ(key("FilterFileExtensions"), "1");
    EXPECT_TRUE(w->scanEngine().filterFiles());
    auto* filter = child<QLineEdit>(s, "txtFileFilter");
    ASSERT_TRUE(filter->isEnabled());
    filter->clear();
    QTest::keyClicks(filter, " exe;vbs ");
    EXPECT_EQ(key("FileFilters"), "exe;vbs");
    EXPECT_EQ(w->scanEngine().filter(), "exe;vbs");

    // A second start reads it all back.
    w.reset();
    vk::platform::clearProfileCache();
    auto again = start(home);
    QWidget* s2 = again->page(MainWindow::kSndSettings);
    EXPECT_TRUE(child<QRadioButton>(s2, "optActions1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(s2, "optScan1")->isChecked());
    EXPECT_EQ(child<QLineEdit>(s2, "txtFileFilter")->text(), QStringLiteral("exe;vbs"));
    EXPECT_EQ(again->scanEngine().neutralizeMethods(), vk::scan::DetectionAction::Heal);
}

TEST_F(ScanProgram, SizeBoxTakesDigitsOnlyAndValidatesWhenLeft) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)});
    auto w = start(home);
    w->cmdHeaderClick(MainWindow::kSndSettings);
    QWidget* s = w->page(MainWindow::kSndSettings);
    auto* box = child<QComboBox>(s, "cboFileSize");
    const std::string ini = home.configIni();
    auto written = [&] { return vk::platform::getProfileString(ini, "ScanningOptions", "FileSizeLimit", "<none>"); };

    box->clearEditText();
    QTest::keyClicks(box, "4a-x2.");
    EXPECT_EQ(box->currentText(), QStringLiteral("42"));

    struct Case {
        const char* text;
        const char* message;  // nullptr: accepted
    };
    const Case cases[] = {{"", "Please specify the file size limit."},
                          {"abc", "Numeric values are only allowed."},
                          {"101", "File size limit must not exceed 100 MB."},
                          {"100", nullptr},
                          {"0", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        dialogs.clear();
        std::string before = written();
        box->setEditText(QString::fromLatin1(c.text));  // pasted text is not filtered
        bool ok = s->findChild<QComboBox*>("cboFileSize") && w->scanSettingsPage()->validateFileSize();
        if (c.message) {
            EXPECT_FALSE(ok);
            ASSERT_EQ(dialogs.messages().size(), 1u);
            EXPECT_EQ(dialogs.messages()[0].text, QString::fromLatin1(c.message));
            EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Error"));
            EXPECT_EQ(dialogs.messages()[0].icon, MessageIcon::Critical);
            EXPECT_EQ(written(), before);
        } else {
            EXPECT_TRUE(ok);
            EXPECT_TRUE(dialogs.calls().empty());
            EXPECT_EQ(written(), c.text);
            EXPECT_EQ(w->scanEngine().fileSizeLimit(), std::stoi(c.text));
        }
    }

    // Leaving the box validates; a refused value keeps the window from closing.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    box->setFocus();
    box->setEditText(QStringLiteral("250"));
    dialogs.clear();
    child<QRadioButton>(s, "optScan0")->setFocus();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("File size limit must not exceed 100 MB."));
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->scanSettingsPage()->fileSizeHasFocus());
    dialogs.clear();
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());  // refused: not even hidden
    EXPECT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(written(), "0");
}

TEST(ScanPrompt, CancelAsksAndOkChecksTheFolder) {
    ScriptedDialogs dialogs;
    TempDir dir;
    {
        ScanPromptDialog prompt(nullptr, dialogs);
        prompt.show();
        dialogs.answerMessage(MessageResult::No);
        clickChild(&prompt, "cmdCancel");
        EXPECT_TRUE(prompt.isVisible());
        EXPECT_EQ(prompt.result, QString());
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].text,
                  QStringLiteral("Removal process incomplete. Are you sure you don't want to scan your files for worms?"));
        EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Confirmation"));
        dialogs.answerMessage(MessageResult::No);
        EXPECT_FALSE(prompt.close());  // the close box asks too
        EXPECT_TRUE(prompt.isVisible());
        dialogs.answerMessage(MessageResult::Yes);
        clickChild(&prompt, "cmdCancel");
        EXPECT_FALSE(prompt.isVisible());
        EXPECT_EQ(prompt.result, QStringLiteral("canceled"));
    }
    {
        dialogs.clear();
        ScanPromptDialog prompt(nullptr, dialogs);
        prompt.show();
        auto* box = child<QLineEdit>(&prompt, "txtDir");
        box->setText(QStringLiteral("  "));
        clickChild(&prompt, "cmdScan");
        box->setText(QStringLiteral("/no/such/place"));
        clickChild(&prompt, "cmdScan");
        auto m = dialogs.messages();
        ASSERT_EQ(m.size(), 2u);
        EXPECT_EQ(m[0].text, QStringLiteral("Please select a drive or folder to scan for worms."));
        EXPECT_EQ(m[1].text,
                  QStringLiteral("The specified folder doesn't exists, please select another folder or drive to scan."));
        EXPECT_TRUE(prompt.isVisible());
        box->setText(QString::fromStdString(dir.str()));
        clickChild(&prompt, "cmdScan");
        EXPECT_EQ(prompt.result, QStringLiteral("success"));
        EXPECT_EQ(prompt.folder, QString::fromStdString(dir.str()));
        EXPECT_FALSE(prompt.isVisible());
    }
    {
        dialogs.clear();
        ScanPromptDialog prompt(nullptr, dialogs);
        prompt.show();
        prompt.closeWithoutAsking();  // program exit
        EXPECT_FALSE(prompt.isVisible());
        EXPECT_TRUE(dialogs.calls().empty());
    }
}

TEST(DetectionDialog, PathsAreFittedAndTheChoiceIsMapped) {
    QWidget owner;
    const QString longFolder = QStringLiteral("/media/stick/") + QString(200, QLatin1Char('d'));
    using vk::scan::DetectionAction;
    const DetectionAction results[4] = {DetectionAction::Heal, DetectionAction::Delete, DetectionAction::Rename,
                                        DetectionAction::Ignore};
    for (int i = 0; i < 4; ++i) {
        DetectionDialog d(&owner, owner.font());
        d.fill(longFolder + QStringLiteral("/x.exe"), QStringLiteral("W32.Test"));
        QString path = child<QLabel>(&d, "lblPath")->text();
        EXPECT_TRUE(path.endsWith(QStringLiteral("...")));
        EXPECT_TRUE(longFolder.startsWith(path.chopped(3)));
        EXPECT_LT(owner.fontMetrics().horizontalAdvance(path), DetectionDialog::kPathWidth);
        EXPECT_EQ(child<QLabel>(&d, "lblFilename")->text(), QStringLiteral("x.exe"));
        EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
        d.show();
        child<QRadioButton>(&d, ("optAction" + std::to_string(i)).c_str())->setChecked(true);
        clickChild(&d, "cmdOK");
        EXPECT_EQ(d.choice(), results[i]);
    }
    DetectionDialog closed(&owner, owner.font());
    closed.show();
    closed.close();
    EXPECT_EQ(closed.choice(), DetectionAction::Ignore);  // closed without OK
}

TEST_F(ScanProgram, FailedActionsAndUnreadFilesAreListedInTheStatistics) {
    // A quarantine too small for the file: the heal cannot keep a copy, so it does not delete.
    ProgramHome home({stringSignature("Worm.Test", kMarker)},
                     std::string(kAllFiles) + "PerformAction=1\nQuarantineSizeLimit=0\n");
    TempDir tree;
    auto infected = tree.write("sub/worm\nname.exe", "MZ" + kMarker);
    auto w = start(home);
    ScanPage* page = w->scanPage();
    ModalDriver driver;
    QString healed, failedCaption;
    QStringList failed;
    driver.expect("frmStatistics", [&](QWidget* d) {
        healed = label(d, "lblFilesHealed");
        auto* list = child<QListWidget>(d, "lstFailedActions");
        if (list)
            for (int i = 0; i < list->count(); ++i) failed << list->item(i)->text();
        for (auto* l : d->findChildren<QLabel*>())
            if (l->text() == QStringLiteral("Could not delete:")) failedCaption = l->text();
        clickChild(d, "cmdOK");
    });
    page->scanDirBox()->setText(QString::fromStdString(tree.str()));
    clickChild(page, "cmdScanDir");
    EXPECT_TRUE(driver.allHandled());
    EXPECT_TRUE(fs::exists(infected));
    EXPECT_EQ(healed, QStringLiteral("n/a"));
    EXPECT_EQ(failedCaption, QStringLiteral("Could not delete:"));
    // One line per name: the newline is shown, not obeyed.
    EXPECT_EQ(failed, QStringList{QString::fromStdString(tree.str()) + QStringLiteral("/sub/worm\u240Aname.exe")});

    ScanCounters counters{5, 0, 0, 0, 0, 2, {}};
    StatisticsDialog stats(nullptr, counters);
    EXPECT_EQ(label(&stats, "lblFilesNotScanned"), QStringLiteral("2"));
    EXPECT_EQ(child<QListWidget>(&stats, "lstFailedActions"), nullptr);
    StatisticsDialog none(nullptr, ScanCounters{});
    EXPECT_EQ(label(&none, "lblFilesNotScanned"), QStringLiteral("n/a"));
}

TEST_F(ScanProgram, TheFolderBoxExpandsHomeStartsOnEnterAndBrowseOpensThere) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kAllFiles);
    TempDir fakeHome;
    fakeHome.write("stick/a.txt", "clean");
    fakeHome.write("stick/b.txt", "clean");
    vk::test::ScopedEnv homeEnv("HOME", fakeHome.str().c_str());
    auto w = start(home);
    ScanPage* page = w->scanPage();
    ModalDriver driver;
    QString scanned;
    driver.expect("frmStatistics", [&](QWidget* d) {
        scanned = label(d, "lblFileScanned");
        clickChild(d, "cmdOK");
    });
    page->scanDirBox()->setText(QStringLiteral("~/stick"));
    QTest::keyClick(page->scanDirBox(), Qt::Key_Return);
    EXPECT_TRUE(driver.allHandled());
    EXPECT_EQ(scanned, QStringLiteral("2"));
    EXPECT_EQ(page->scanDirBox()->text(), QString::fromStdString((fakeHome / "stick").string()));

    dialogs.clear();
    dialogs.answerFolder(QStringLiteral("My Computer"));
    clickChild(page, "cmdBrowse2");
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].request.initDir, QString::fromStdString((fakeHome / "stick").string()));
}

TEST_F(ScanProgram, TheQuarantineWindowRestoresWhatAHealRemoved) {
    ProgramHome home({stringSignature("Worm.Test", kMarker)}, kAllFiles);
    TempDir tree;
    const std::string body = "MZ\x01\x02" + kMarker + std::string(1000, '\x7f');
    auto infected = tree.write("worm.exe", body);
    auto w = start(home);
    ScanPage* page = w->scanPage();
    ModalDriver driver;
    driver.expect("frmDetection", [&](QWidget* d) { clickChild(d, "cmdOK"); });  // heal, preselected
    driver.expect("frmStatistics", [&](QWidget* d) { clickChild(d, "cmdOK"); });
    page->scanDirBox()->setText(QString::fromStdString(tree.str()));
    clickChild(page, "cmdScanDir");
    ASSERT_TRUE(driver.allHandled());
    ASSERT_FALSE(fs::exists(infected));
    EXPECT_EQ(w->scanEngine().filesHealed(), 1);

    QStringList rows;
    int left = -1;
    driver.expect("frmQuarantine", [&](QWidget* d) {
        auto* list = child<QTreeWidget>(d, "lvwQuarantine");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows << list->topLevelItem(i)->text(1) + QStringLiteral(" ") + list->topLevelItem(i)->text(2);
        clickChild(d, "cmdRestore");
        left = list->topLevelItemCount();
        clickChild(d, "cmdClose");
    });
    clickChild(page, "cmdQuarantine");
    EXPECT_TRUE(driver.allHandled());
    EXPECT_EQ(rows, QStringList{QStringLiteral("Worm.Test ") + QString::fromStdString(infected.string())});
    EXPECT_EQ(left, 0);
    EXPECT_EQ(readFile(infected), body);
    EXPECT_TRUE(dialogs.messages().empty());
}
