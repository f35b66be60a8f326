#include "app/Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QFile>
#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "app/AboutWindow.h"
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AutoRepairPage.h"
#include "app/Dialogs.h"
#include "app/Farwatch.h"
#include "app/KastScriptWizard.h"
#include "app/RunAsDialog.h"
#include "app/LinkLabel.h"
#include "app/LogAgentPage.h"
#include "app/RunDialog.h"
#include "app/MainWindow.h"
#include "app/ProcessInfoDialog.h"
#include "app/ProcessInspectorPage.h"
#include "app/ScanDialogs.h"
#include "app/ScanPage.h"
#include "app/ScriptedDialogs.h"
#include "app/SplashWindow.h"
#include "app/SubmitFileDialog.h"
#include "app/TextFit.h"
#include "platform/ProgramFolder.h"
#include "platform/linux/RegistryStore.h"
#include "scan/ScanEngine.h"
#include "script/host/ScriptHost.h"
#include "script/RegistryAccess.h"

namespace vk::app {
namespace {

bool save(QWidget* w, const QString& dir, const QString& name) {
    w->show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    bool ok = w->grab().save(file);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "cannot write", qPrintable(file));
    return ok;
}

// A scratch registry and desktop folders with what a worm leaves behind, so
// the system tool pages have something to show.
void seedSystemTools(const QString& scratch) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch + QStringLiteral("/config")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(scratch + QStringLiteral("/xdg")));
    using namespace platform;
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    script::setRegValue("C:\\Program Files\\Clock\\clock.exe /tray", kRegSz, run, "Clock", kHkeyCurrentUser);
    script::setRegValue("C:\\WINDOWS\\system32\\svch0st.exe", kRegSz, run, "Windows Update", kHkeyLocalMachine);
    script::setRegValue("C:\\Program Files\\Sync\\sync.exe", kRegSz, std::string(run) + "-", "Sync",
                        kHkeyCurrentUser);
    script::setRegValue("1", kRegDword, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                        "DisableTaskMgr", kHkeyCurrentUser);
    script::setRegValue("145", kRegDword, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                        "NoDriveTypeAutoRun", kHkeyCurrentUser);
    script::setRegValue("Hacked by Brontok", kRegSz, "Software\\Microsoft\\Internet Explorer\\Main",
                        "Window Title", kHkeyCurrentUser);
    script::setRegValue("Explorer.exe", kRegSz, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                        "Shell", kHkeyLocalMachine);
    script::setRegValue("C:\\WINDOWS\\system32\\userinit.exe,", kRegSz,
                        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Userinit", kHkeyLocalMachine);
    auto put = [](const QString& path, const QByteArray& text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(text);
    };
    put(scratch + QStringLiteral("/xdg/autostart/blueman.desktop"),
        "[Desktop Entry]\nType=Application\nName=Blueman\nExec=blueman-applet\n");
    put(scratch + QStringLiteral("/config/autostart/notes.desktop"),
        "[Desktop Entry]\nType=Application\nName=Notes\nExec=notes --hidden\nHidden=true\n");
}

}  // namespace

int renderScreenshots(const QString& outDir) {
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outDir));
        return 2;
    }
    // A scratch program folder with the real database and an enrolled config.
    const platform::ProgramFolder real = platform::programFolder();
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 2;
    QFile::copy(fromBytes(real.signaturesDat), scratch.filePath(QStringLiteral("signatures.dat")));
    {
        QFile config(scratch.filePath(QStringLiteral("config.ini")));
        if (!config.open(QIODevice::WriteOnly)) return 2;
        config.write("[Farwatch]\r\nNoFillupFormDisplay=1\r\nEnableFarwatch=1\r\nName=Ada Example\r\n"
                     "Address=12 Harbour Lane, Port Vandrel\r\nEmail=ada@example.org\r\n");
    }
    qputenv("VANDRELKAST_HOME", QFile::encodeName(scratch.path()));
    // Never the user's own registry, whenever it was first opened.
    platform::RegistryStore registry(toBytes(scratch.filePath(QStringLiteral("registry"))));
    platform::setSystemRegistry(&registry);
    struct Restore {
        ~Restore() { platform::setSystemRegistry(nullptr); }
    } restore;
    seedSystemTools(scratch.path());

    ScriptedDialogs dialogs;
    MainWindow window(dialogs, StartupOptions{0, std::nullopt});
    if (!window.startUp({})) {
        std::fprintf(stderr, "start-up failed (database?)\n");
        return 2;
    }
    bool ok = true;
    static const char* const names[MainWindow::kPageCount] = {
        "main", "autorepair", "process-inspector", "registry-tweaks", "startup-entry-viewer", "autorun-manager",
        "search-n-destroy", "search-n-destroy-settings", "log-agent", "submit-suspicious-file", "farwatch",
        "autoscan"};
    for (int i = 0; i < MainWindow::kPageCount; ++i) {
        window.cmdHeaderClick(i);
        if (i == MainWindow::kLogAgent) window.logAgentPage()->cmdTakeSS_Click();
        ok &= save(&window, outDir, QStringLiteral("page%1-%2").arg(i, 2, 10, QLatin1Char('0')).arg(QLatin1String(names[i])));
    }
    // Smallest and a large size.
    const QSize normal = window.size();
    for (int i : {MainWindow::kMain, MainWindow::kSearchNDestroy, MainWindow::kSndSettings, MainWindow::kFarwatch,
                  MainWindow::kAutoScan}) {
        window.cmdHeaderClick(i);
        window.resize(window.minimumSize());
        ok &= save(&window, outDir, QStringLiteral("small-page%1").arg(i, 2, 10, QLatin1Char('0')));
        window.resize(1180, 780);
        ok &= save(&window, outDir, QStringLiteral("large-page%1").arg(i, 2, 10, QLatin1Char('0')));
    }
    window.resize(normal);

    // A real scan on the demo database: the page while it runs, then the
    // detection and statistics dialogs as they open.
    QTemporaryDir tree;
    if (tree.isValid()) {
        auto put = [&](const QString& name, const QByteArray& bytes) {
            QDir().mkpath(QFileInfo(tree.filePath(name)).path());
            QFile f(tree.filePath(name));
            if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        };
        for (int i = 0; i < 200; ++i) put(QStringLiteral("Documents/letter%1.doc").arg(i), QByteArray(4096, 'x'));
        put(QStringLiteral("Games/setup.exe"), QByteArray("MZ demo VK-DEMO-MARKER:5a1c9e end"));
        window.cmdHeaderClick(MainWindow::kSearchNDestroy);
        window.scanPage()->scanDirBox()->setText(tree.path());
        bool grabbed = false;
        window.eventPump().setAfterPump([&] {
            if (!grabbed && window.scanning()) {
                grabbed = true;
                ok &= save(&window, outDir, QStringLiteral("scan-running"));
            }
        });
        QWidget* last = nullptr;
        QTimer modal;
        modal.setInterval(10);
        QObject::connect(&modal, &QTimer::timeout, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == last) return;
            last = w;
            QTimer::singleShot(50, w, [&, w] {
                ok &= save(w, outDir, QStringLiteral("live-") + w->objectName());
                if (auto* b = w->findChild<QAbstractButton*>(QStringLiteral("cmdOK"))) b->click();
            });
        });
        modal.start();
        window.scanPage()->cmdScanDir_Click();
        modal.stop();
        window.eventPump().setAfterPump({});
        ok &= grabbed;
    }

    DetectionDialog detection(&window, window.font());
    detection.fill(QStringLiteral("/media/usb-stick/Documents/Photos from the summer trip to the coast/"
                                  "very long folder name that does not fit/holiday-pictures.jpg.exe"),
                   QStringLiteral("EICAR-Test-File"));
    ok &= save(&detection, outDir, QStringLiteral("dialog-detection"));
    detection.hide();

    StatisticsDialog statistics(
        &window, ScanCounters{1532, 3, 1, 0, 1, 2, {QStringLiteral("/media/usb-stick/RECYCLER/write-protected.exe")}});
    ok &= save(&statistics, outDir, QStringLiteral("dialog-statistics"));
    statistics.hide();

    ScanPromptDialog prompt(&window, dialogs);
    ok &= save(&prompt, outDir, QStringLiteral("dialog-scan-prompt"));
    prompt.closeWithoutAsking();

    FwForm form(&window, dialogs, window.scanEngine(), toBytes(scratch.filePath(QStringLiteral("unused.ini"))));
    ok &= save(&form, outDir, QStringLiteral("dialog-farwatch-form"));
    form.hide();

    SubmitFileDialog submit(&window, dialogs, window.eventPump(), toBytes(scratch.filePath(QStringLiteral("unused.ini"))));
    submit.setFile(QStringLiteral("/media/usb-stick/autorun-helper.exe"));
    ok &= save(&submit, outDir, QStringLiteral("dialog-submit-file"));
    submit.hide();

    SplashWindow splash(nullptr);
    splash.setProgress(40, QStringLiteral("Loading Virus Signatures..."));
    ok &= save(&splash, outDir, QStringLiteral("splash"));
    splash.hide();

    // The process menu for the program's own line (terminating is not offered there), and the file information
    // window of a Windows program ($VANDRELKAST_SCREENSHOT_PE, which the script
    // builds when the MinGW tools are there) or else of this program.
    window.cmdHeaderClick(MainWindow::kProcessInspector);
    ProcessInspectorPage* processes = window.processInspectorPage();
    QTreeWidget* list = processes->processView();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->text(1) != QCoreApplication::applicationFilePath()) continue;
        list->setCurrentItem(item);
        item->setSelected(true);
        list->scrollToItem(item);
        break;
    }
    ok &= save(&window, outDir, QStringLiteral("process-inspector-own-line"));
    if (processes->prepareProcessMenu()) {
        QMenu* menu = processes->processMenu();
        menu->adjustSize();
        ok &= save(menu, outDir, QStringLiteral("process-menu"));
        menu->hide();
    }
    QString pe = qEnvironmentVariable("VANDRELKAST_SCREENSHOT_PE");
    if (pe.isEmpty()) pe = QCoreApplication::applicationFilePath();
    ProcessInfoDialog info(&window, pe, loadWebSearches(window.programFolder().configIni), processes->shell());
    info.show();
    for (int i = 0; i < 200 && !info.digestsShown(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ok &= save(&info, outDir, QStringLiteral("dialog-process-info"));
    info.hide();

    RunDialog run(&window, dialogs);
    ok &= save(&run, outDir, QStringLiteral("dialog-run"));
    run.hide();

    AboutWindow about(&window);
    ok &= save(&about, outDir, QStringLiteral("dialog-about"));
    about.links()[1]->setHover(true);
    ok &= save(&about, outDir, QStringLiteral("dialog-about-hover"));
    about.hide();

    // AutoRepair: a script's console, the run-as question, a script error.
    {
        QFile demo(scratch.filePath(QStringLiteral("Clean my stick.vks")));
        if (demo.open(QIODevice::WriteOnly))
            demo.write("IOMessage \"Shortcut Worm Killer\"\r\nIOMessage \"--------------------\"\r\n"
                       "IOMessage \"Cleaning /media/usb-stick ...\"\r\n"
                       "IOMessage \"Worm shortcut: /media/usb-stick/Photos.lnk\"\r\n"
                       "IOMessage \"  Deleted payload: /media/usb-stick/RECYCLER/x.vbs\"\r\n"
                       "IOMessage \"  Deleted shortcut: /media/usb-stick/Photos.lnk\"\r\n"
                       "IOMessage \"  Left alone (not on /media/usb-stick): C:\\WINDOWS\\x.exe\"\r\n"
                       "IOMessage \"Visible again: /media/usb-stick/Photos\"\r\n");
        demo.close();
        window.cmdHeaderClick(MainWindow::kAutoRepair);
        window.autoRepairPage()->filenameBox()->setText(demo.fileName());
        window.autoRepairPage()->runButton()->click();
        ok &= save(&window, outDir, QStringLiteral("autorepair-console"));
    }
    RunAsDialog runAs(&window);
    ok &= save(&runAs, outDir, QStringLiteral("dialog-run-as"));
    runAs.hide();
    std::unique_ptr<QMessageBox> scriptError =
        messageBox(&window, fromBytes(script::scriptErrorText(11, "Division by zero")), MessageIcon::Critical,
                   MessageButtons::Ok, QString::fromLatin1(script::kScriptErrorTitle));
    ok &= save(scriptError.get(), outDir, QStringLiteral("dialog-vbscript-error"));
    scriptError->hide();

    KastScriptWizard wizard(&window, dialogs);
    auto compileAs = [&](const QString& file) {
        wizard.page(9)->findChild<QLineEdit*>(QStringLiteral("txtCompile"))->setText(file);
    };
    // Each page with its group switched on, so every page is shown.
    const char* const groups[KastScriptWizard::kPageCount] = {nullptr,        nullptr,       "chkTerminateProc",
                                                              "chkEnableDel", "chkRegFuncs", nullptr,
                                                              nullptr,        "chkEnableFix", "chkRunScan",
                                                              nullptr,        nullptr};
    for (int i = 0; i < KastScriptWizard::kPageCount; ++i) {
        if (groups[i]) wizard.page(i)->findChild<QAbstractButton*>(QString::fromLatin1(groups[i]))->click();
        if (i == 9) compileAs(QStringLiteral("/home/ada/KastScripts/My KastScript1.vki"));
        ok &= save(&wizard, outDir, QStringLiteral("wizard-page%1").arg(i, 2, 10, QLatin1Char('0')));
        if (i == 9) compileAs(scratch.filePath(QStringLiteral("wizard.vki")));
        if (i + 1 < KastScriptWizard::kPageCount) wizard.cmdNext_Click();
        ok &= wizard.currentPage() == i + 1 || i + 1 == KastScriptWizard::kPageCount;
    }
    wizard.hide();

    QMenu* tray = window.trayMenu();
    tray->adjustSize();
    ok &= save(tray, outDir, QStringLiteral("tray-menu"));
    tray->hide();

    window.hide();
    return ok ? 0 : 1;
}

}  // namespace vk::app
