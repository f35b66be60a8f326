#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/DesktopShell.h"
#include "app/LinkLabel.h"
#include "app/ProcessInfoDialog.h"
#include "app/ProcessInspectorPage.h"
#include "app/TextFit.h"
#include "platform/IniProfile.h"
#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "scan/ScanEngine.h"
#include "support/BackgroundProcess.h"
#include "support/ChildProcess.h"
#include "support/PeFixture.h"
#include "tools/ProcessList.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::ChildProcess;
using vk::test::TempDir;
namespace fs = std::filesystem;

// Stands in for the desktop's browser and file manager openers: Qt hands
// every address of a scheme to it instead of starting a program.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QStringList urls;
public slots:
    void open(const QUrl& url) { urls << url.toString(QUrl::FullyEncoded); }
};

// A file manager on a private session bus, answering as desktops do.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList calls;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { calls << QStringLiteral("ShowItems ") + uris.join(' '); }
    void ShowItemProperties(const QStringList& uris, const QString&) {
        calls << QStringLiteral("ShowItemProperties ") + uris.join(' ');
    }
};

namespace {

const std::string kMarker = "VK-PROCESS-MARK-51c2";

// A session bus of the test's own: dbus-daemon started on a private socket.
class PrivateBus {
public:
    PrivateBus() {
        std::string daemon = vk::test::findInPath("dbus-daemon");
        if (daemon.empty()) return;
        process_ = std::make_unique<vk::test::BackgroundProcess>(
            daemon, std::vector<std::string>{"--session", "--nofork", "--print-address=1"});
        if (process_->started()) address_ = QString::fromStdString(process_->readLine(std::chrono::seconds(10)));
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("vk-fm"));
        QDBusConnection::disconnectFromBus(QStringLiteral("vk-client"));
    }
    const QString& address() const { return address_; }

private:
    std::unique_ptr<vk::test::BackgroundProcess> process_;
    QString address_;
};

class ProcessPage : public ::testing::Test {
protected:
    void SetUp() override {
        vk::platform::clearProfileCache();
        home = std::make_unique<ProgramHome>(std::vector<vk::scan::SignatureEntry>{stringSignature("Worm.Proc", kMarker)},
                                             config());
        w = std::make_unique<MainWindow>(dialogs, StartupOptions{0, true});
        ASSERT_TRUE(w->startUp({}));
        page = w->processInspectorPage();
        ASSERT_NE(page, nullptr);
        view = page->processView();
        // No file manager unless a test starts one.
        page->shell().setBus(QDBusConnection(QStringLiteral("vk-no-bus")));
    }
    virtual std::string config() { return "[Farwatch]\nNoFillupFormDisplay=1\n"; }

    std::unique_ptr<ChildProcess> run(const std::string& name) {
        auto child = std::make_unique<ChildProcess>(vk::test::copyProgram(dir, name));
        EXPECT_TRUE(child->started());
        return child;
    }
    QString pathOf(const std::string& name) const { return QString::fromStdString((dir / name).string()); }
    QTreeWidgetItem* line(const QString& path) const {
        for (int i = 0; i < view->topLevelItemCount(); ++i)
            if (view->topLevelItem(i)->text(1) == path) return view->topLevelItem(i);
        return nullptr;
    }
    void visit() { w->cmdHeaderClick(MainWindow::kProcessInspector); }
    // Selects the lines of these files, the first one current.
    void select(const std::vector<std::string>& names) {
        view->clearSelection();
        bool first = true;
        for (const std::string& n : names) {
            QTreeWidgetItem* item = line(pathOf(n));
            ASSERT_NE(item, nullptr) << n;
            if (first) view->setCurrentItem(item);
            item->setSelected(true);
            first = false;
        }
    }
    QAction* action(const char* name) const { return page->processMenu()->findChild<QAction*>(QString::fromLatin1(name)); }

    ScriptedDialogs dialogs;
    std::unique_ptr<ProgramHome> home;
    std::unique_ptr<MainWindow> w;
    ProcessInspectorPage* page = nullptr;
    QTreeWidget* view = nullptr;
    TempDir dir;
};

}  // namespace

TEST_F(ProcessPage, ListsTheRunningProgramsWithIconsOnEveryVisit) {
    auto a = run("with space/sleeper");
    visit();
    QTreeWidgetItem* item = line(pathOf("with space/sleeper"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), QStringLiteral("sleeper"));
    EXPECT_FALSE(item->icon(0).isNull());
    const qint64 tag = item->data(0, Qt::UserRole).toLongLong();
    EXPECT_EQ(w->process().processID(tag), static_cast<std::uint32_t>(a->pid()));
    EXPECT_EQ(item->data(0, Qt::UserRole + 1).toString(), QStringLiteral("ProcessIndex%1").arg(tag));
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view->headerItem()->text(0), QStringLiteral("Name"));
    EXPECT_EQ(view->headerItem()->text(1), QStringLiteral("Path"));
    EXPECT_EQ(child<QLabel>(page, "lblExplanation")->text(), ProcessInspectorPage::kExplanation);
    EXPECT_TRUE(ProcessInspectorPage::kExplanation.endsWith(QStringLiteral("button. ")));
    const std::pair<const char*, const char*> buttons[] = {{"cmdManage", "&Manage Selected"},
                                                           {"cmdRefresh", "&Refresh List"},
                                                           {"cmdTerminate", "&Terminate Process"},
                                                           {"cmdViewInfo", "View info..."}};
    for (auto [name, caption] : buttons) EXPECT_EQ(child<QPushButton>(page, name)->text(), caption) << name;

    // Started after the visit: listed at the next one, and by Refresh.
    auto b = run("later");
    EXPECT_EQ(line(pathOf("later")), nullptr);
    w->cmdHeaderClick(MainWindow::kMain);
    visit();
    EXPECT_NE(line(pathOf("later")), nullptr);
    auto c = run("latest");
    clickChild(page, "cmdRefresh");
    EXPECT_NE(line(pathOf("latest")), nullptr);
}

TEST_F(ProcessPage, TheMenuNamesTheSelection) {
    auto a = run("alpha");
    auto b = run("beta");
    visit();
    select({"alpha"});
    ASSERT_TRUE(page->prepareProcessMenu());
    EXPECT_EQ(action("mnuTerminate")->text(), QStringLiteral("Terminate alpha"));
    EXPECT_EQ(action("mnuTerminateAndDelete")->text(), QStringLiteral("Terminate alpha and delete it!"));
    EXPECT_EQ(page->processMenu()->defaultAction(), action("mnuTerminate"));
    select({"beta", "alpha"});
    ASSERT_TRUE(page->prepareProcessMenu());
    EXPECT_EQ(action("mnuTerminate")->text(), QStringLiteral("Terminate selected processes."));
    EXPECT_EQ(action("mnuTerminateAndDelete")->text(), QStringLiteral("Terminate selected processes and delete it!"));

    // Every entry in order, separators included.
    QStringList entries;
    for (QAction* a : page->processMenu()->actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->objectName().isEmpty() ? a->menu()->objectName() + ":" + a->text() : a->objectName() + ":" + a->text());
    EXPECT_EQ(entries, (QStringList{"mnuTerminate:Terminate selected processes.",
                                    "mnuTerminateAndDelete:Terminate selected processes and delete it!", "-",
                                    "mnuViewFilePath:&View File Location",
                                    "mnuScanProcess:&Scan file w/ Search and Destroy", "-",
                                    "mnuWebSearch1:Search for this process in...", "-",
                                    "mnuViewProperties1:View Properties (w/ &Process Info)",
                                    "mnuViewProperties2:View Properties (w/ &Windows Explorer)"}));
    auto* searches = page->processMenu()->findChild<QMenu*>(QStringLiteral("mnuWebSearch1"));
    ASSERT_NE(searches, nullptr);
    EXPECT_EQ(searches->actions().size(), 4);

    clickChild(page, "cmdManage");
    EXPECT_TRUE(page->processMenu()->isVisible());
    page->processMenu()->hide();

    // A right click on a line selects it and shows the menu for it.
    select({"alpha"});
    view->clearSelection();
    w->resize(900, 700);
    QCoreApplication::processEvents();
    QTreeWidgetItem* betaLine = line(pathOf("beta"));
    view->scrollToItem(betaLine);
    const QPoint at = view->visualItemRect(betaLine).center();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &menuEvent);
    EXPECT_TRUE(page->processMenu()->isVisible());
    EXPECT_EQ(action("mnuTerminate")->text(), QStringLiteral("Terminate beta"));
    page->processMenu()->hide();
    view->clearSelection();
    view->setCurrentItem(nullptr);
    EXPECT_FALSE(page->prepareProcessMenu());
}

TEST_F(ProcessPage, TerminateEndsEachSelectedProcessAndReportsEachFailure) {
    auto one = run("one");
    visit();
    select({"one"});
    clickChild(page, "cmdTerminate");
    EXPECT_TRUE(one->reapedByKill());
    EXPECT_TRUE(dialogs.calls().empty());
    EXPECT_EQ(line(pathOf("one")), nullptr);  // the list was refreshed

    auto a = run("first");
    auto b = run("second");
    auto gone = run("gone");
    visit();
    // Ends on its own before the click.
    ::kill(gone->pid(), SIGKILL);
    ASSERT_TRUE(gone->reapedByKill());
    select({"first", "gone", "second"});
    ASSERT_TRUE(page->prepareProcessMenu());
    action("mnuTerminate")->trigger();
    EXPECT_TRUE(a->reapedByKill());
    EXPECT_TRUE(b->reapedByKill());
    auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Cannot terminate process:\r\n") + pathOf("gone"));
    EXPECT_EQ(messages[0].title, QStringLiteral("Error Terminating Process"));
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
}

TEST_F(ProcessPage, TheProgramIsNeverOfferedToEndItself) {
    auto other = run("other");
    visit();
    QTreeWidgetItem* self = nullptr;
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = view->topLevelItem(i);
        if (w->process().processID(item->data(0, Qt::UserRole).toLongLong()) == static_cast<std::uint32_t>(::getpid()))
            self = item;
    }
    ASSERT_NE(self, nullptr);
    view->clearSelection();
    view->setCurrentItem(self);
    self->setSelected(true);
    ASSERT_TRUE(page->prepareProcessMenu());
    EXPECT_FALSE(child<QPushButton>(page, "cmdTerminate")->isEnabled());
    EXPECT_FALSE(action("mnuTerminate")->isEnabled());
    EXPECT_FALSE(action("mnuTerminateAndDelete")->isEnabled());
    // With another line, that one is ended and the program goes on.
    line(pathOf("other"))->setSelected(true);
    EXPECT_TRUE(child<QPushButton>(page, "cmdTerminate")->isEnabled());
    clickChild(page, "cmdTerminate");
    EXPECT_TRUE(other->reapedByKill());
    EXPECT_TRUE(dialogs.calls().empty());
}

TEST_F(ProcessPage, TerminateAndDeleteAsksThenRemovesOnlyTheFilesTheProcessesRan) {
    auto tool = run("tool.exe");
    auto swapped = run("swapped.exe");
    auto gone = run("gone.exe");
    visit();
    select({"tool.exe", "swapped.exe", "gone.exe"});

    dialogs.answerMessage(MessageResult::No);
    action("mnuTerminateAndDelete")->trigger();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    auto ask = dialogs.messages()[0];
    EXPECT_EQ(ask.text, QStringLiteral("Are you sure you want to terminate and delete selected applications?"));
    EXPECT_EQ(ask.title, QStringLiteral("Confimation"));
    EXPECT_EQ(ask.icon, MessageIcon::Question);
    EXPECT_EQ(ask.buttons, MessageButtons::YesNo);
    EXPECT_FALSE(tool->endedAlready());
    EXPECT_TRUE(fs::exists(dir / "tool.exe"));

    // Another file takes the name of one; another process has ended.
    dir.write("replacement", "someone else's file");
    fs::rename(dir / "replacement", dir / "swapped.exe");
    ::kill(gone->pid(), SIGKILL);
    ASSERT_TRUE(gone->reapedByKill());
    dialogs.clear();
    dialogs.answerMessage(MessageResult::Yes);
    select({"tool.exe", "swapped.exe", "gone.exe"});
    action("mnuTerminateAndDelete")->trigger();
    EXPECT_TRUE(tool->reapedByKill());
    EXPECT_TRUE(swapped->reapedByKill());
    EXPECT_FALSE(fs::exists(dir / "tool.exe"));
    EXPECT_EQ(vk::test::readFile(dir / "swapped.exe"), "someone else's file");
    EXPECT_TRUE(fs::exists(dir / "gone.exe"));
    auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, QStringLiteral("Cannot terminate process:\r\ngone.exe"));
    EXPECT_EQ(messages[1].title, QStringLiteral("Error Terminating Process"));
}

TEST_F(ProcessPage, ScanFileRunsTheScannerOnTheExecutable) {
    fs::path marked = vk::test::copyProgram(dir, "marked.exe");
    {
        // Trailing bytes do not stop a program from running.
        std::FILE* f = std::fopen(marked.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        std::fputs(kMarker.c_str(), f);
        std::fclose(f);
    }
    ChildProcess child(marked);
    ASSERT_TRUE(child.started());
    auto clean = run("clean.exe");
    visit();
    select({"marked.exe", "clean.exe"});
    ModalDriver driver;
    QString shown;
    driver.expect("frmDetection", [&](QWidget* d) {
        shown = vk::apptest::child<QLabel>(d, "lblVirusName")->text();
        vk::apptest::child<QAbstractButton>(d, "optAction3")->click();  // ignore
        clickChild(d, "cmdOK");
    });
    action("mnuScanProcess")->trigger();
    EXPECT_TRUE(driver.allHandled());
    EXPECT_EQ(shown, QStringLiteral("Worm.Proc"));
    EXPECT_EQ(w->scanEngine().filesScanned(), 2);
    ASSERT_EQ(w->scanEngine().farwatchLog().size(), 1u);
    EXPECT_EQ(w->scanEngine().farwatchLog()[0].path, marked.string());
    EXPECT_TRUE(fs::exists(marked));
}

class ProcessPageSearches : public ProcessPage {
protected:
    std::string config() override {
        return "[Farwatch]\nNoFillupFormDisplay=1\n[WebSearch]\nCaption1=Local Library\n"
               "Prefix1=http://127.0.0.1:9/lookup?name=\n";
    }
};

TEST_F(ProcessPageSearches, SearchesOpenThePrefixFollowedByTheName) {
    auto a = run("odd&name#1.exe");
    visit();
    select({"odd&name#1.exe"});
    UrlRecorder recorder;
    auto* menu = page->processMenu()->findChild<QMenu*>(QStringLiteral("mnuWebSearch1"));
    for (QAction* entry : menu->actions()) entry->trigger();
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Local Library"));
    EXPECT_EQ(recorder.urls, (QStringList{"https://www.google.com/search?q=odd%26name%231.exe",
                                          "http://127.0.0.1:9/lookup?name=odd%26name%231.exe",
                                          "https://www.mcafee.com/blogs/?s=odd%26name%231.exe",
                                          "https://www.processlibrary.com/directory/?files=++++odd%26name%231.exe"}));
}

TEST_F(ProcessPage, WithoutAFileManagerTheFolderIsOpened) {
    auto a = run("in folder/a.exe");
    auto b = run("b.exe");
    visit();
    select({"in folder/a.exe", "b.exe"});
    UrlRecorder recorder;
    action("mnuViewFilePath")->trigger();
    action("mnuViewProperties2")->trigger();
    const QString folderA = QUrl::fromLocalFile(pathOf("in folder")).toString(QUrl::FullyEncoded);
    const QString folderB = QUrl::fromLocalFile(dir.path().string().c_str()).toString(QUrl::FullyEncoded);
    EXPECT_EQ(recorder.urls, (QStringList{folderA, folderA, folderB}));
}

TEST_F(ProcessPage, TheFileManagerShowsTheFileAndItsProperties) {
    PrivateBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "dbus-daemon (package dbus-daemon) is not available";
    QDBusConnection fm = QDBusConnection::connectToBus(bus.address(), QStringLiteral("vk-fm"));
    ASSERT_TRUE(fm.isConnected());
    FakeFileManager manager;
    ASSERT_TRUE(fm.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                  QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(fm.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("vk-client"));
    ASSERT_TRUE(client.isConnected());
    page->shell().setBus(client);

    auto a = run("with space/a.exe");
    auto b = run("b.exe");
    visit();
    select({"with space/a.exe", "b.exe"});
    UrlRecorder recorder;
    QSignalSpy done(&page->shell(), &DesktopShell::requestDone);
    action("mnuViewFilePath")->trigger();
    action("mnuViewProperties2")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.count() == 3; }, 10000));
    const QString uriA = QUrl::fromLocalFile(pathOf("with space/a.exe")).toString();
    const QString uriB = QUrl::fromLocalFile(pathOf("b.exe")).toString();
    EXPECT_EQ(manager.calls, (QStringList{"ShowItems " + uriA, "ShowItemProperties " + uriA,
                                          "ShowItemProperties " + uriB}));
    EXPECT_TRUE(recorder.urls.isEmpty());
}

namespace {

QString label(QWidget* w, const char* name) { return child<QLabel>(w, name)->text(); }

std::pair<QString, QString> digestsOf(const std::string& bytes) {
    auto data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    vk::checksum::Md5Hasher md5;
    md5.update(data, bytes.size());
    return {QString::number(vk::checksum::computeCrc32({data, bytes.size()})), QString::fromStdString(md5.finishHex())};
}

}  // namespace

TEST_F(ProcessPage, ViewInfoShowsTheFileAndItsDigestsAfterTheWindowOpens) {
    auto a = run("info target");
    visit();
    select({"info target"});
    const std::string bytes = vk::test::readFile(dir / "info target");
    ModalDriver driver;
    QString crcAtShow, crc, md5, name, folder, folderTip, size;
    driver.expect("frmProcessInfo", [&](QWidget* d) {
        auto* info = static_cast<ProcessInfoDialog*>(d);
        crcAtShow = label(d, "lblCRC32");
        name = label(d, "lblFilename");
        folder = label(d, "lblPath");
        folderTip = child<QLabel>(d, "lblPath")->toolTip();
        size = label(d, "lblFileSize");
        EXPECT_TRUE(QTest::qWaitFor([info] { return info->digestsShown(); }, 20000));
        crc = label(d, "lblCRC32");
        md5 = label(d, "lblMD5");
        child<LinkLabel>(d, "lblSendFile")->click();
        clickChild(d, "cmdClose");
    });
    QString submitted;
    driver.expect("frmSubmitFile", [&](QWidget* d) {
        submitted = child<QLineEdit>(d, "txtSubmitFile")->text();
        clickChild(d, "cmdClose");
    });
    clickChild(page, "cmdViewInfo");
    EXPECT_TRUE(driver.allHandled());
    EXPECT_EQ(name, QStringLiteral("info target"));
    EXPECT_EQ(folderTip, QString::fromStdString(dir.str()));
    EXPECT_FALSE(folder.isEmpty());
    // Nearest, ties to even (the default rounding mode).
    EXPECT_EQ(size, QString::number(static_cast<qint64>(std::nearbyint(bytes.size() / 1024.0))) + QStringLiteral(" Kb"));
    EXPECT_TRUE(crcAtShow == ProcessInfoDialog::kCalculatingCrc || crcAtShow == digestsOf(bytes).first);
    EXPECT_EQ(crc, digestsOf(bytes).first);
    EXPECT_EQ(md5, digestsOf(bytes).second);
    EXPECT_EQ(submitted, pathOf("info target"));
}

TEST(ProcessInfoWindow, AWindowsProgramShowsItsVersionAndItsOwnIcon) {
    TempDir dir;
    vk::test::PeBuilder builder(dir);
    if (!builder.unavailable().empty()) GTEST_SKIP() << builder.unavailable();
    dir.write("green.ico", vk::test::icoFile(32, 0xFF00C000));
    fs::path exe = builder.build(
        "setup.exe", "1 ICON \"green.ico\"\n1 VERSIONINFO\nFILEVERSION 3,1,4,1\nPRODUCTVERSION 3,1,0,0\nBEGIN\n"
                     " BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904b0\"\n  BEGIN\n"
                     "   VALUE \"CompanyName\", \"Example Corp\"\n   VALUE \"FileDescription\", \"Setup\"\n"
                     "   VALUE \"LegalCopyright\", \"(C) Example\"\n   VALUE \"InternalName\", \"setup\"\n"
                     "   VALUE \"OriginalFilename\", \"setup.exe\"\n   VALUE \"ProductName\", \"Example\"\n"
                     "  END\n END\n BLOCK \"VarFileInfo\"\n BEGIN\n  VALUE \"Translation\", 0x409, 1200\n END\nEND\n");
    DesktopShell shell(nullptr, QDBusConnection(QStringLiteral("vk-no-bus")));
    WebSearches searches;
    for (int i = 0; i < 4; ++i) searches[static_cast<std::size_t>(i)] = {QStringLiteral("S%1").arg(i), QStringLiteral("https://search%1.example/?q=").arg(i)};
    ProcessInfoDialog info(nullptr, QString::fromStdString(exe.string()), searches, shell);
    EXPECT_EQ(info.windowTitle(), QStringLiteral("Process Info"));
    const std::pair<const char*, const char*> fields[] = {
        {"lblFileVersion", "3.1.4.1"},      {"lblFileDescription", "Setup"},   {"lblLegalCopyright", "(C) Example"},
        {"lblCompanyName", "Example Corp"}, {"lblInternalName", "setup"},      {"lblOriginalFilename", "setup.exe"},
        {"lblProductName", "Example"},      {"lblProductVersion", "3.1.0.0"}, {"lblFilename", "setup.exe"}};
    for (auto [name, value] : fields) EXPECT_EQ(label(&info, name), QString::fromLatin1(value)) << name;
    EXPECT_EQ(label(&info, "lblCRC32"), ProcessInfoDialog::kCalculatingCrc);
    EXPECT_EQ(label(&info, "lblMD5"), ProcessInfoDialog::kCalculatingMd5);
    QImage icon = child<QLabel>(&info, "picIcon")->pixmap().toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(icon.width() / 2, icon.height() / 2), QColor(0, 0xC0, 0));

    UrlRecorder recorder;
    QString submitted;
    info.setSubmitter([&](const QString& p) { submitted = p; });
    info.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return info.digestsShown(); }, 20000));
    EXPECT_EQ(label(&info, "lblCRC32"), digestsOf(vk::test::readFile(exe)).first);
    for (int i = 0; i < 4; ++i) child<LinkLabel>(&info, QStringLiteral("lblSearch%1").arg(i).toLatin1().constData())->click();
    EXPECT_EQ(recorder.urls, (QStringList{"https://search0.example/?q=setup.exe", "https://search1.example/?q=setup.exe",
                                          "https://search2.example/?q=setup.exe", "https://search3.example/?q=setup.exe"}));
    child<LinkLabel>(&info, "lblSendFile")->click();
    EXPECT_EQ(submitted, QString::fromStdString(exe.string()));
}

TEST(ProcessInfoWindow, ALargeFileGetsItsSizeAndKeepsTheWindowResponsive) {
    TempDir dir;
    // Sparse: 64 MiB (beyond what 16-bit kilobytes hold) without filling the disk.
    fs::path big = dir / "big.bin";
    {
        int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 64ll << 20), 0);
        ::close(fd);
    }
    DesktopShell shell(nullptr, QDBusConnection(QStringLiteral("vk-no-bus")));
    ProcessInfoDialog info(nullptr, QString::fromStdString(big.string()), WebSearches{}, shell);
    EXPECT_EQ(label(&info, "lblFileSize"), QStringLiteral("65536 Kb"));
    EXPECT_EQ(label(&info, "lblFileVersion"), QString());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    int ticksWhenDone = -1;
    QObject::connect(&info, &ProcessInfoDialog::digestsReady, [&] { ticksWhenDone = ticks; });
    info.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return info.digestsShown(); }, 60000));
    // The event loop ran all along: the timer kept firing while the file was read.
    EXPECT_GE(ticksWhenDone, 3);
    EXPECT_EQ(label(&info, "lblMD5"), QStringLiteral("7F614DA9329CD3AEBF59B91AADC30BF0"));
}

#include "ProcessInspector_test.moc"

// A Windows program under Wine: the loader runs it, the line shows the program's own file.
TEST_F(ProcessPage, AProgramUnderWineIsInspectedEndedAndDeletedByItsWindowsFile) {
    const fs::path program = dir / "prefix" / "drive_c" / "windows" / "evil.exe";
    dir.write("prefix/drive_c/windows/evil.exe", "MZ payload");
    fs::create_directories(dir / "prefix" / "dosdevices");
    fs::create_symlink("../drive_c", dir / "prefix" / "dosdevices" / "c:");
    const fs::path loader = vk::test::copyProgram(dir, "loader/wine64-preloader");
    ChildProcess wine(loader, {"C:\\WINDOWS\\Evil.exe", "30"}, {"WINEPREFIX=" + (dir / "prefix").string()});
    ASSERT_TRUE(wine.started());
    visit();
    QTreeWidgetItem* item = line(QString::fromStdString(program.string()));
    ASSERT_NE(item, nullptr);
    view->clearSelection();
    view->setCurrentItem(item);
    item->setSelected(true);

    ModalDriver driver;
    QString name, folder;
    driver.expect("frmProcessInfo", [&](QWidget* d) {
        name = label(d, "lblFilename");
        folder = child<QLabel>(d, "lblPath")->toolTip();
        clickChild(d, "cmdClose");
    });
    clickChild(page, "cmdViewInfo");
    EXPECT_TRUE(driver.allHandled());
    EXPECT_EQ(name, QStringLiteral("evil.exe"));
    EXPECT_EQ(folder, QString::fromStdString(program.parent_path().string()));

    dialogs.answerMessage(MessageResult::Yes);
    action("mnuTerminateAndDelete")->trigger();
    EXPECT_TRUE(wine.reapedByKill());
    EXPECT_FALSE(fs::exists(program));
    EXPECT_TRUE(fs::exists(loader));
}
