#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/QtPlatform.h"
#include "app/TaskIcon.h"
#include "platform/MountWatcher.h"
#include "platform/ProgramFolder.h"
#include "platform/Target.h"
#include "scan/AutoScan.h"
#include "scan/ScanEngineEvents.h"
#include "script/Console.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSocketNotifier;

namespace vk::scan {
class ScanEngine;
}
namespace vk::script {
class ScriptHost;
class ScriptIniEngine;
}
namespace vk::tools {
class ProcessList;
}

namespace vk::app {

class AutoRepairPage;
class AutoScanPage;
class AutorunManagerPage;
class DatabaseInfoBox;
class Dialogs;
class FarwatchPage;
class KillersMenu;
class LogAgentPage;
class ProcessInspectorPage;
class RegistryTweaksPage;
class ScriptFolderPrompt;
class StartupEntryViewerPage;
class ScanPage;
class ScanSettingsPage;
class SplashWindow;
class TargetChooser;
class SubmitSamplesPage;

struct StartupOptions {
    // The splash window stays this long after the database has loaded.
    int splashCloseDelayMs = 2500;
    // Whether the desktop has a tray; unset asks the desktop.
    std::optional<bool> trayAvailable;
    // The system repaired: this computer unless --target said otherwise.
    platform::Target target = {};
};

// "/s" alone, in any letter case.
bool isSilentStart(const QStringList& arguments);

// "VandrelKast [Version 1.4.0 Beta]", or [Window] Caption of config.ini.
QString windowCaption(const std::string& configIni);

// The main window: owns the long-lived objects, shows one of twelve pages,
// lives in the tray and decides how the program closes.
class MainWindow : public QWidget, private scan::ScanEngineEvents, private scan::AutoScanEvents {
    Q_OBJECT
public:
    static constexpr int kPageCount = 12;
    enum Page {
        kMain = 0, kAutoRepair, kProcessInspector, kRegistryTweaks, kStartupEntryViewer, kAutorunManager,
        kSearchNDestroy, kSndSettings, kLogAgent, kSubmitSamples, kFarwatch, kAutoScan
    };

    explicit MainWindow(Dialogs& dialogs, StartupOptions options = {});
    ~MainWindow() override;

    // The start-up after the objects exist: database, enrolment, console,
    // settings, page 0, tray, "/s". False when the program must end.
    bool startUp(const QStringList& arguments);
    // A database error ended the program.
    bool ended() const { return ended_; }
    // Closed through the Exit confirmation (or the session's end).
    bool unloaded() const { return unloaded_; }

    void cmdHeaderClick(int index);
    int currentPage() const { return currentPage_; }
    // The loader run before a page is shown (pages that re-read their data).
    void setPageLoader(int index, std::function<void()> loader);

    void pumpMessages();
    void waitSeconds(double seconds);
    QString compactText(const QString& text, int maxWidth) const;

    // Double click on the tray icon and the first tray menu entry.
    void toggleWindow();
    // A second start of the program: forward unless it asked for "/s".
    void startedAgain(const QStringList& arguments);
    // The Exit button and the tray menu's Exit.
    void cmdExit_Click();
    // The tray icon's right click: caption, then the menu at the mouse.
    void taskIconRightClick();

    bool scanning() const;
    scan::ScanEngine& scanEngine() { return *scanEngine_; }
    tools::ProcessList& process() { return *process_; }
    script::ScriptIniEngine& scriptIniEngine() { return *scriptIniEngine_; }
    script::ScriptHost& scriptHost() { return *scriptHost_; }
    scan::AutoScan& autoScan() { return *autoScan_; }
    // One AutoScan poll (the 500 ms timer, and at once when the mount table
    // changes); then the drives that waited for a running scan.
    void pollDrives();
    // Drives inserted during a scan without prompting, scanned after it.
    const std::vector<std::string>& queuedDrives() const { return queuedDrives_; }
    AutoRepairPage* autoRepairPage() const { return autoRepairPage_; }
    // The tray's "Run VandrelKast fixes..." entries.
    KillersMenu& fixesMenu() const { return *fixes_; }
    // A fix chosen in the tray: the window restored on the AutoRepair page, the script run.
    void runFix(const QString& path);
    // The KastScript Generator Wizard, modal over the window.
    void showKastScriptWizard();
    script::Console& console() { return console_; }
    QtEventPump& eventPump() { return pump_; }
    const platform::ProgramFolder& programFolder() const { return folder_; }
    TaskIcon& taskIcon() { return taskIcon1_; }
    QMenu* trayMenu() const { return mnuPopup3_; }
    QAction* hideWindowAction() const { return mnuHideWindow_; }
    ScanPage* scanPage() const { return scanPage_; }
    ScanSettingsPage* scanSettingsPage() const { return scanSettingsPage_; }
    FarwatchPage* farwatchPage() const { return farwatchPage_; }
    ProcessInspectorPage* processInspectorPage() const { return processInspectorPage_; }
    TargetChooser* targetChooser() const { return targetChooser_; }
    RegistryTweaksPage* registryTweaksPage() const { return registryTweaksPage_; }
    StartupEntryViewerPage* startupEntryViewerPage() const { return startupEntryViewerPage_; }
    AutorunManagerPage* autorunManagerPage() const { return autorunManagerPage_; }
    LogAgentPage* logAgentPage() const { return logAgentPage_; }
    AutoScanPage* autoScanPage() const { return autoScanPage_; }

    // The tray menu's Run... and About: modal, owned by the window.
    void mnuRun_Click();
    void mnuAbout_Click();
    SubmitSamplesPage* submitSamplesPage() const { return submitSamplesPage_; }
    // frmSubmitFile with the file filled in.
    void showSubmitFileDialog(const QString& path);
    Dialogs& dialogs() { return dialogs_; }
    QWidget* page(int index) const { return picPages_[static_cast<std::size_t>(index)]; }
    QFrame* header(int index) const { return fraHeader_[static_cast<std::size_t>(index)]; }

    // The AutoRepair console's text at start-up.
    static QString initialConsoleText();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Scan engine events.
    void initializeLoading() override;
    void finishedLoading() override;
    void loadProgress(std::int16_t percent, const std::string& status) override;
    void errorOccured(std::int32_t number, const std::string& description) override;
    void scanningProgress(const std::string& fileScanned) override;
    void virusDetected(const std::string& fileScanned, const std::string& virusName,
                       scan::DetectionAction& action) override;
    // AutoScan events.
    void driveInsterted(const std::string& drive) override;
    void driveRemoved(const std::string& drive) override;
    void confirmScan(const std::string& drive, bool& allowScan) override;
    void driveCleaned(const std::string& drive, const scan::AutorunCleanResult& result) override;
    // The scan page started on the drive, as its Start button would.
    void scanDrive(const std::string& drive, bool bringToFront);
    void scanQueuedDrives();

    void buildWindow();
    QWidget* buildSideBar();
    void applyHeaderColors();
    void fitToScreen();
    QWidget* buildMainPage();
    void buildTrayMenu();
    void restoreAndSelect(int index);
    void bringForward();
    void showDatabaseInfo();
    bool windowIsNormal() const;
    bool trayAvailable() const;
    // To the tray; without one, only minimised so the window can still be found.
    void hideToTray();
    bool validateControls();
    void endProgram();
    void closeSplash();

    Dialogs& dialogs_;
    StartupOptions options_;
    platform::ProgramFolder folder_;
    QtEventPump pump_;
    QtClipboard clipboard_;
    script::Console console_;

    // Created in this order and kept for the window's lifetime.
    std::unique_ptr<tools::ProcessList> process_;
    std::unique_ptr<scan::ScanEngine> scanEngine_;
    std::unique_ptr<script::ScriptIniEngine> scriptIniEngine_;
    std::unique_ptr<scan::AutoScan> autoScan_;
    std::unique_ptr<ScriptFolderPrompt> folderPrompt_;
    std::unique_ptr<script::ScriptHost> scriptHost_;

    // The AutoScan poll (500 ms); it runs only while AutoScan is enabled.
    QTimer tmrAutoScan_;
    // Wakes a poll the moment something is mounted or unmounted.
    platform::MountWatcher mountWatcher_;
    std::unique_ptr<QSocketNotifier> mountNotifier_;
    std::vector<std::string> queuedDrives_;
    bool polling_ = false;

    QFrame* picHeaderBar_ = nullptr;
    std::array<QFrame*, kPageCount> fraHeader_{};
    std::array<QWidget*, kPageCount> picPages_{};
    std::array<QPushButton*, kPageCount> cmdHeader_{};
    std::array<std::function<void()>, kPageCount> pageLoaders_{};
    DatabaseInfoBox* databaseInfo_ = nullptr;
    AutoRepairPage* autoRepairPage_ = nullptr;
    std::unique_ptr<KillersMenu> fixes_;
    ScanPage* scanPage_ = nullptr;
    ScanSettingsPage* scanSettingsPage_ = nullptr;
    FarwatchPage* farwatchPage_ = nullptr;
    ProcessInspectorPage* processInspectorPage_ = nullptr;
    TargetChooser* targetChooser_ = nullptr;
    RegistryTweaksPage* registryTweaksPage_ = nullptr;
    StartupEntryViewerPage* startupEntryViewerPage_ = nullptr;
    AutorunManagerPage* autorunManagerPage_ = nullptr;
    LogAgentPage* logAgentPage_ = nullptr;
    AutoScanPage* autoScanPage_ = nullptr;
    SubmitSamplesPage* submitSamplesPage_ = nullptr;
    SplashWindow* splash_ = nullptr;

    TaskIcon taskIcon1_;
    QMenu* mnuPopup3_ = nullptr;
    QAction* mnuHideWindow_ = nullptr;

    int currentPage_ = -1;
    bool ended_ = false;
    bool exiting_ = false;
    bool unloaded_ = false;
};

}  // namespace vk::app
