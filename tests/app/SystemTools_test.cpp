#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/AboutWindow.h"
#include "app/AutoScanPage.h"
#include "app/LinkLabel.h"
#include "app/LogAgentPage.h"
#include "app/RegistryTweaksPage.h"
#include "app/RunDialog.h"
#include "app/StartupEntryViewerPage.h"
#include "app/TextFit.h"
#include "support/RunProgram.h"
#include "support/TestDesktop.h"
#include "tools/StartupEntries.h"

using namespace vk::app;
using namespace vk::apptest;
using namespace vk::platform;
using vk::test::readFile;
namespace fs = std::filesystem;

namespace {

const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunDisabled = "Software\\Microsoft\\Windows\\CurrentVersion\\Run-";
const char* const kSystem = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char* const kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char* const kIeMain = "Software\\Microsoft\\Internet Explorer\\Main";

class SystemTools : public ::testing::Test, protected vk::test::SystemFixture {
protected:
    std::unique_ptr<MainWindow> start() {
        auto w = std::make_unique<MainWindow>(dialogs, StartupOptions{0, true});
        EXPECT_TRUE(w->startUp({}));
        return w;
    }
    ProgramHome home{{stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")}};
    ScriptedDialogs dialogs;
};

// Records what the desktop was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

class DesktopUrls {
public:
    DesktopUrls() {
        for (const char* s : {"file", "http", "https"}) QDesktopServices::setUrlHandler(s, &recorder, "open");
    }
    ~DesktopUrls() {
        for (const char* s : {"file", "http", "https"}) QDesktopServices::unsetUrlHandler(s);
    }
    UrlRecorder recorder;
};

std::vector<std::pair<QString, bool>> listLines(QListWidget* list) {
    std::vector<std::pair<QString, bool>> out;
    for (int i = 0; i < list->count(); ++i)
        out.emplace_back(list->item(i)->text(), list->item(i)->checkState() == Qt::Checked);
    return out;
}

QString crlf(QString text) { return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")); }

}  // namespace

TEST_F(SystemTools, LoadingEveryPageWritesNothing) {
    // Values the old loader rewrote: 2 became 0, a blank title was deleted.
    registry.putDword(kHkeyCurrentUser, kSystem, "DisableTaskMgr", 2);
    registry.putString(kHkeyCurrentUser, kIeMain, "Window Title", "  ");
    registry.putDword(kHkeyCurrentUser, kExplorer, "NoDriveTypeAutoRun", 0x91);
    registry.putDword(kHkeyCurrentUser, kExplorer, "NoRun", 2);
    registry.putString(kHkeyCurrentUser, kRun, "Updater", "C:\\u.exe");
    registry.putString(kHkeyLocalMachine, kRun, "VandrelKast", "/opt/vk/vandrelkast /s");
    writeSystem(1, "clock.desktop", "[Desktop Entry]\nExec=clock\n");
    writeUser("notes.desktop", "[Desktop Entry]\nExec=notes\nHidden=true\n");
    const auto store = registry.files();
    const auto desktop = desktopFiles();
    const std::string config = readFile(home.configIni());

    auto w = start();
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < MainWindow::kPageCount; ++i) w->cmdHeaderClick(i);
    EXPECT_EQ(registry.files(), store);
    EXPECT_EQ(desktopFiles(), desktop);
    EXPECT_EQ(readFile(home.configIni()), config);
    EXPECT_TRUE(child<QCheckBox>(w.get(), "chkTaskMgr")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(w.get(), "chkWEShowRun")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(w.get(), "chkARUnknown")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(w.get(), "chkVKStartup")->isChecked());
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtIECaption")->text(), QStringLiteral("  "));
}

TEST_F(SystemTools, StartupLineMovesAndMovesBackKeepingItsText) {
    registry.putString(kHkeyCurrentUser, kRun, "Updater", "C:\\u.exe");
    registry.putString(kHkeyLocalMachine, kRun, "Updater", "C:\\u.exe");
    registry.putRaw(kHkeyCurrentUser, kRun, "Expanded", kRegExpandSz, std::string("%TEMP%\\x.exe\0", 13));
    writeSystem(1, "clock.desktop", "[Desktop Entry]\nExec=clock --tray\n");
    auto w = start();
    w->cmdHeaderClick(MainWindow::kStartupEntryViewer);
    auto* list = child<QListWidget>(w.get(), "lstStartup");
    const std::vector<std::pair<QString, bool>> loaded = {{QStringLiteral("C:\\u.exe"), true},
                                                          {QStringLiteral("C:\\u.exe (Updater)"), true},
                                                          {QStringLiteral("clock --tray (clock.desktop)"), true}};
    ASSERT_EQ(listLines(list), loaded);
    EXPECT_EQ(list->currentRow(), 0);

    list->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRun, "Updater"), std::nullopt);
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRunDisabled, "Updater"), "C:\\u.exe");
    EXPECT_EQ(registry.getString(kHkeyCurrentUser, kRun, "Updater"), "C:\\u.exe");
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("C:\\u.exe (Updater)"));
    list->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRun, "Updater"), "C:\\u.exe");
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRunDisabled, "Updater"), std::nullopt);

    // The desktop entry: a user override hides it, checking removes the override.
    list->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(fs::exists(userFile("clock.desktop")));
    w->cmdHeaderClick(MainWindow::kStartupEntryViewer);
    EXPECT_EQ(list->item(2)->checkState(), Qt::Unchecked);
    list->item(2)->setCheckState(Qt::Checked);
    EXPECT_FALSE(fs::exists(userFile("clock.desktop")));
    w->cmdHeaderClick(MainWindow::kStartupEntryViewer);
    EXPECT_EQ(listLines(list), loaded);
}

TEST_F(SystemTools, RefusedMoveLosesNothingAndPutsTheMarkBack) {
    registry.putString(kHkeyLocalMachine, kRun, "Updater", "C:\\u.exe");
    registry.putString(kHkeyLocalMachine, kRunDisabled, "Parked", "C:\\p.exe");
    registry.makeReadOnly();
    const auto store = registry.files();
    auto w = start();
    w->cmdHeaderClick(MainWindow::kStartupEntryViewer);
    auto* list = child<QListWidget>(w.get(), "lstStartup");
    ASSERT_EQ(list->count(), 2);
    list->item(0)->setCheckState(Qt::Unchecked);
    list->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(registry.files(), store);
    EXPECT_EQ(w->startupEntryViewerPage()->startupEntries()[0].keyPath, vk::tools::kMachineRunKey);
    EXPECT_TRUE(dialogs.calls().empty());
}

TEST_F(SystemTools, AutorunBoxesLoadAndWriteTheirBits) {
    auto w = start();
    w->cmdHeaderClick(MainWindow::kAutorunManager);
    const char* names[] = {"chkARRemovable", "chkARFixed", "chkARRemote", "chkARCDROM", "chkARRAM", "chkARUnknown"};
    for (const char* n : names) EXPECT_FALSE(child<QCheckBox>(w.get(), n)->isChecked()) << n;
    child<QCheckBox>(w.get(), "chkARRemovable")->click();
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kExplorer, "NoDriveTypeAutoRun"), 0x04u);

    registry.putDword(kHkeyCurrentUser, kExplorer, "NoDriveTypeAutoRun", 0x91);
    w->cmdHeaderClick(MainWindow::kAutorunManager);
    for (const char* n : names) {
        bool expected = std::string(n) == "chkARUnknown" || std::string(n) == "chkARRemote";
        EXPECT_EQ(child<QCheckBox>(w.get(), n)->isChecked(), expected) << n;
    }
    child<QCheckBox>(w.get(), "chkARUnknown")->click();
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kExplorer, "NoDriveTypeAutoRun"), 0x11u);
}

TEST_F(SystemTools, TweaksLoadTheirTestsAndWriteOnlyWhenTheUserChangesThem) {
    registry.putDword(kHkeyCurrentUser, kSystem, "DisableTaskMgr", 1);
    registry.putDword(kHkeyLocalMachine, kExplorer, "NoFolderOptions", 2);
    registry.putString(kHkeyCurrentUser, kIeMain, "Window Title", "Owned by worm");
    registry.putString(kHkeyCurrentUser, kIeMain, "Start Page", "http://bad.example/");
    auto w = start();
    w->cmdHeaderClick(MainWindow::kRegistryTweaks);
    auto* task = child<QCheckBox>(w.get(), "chkTaskMgr");
    EXPECT_FALSE(task->isChecked());
    EXPECT_TRUE(child<QCheckBox>(w.get(), "chkWEFolOpt")->isChecked());
    task->click();
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kSystem, "DisableTaskMgr"), 0u);
    child<QCheckBox>(w.get(), "chkWECtrlPanel")->click();  // design state checked: now unchecked
    EXPECT_EQ(registry.getDword(kHkeyLocalMachine, kExplorer, "NoControlPanel"), 1u);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, kExplorer, "NoControlPanel"), std::nullopt);

    auto* title = child<QLineEdit>(w.get(), "txtIECaption");
    EXPECT_EQ(title->text(), QStringLiteral("Owned by worm"));
    title->selectAll();
    QTest::keyClicks(title, QStringLiteral(" "));
    EXPECT_EQ(registry.get(kHkeyCurrentUser, kIeMain, "Window Title"), std::nullopt);
    QTest::keyClicks(title, QStringLiteral("Mine"));
    EXPECT_EQ(registry.getString(kHkeyCurrentUser, kIeMain, "Window Title"), " Mine");

    auto* home = child<QLineEdit>(w.get(), "txtIEHomepage");
    home->selectAll();
    QTest::keyClick(home, Qt::Key_Backspace);
    EXPECT_EQ(registry.getString(kHkeyCurrentUser, kIeMain, "Start Page"), "");
}

TEST_F(SystemTools, LogAgentSnapshotClipboardAndSave) {
    registry.putDword(kHkeyCurrentUser, kSystem, "DisableTaskMgr", 1);
    auto w = start();
    w->cmdHeaderClick(MainWindow::kLogAgent);
    auto* box = child<QPlainTextEdit>(w.get(), "txtLogAgent");
    EXPECT_TRUE(box->toPlainText().isEmpty());
    clickChild(w.get(), "cmdTakeSS");
    const std::string log = w->logAgentPage()->logText();
    EXPECT_NE(log.find("\r\nHKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\\"DisableTaskMgr\" = "
                       "1\r\n"),
              std::string::npos);
    EXPECT_EQ(toBytes(crlf(box->toPlainText())), log);
    clickChild(w.get(), "cmdTakeSS");
    EXPECT_EQ(box->toPlainText().count(QStringLiteral("VandrelKast Log Agent")), 1);

    clickChild(w.get(), "cmdClipboard");
    EXPECT_EQ(toBytes(QGuiApplication::clipboard()->text()), w->logAgentPage()->logText());

    vk::test::TempDir out;
    const std::string saved = w->logAgentPage()->logText();
    dialogs.answerFile(fromBytes((out / "log").string()));
    clickChild(w.get(), "cmdSaveLog");
    EXPECT_EQ(readFile(out / "log.txt"), saved + "\r\n");
    dialogs.answerFile(fromBytes((out / "second.txt").string()));
    clickChild(w.get(), "cmdSaveLog");
    EXPECT_TRUE(fs::exists(out / "second.txt"));
    EXPECT_FALSE(fs::exists(out / "second.txt.txt"));
    ASSERT_EQ(dialogs.calls().size(), 2u);
    EXPECT_EQ(dialogs.calls()[0].request.title, QStringLiteral("Save log file..."));
    EXPECT_EQ(dialogs.calls()[0].request.filter, QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*"));

    // A file that cannot be written: an error naming it, nothing written.
    dialogs.answerFile(fromBytes((out / "missing/log").string()));
    clickChild(w.get(), "cmdSaveLog");
    auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(messages[0].text.contains(fromBytes((out / "missing/log.txt").string()))) << messages[0].text.toStdString();
    EXPECT_FALSE(fs::exists(out / "missing"));
    // Cancelled: nothing.
    clickChild(w.get(), "cmdSaveLog");
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

// One source of text: vklog prints what the page shows, but for the process
// lines (each lists the processes running at its own moment).
TEST_F(SystemTools, VklogPrintsThePagesSnapshot) {
    std::string vklog = vk::test::builtProgram("vklog");
    if (vklog.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    registry.putDword(kHkeyCurrentUser, kSystem, "DisableTaskMgr", 1);
    registry.putString(kHkeyLocalMachine, kRun, "Machine", "C:\\m.exe");
    writeSystem(1, "clock.desktop", "[Desktop Entry]\nExec=clock\nHidden=true\n");
    auto w = start();
    w->cmdHeaderClick(MainWindow::kLogAgent);
    clickChild(w.get(), "cmdTakeSS");
    std::string page = w->logAgentPage()->logText() + "\r\n";
    std::vector<std::pair<std::string, std::string>> env = {{"VANDRELKAST_REGISTRY", registry.folder()}};
    auto result = vk::test::runProgram(vklog, {}, env);
    ASSERT_EQ(result.status, 0) << result.err;
    vk::test::TempDir out;
    auto toFile = vk::test::runProgram(vklog, {(out / "snap.txt").string()}, env);
    ASSERT_EQ(toFile.status, 0) << toFile.err;

    auto withoutProcesses = [](const std::string& text, const std::string& ownProgram) {
        const std::string start = "Running Processes:\r\n" + std::string(40, '=') + "\r\n";
        std::size_t from = text.find(start);
        std::size_t to = text.find("\r\n" + std::string(40, '=') + "\r\nStartup List", from);
        if (from == std::string::npos || to == std::string::npos) return std::string("(no process block)");
        std::string block = text.substr(from + start.size(), to - from - start.size());
        if (block.find(ownProgram) == std::string::npos) return std::string("(own process missing)");
        return text.substr(0, from + start.size()) + text.substr(to);
    };
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string expected = withoutProcesses(page, self);
    EXPECT_EQ(withoutProcesses(result.out, fs::canonical(vklog).string()), expected);
    EXPECT_EQ(withoutProcesses(readFile(out / "snap.txt"), fs::canonical(vklog).string()), expected);
    EXPECT_NE(expected.find("clock (disabled)"), std::string::npos);
}

TEST_F(SystemTools, StartWithTheComputerBox) {
    registry.putString(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "VandrelKast", "");
    auto w = start();
    w->cmdHeaderClick(MainWindow::kAutoScan);
    auto* box = child<QCheckBox>(w.get(), "chkVKStartup");
    EXPECT_EQ(box->text(), QStringLiteral("Launch VandrelKast everytime I start my computer."));
    EXPECT_FALSE(box->isChecked());
    box->click();
    const std::string command = toBytes(programPath()) + " /s";
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRun, "VandrelKast"), command);
    EXPECT_TRUE(fs::exists(userFile("vandrelkast.desktop")));
    box->click();
    EXPECT_EQ(registry.get(kHkeyLocalMachine, kRun, "VandrelKast"), std::nullopt);
    EXPECT_FALSE(fs::exists(userFile("vandrelkast.desktop")));
    writeUser("vandrelkast.desktop", "[Desktop Entry]\nExec=vandrelkast /s\n");
    w->cmdHeaderClick(MainWindow::kAutoScan);
    EXPECT_TRUE(box->isChecked());
}

TEST_F(SystemTools, RunDialogEnablesOkBrowsesAndOpens) {
    DesktopUrls desktop;
    RunDialog dialog(nullptr, dialogs);
    auto* name = child<QLineEdit>(&dialog, "txtFilename");
    auto* ok = child<QPushButton>(&dialog, "cmdOK");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("VandrelKast Run"));
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(name, QStringLiteral("   "));
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(name, QStringLiteral("x"));
    EXPECT_TRUE(ok->isEnabled());
    // Bottom left, above a taskbar.
    int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    EXPECT_EQ(dialog.frameGeometry().left(), 6);
    EXPECT_EQ(dialog.frameGeometry().top(), screenHeight - (dialog.frameGeometry().height() + 40));

    clickChild(&dialog, "cmdBrowse");  // cancelled
    EXPECT_EQ(name->text(), QStringLiteral("   x"));
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].request.title, QStringLiteral("Browse"));
    EXPECT_EQ(dialogs.calls()[0].request.filter, QStringLiteral("All Files (*.*)|*.*"));
    EXPECT_EQ(dialogs.calls()[0].request.initDir, QStringLiteral("Desktop"));
    vk::test::TempDir dir;
    auto doc = dir.write("notes.txt", "hello");
    dialogs.answerFile(fromBytes(doc.string()));
    clickChild(&dialog, "cmdBrowse");
    EXPECT_EQ(name->text(), fromBytes(doc.string()));

    name->setText(fromBytes(dir.str()));
    clickChild(&dialog, "cmdOK");
    name->setText(QStringLiteral("https://vandrelkast.example.org/help"));
    clickChild(&dialog, "cmdOK");
    name->setText(QStringLiteral("www.example.org"));
    clickChild(&dialog, "cmdOK");
    std::vector<QUrl> expected = {QUrl::fromLocalFile(fromBytes(dir.str())),
                                  QUrl(QStringLiteral("https://vandrelkast.example.org/help")),
                                  QUrl(QStringLiteral("http://www.example.org"))};
    EXPECT_EQ(desktop.recorder.urls, expected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(SystemTools, RunDialogStartsPrograms) {
    vk::test::TempDir dir;
    auto script = dir.write("tool.sh", "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/ran\"\n");
    fs::permissions(script, fs::perms::owner_all);
    auto target = runTarget(fromBytes(script.string()) + QStringLiteral(" hello"));
    EXPECT_EQ(target.kind, RunTarget::Kind::Program);
    ASSERT_TRUE(openRunTarget(target));
    for (int i = 0; i < 200 && !fs::exists(dir / "ran"); ++i) QTest::qWait(10);
    EXPECT_EQ(readFile(dir / "ran"), "hello\n");
    EXPECT_EQ(runTarget(QStringLiteral("sh -c true")).kind, RunTarget::Kind::Program);
    EXPECT_EQ(runTarget(QStringLiteral("no-such-program-here.doc")).kind, RunTarget::Kind::Url);
}

TEST_F(SystemTools, AboutWindowTextsLinksAndHover) {
    DesktopUrls desktop;
    AboutWindow about(nullptr);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About VandrelKast..."));
    EXPECT_EQ(child<QLabel>(&about, "lblVersion")->text(), QStringLiteral("VandrelKast (Version 1.4.0 Beta)"));
    about.show();
    const QColor blue(0, 0, 0xFF);
    const QColor plain = QApplication::palette().color(QPalette::ButtonText);
    auto colour = [](LinkLabel* l) { return l->palette().color(QPalette::WindowText); };
    for (LinkLabel* link : about.links()) {
        EXPECT_EQ(colour(link), plain);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(link, &enter);
        EXPECT_EQ(colour(link), blue);
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&about, &move);
        EXPECT_EQ(colour(link), plain);
        QTest::mouseClick(link, Qt::LeftButton);
    }
    ASSERT_EQ(desktop.recorder.urls.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(desktop.recorder.urls[i], about.links()[i]->url());
    clickChild(&about, "cmdOK");
    EXPECT_FALSE(about.isVisible());
}

TEST_F(SystemTools, TrayMenuReachesRunAndAbout) {
    auto w = start();
    auto* run = w->trayMenu()->findChild<QAction*>(QStringLiteral("mnuRun"));
    auto* aboutEntry = w->trayMenu()->findChild<QAction*>(QStringLiteral("mnuAbout"));
    ASSERT_TRUE(run && aboutEntry);
    EXPECT_TRUE(run->isEnabled());
    EXPECT_TRUE(aboutEntry->isEnabled());
    // One driver per window: the second dialog may live at the first one's address.
    QWidget* runOwner = nullptr;
    {
        ModalDriver driver;
        driver.expect("frmRun", [&](QWidget* d) {
            runOwner = d->parentWidget();
            clickChild(d, "cmdCancel");
        });
        run->trigger();
        EXPECT_TRUE(driver.allHandled());
    }
    {
        ModalDriver driver;
        driver.expect("frmAbout", [](QWidget* d) { clickChild(d, "cmdOK"); });
        aboutEntry->trigger();
        EXPECT_TRUE(driver.allHandled());
    }
    EXPECT_EQ(runOwner, w.get());
}

#include "SystemTools_test.moc"
