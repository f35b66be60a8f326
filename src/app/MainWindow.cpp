#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSocketNotifier>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTime>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>

#include "Version.h"
#include "app/AboutWindow.h"
#include "app/AppIcon.h"
#include "app/AutoRepairPage.h"
#include "app/KastScriptWizard.h"
#include "app/KillersMenu.h"
#include "app/ScriptFolderPrompt.h"
#include "app/AutoScanPage.h"
#include "app/AutorunManagerPage.h"
#include "app/DatabaseInfoBox.h"
#include "app/Dialogs.h"
#include "app/Farwatch.h"
#include "app/HeaderColors.h"
#include "app/LinkLabel.h"
#include "app/ProcessInspectorPage.h"
#include "app/LogAgentPage.h"
#include "app/RegistryTweaksPage.h"
#include "app/RunDialog.h"
#include "app/ScanDialogs.h"
#include "app/ScanPage.h"
#include "app/SplashWindow.h"
#include "app/StartupEntryViewerPage.h"
#include "app/SubmitFileDialog.h"
#include "app/SubmitSamplesPage.h"
#include "app/TargetChooser.h"
#include "app/TextFit.h"
#include "platform/IniProfile.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"
#include "script/ScriptIniEngine.h"
#include "script/host/ScriptHost.h"
#include "tools/ProcessList.h"

namespace vk::app {

namespace {

const QString kHide = QStringLiteral("&Hide VandrelKast");
const QString kShow = QStringLiteral("&Show VandrelKast");
// The shared folder the Main page's link invites samples to.
const char* const kSamplesUrl = "https://vandrelkast.example.org/samples/";

QString versionText() {
    return QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}

struct PageText {
    const char* button;  // header button caption ("" for none in the bar)
    const char* menu;    // View menu entry
    const char* menuName;
    const char* title;
    const char* description;
};

const PageText kPages[MainWindow::kPageCount] = {
    {"&Main", "&Main", "mnuMain", "VandrelKast",
     "The best antidote for viruses, worms, trojans, and other sorts of malware."},
    {"&AutoRepair", "&AutoRepair", "mnuAutoRepair", "AutoRepair",
     "Runs KastScripts for easy and hassle-free removal of worms."},
    {"&Process Inspector", "&Process Inspector", "mnuProcessInspector", "Process Inspector",
     "Enumerates and manages processes running on your computer."},
    {"&Registry Tweaks", "&Registry Tweaks", "mnuRegistryTweaks", "Registry Tweaks",
     "Lets you manage crucial system configurations and registry tweaks."},
    {"&Startup Entry Viewer", "&Startup Entry Viewer", "mnuStartupEntryViewer", "Startup Entry Viewer",
     "Displays programs that are executed everytime Windows starts."},
    {"A&utorun Manager", "A&utorun Manager", "mnuAutorunManager", "AutoRun Manager",
     "Helps you manage Windows' AutoRun capability and prevent most of the worms from breaching your computer."},
    {"S&earch 'n Destroy", "S&earch 'n Destroy", "mnuSearchNDestroy", "Search 'n Destroy",
     "Search and destroys worms, viruses, or Trojan horse on your disks and drives."},
    {"", "Search 'n Des&troy Settings...", "mnuSndSettings", "Search 'n Destroy Settings",
     "Configure VandrelKast Search 'n Destroy scanning routine."},
    {"&Log Agent", "&Log Agent", "mnuLogAgent", "Log Agent",
     "Takes a snapshot of your computer's running programs,  startup list, and many more and save it on a log "
     "for more in-depth diagnosis of your computer."},
    {"Submit Suspicious File", "Subm&it Suspicious Files", "mnuSubmitSamples", "Submit Suspicious File",
     "Submit suspicious files and virus samples to VandrelKast Labs for analysis."},
    {"&Farwatch", "&Farwatch", "mnuFarwatch", "Farwatch", "Help monitor and gauge virus attacks and worm outbreaks."},
    {"Au&toScan", "Au&toScan", "mnuAutoScan", "AutoScan",
     "Automatically scan USB Flash Drives everytime they are inserted in your computer."},
};

const char* const kFeatures[] = {
    "+ Remove worms in one run with AutoRepair and its KastScripts.",
    "+ Manage, view, and eliminate malicious processes with Process Inspector.",
    "+ Restore system settings that worms change with Registry Tweaks.",
    "+ See and disable programs that start with your computer with Startup Entry Viewer.",
    "+ Keep worms from running off your drives with AutoRun Manager.",
    "+ Search and destroy worms on your disks and drives with Search 'n Destroy.",
    "+ Take a snapshot of your system for diagnosis with Log Agent.",
    "+ Send suspicious files to VandrelKast Labs with Submit Suspicious File.",
    "+ Help monitor worm outbreaks with Farwatch.",
    "+ Clean USB flash drives the moment they are inserted with AutoScan.",
};

}  // namespace

bool isSilentStart(const QStringList& arguments) {
    return arguments.join(QLatin1Char(' ')).toLower() == QLatin1String("/s");
}

QString windowCaption(const std::string& configIni) {
    std::string fallback = "VandrelKast [Version " + toBytes(versionText()) + " Beta]";
    return fromBytes(platform::getProfileString(configIni, "Window", "Caption", fallback));
}

QString MainWindow::initialConsoleText() {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("AutoRepair Console") + crlf + QString(25, QLatin1Char('-')) + crlf + crlf +
           QStringLiteral("VandrelKast's AutoRepair feature is designed to automatically repair your computer and "
                          "eliminate worms, viruses, or Trojan horse. You don't have to resort to manual instructions "
                          "and fixes. With AutoRepair, worm removal will never be hassle anymore.") +
           crlf + crlf +
           QStringLiteral("To AutoRepair, please select the KastScript you want to run by clicking Browse button, or "
                          "you can just select built-in scripts by clicking Built-in Killers button. If you have "
                          "selected the desired KastScript and you're ready, click Run KastScript button.") +
           crlf + crlf + QStringLiteral("Have a nice day!!!") + crlf + crlf + QStringLiteral(" - Ilse Vandrel") +
           crlf + QStringLiteral("   VandrelKast Author");
}

MainWindow::MainWindow(Dialogs& dialogs, StartupOptions options)
    : dialogs_(dialogs), options_(options), folder_(platform::programFolder()), tmrAutoScan_(this) {
    setObjectName(QStringLiteral("frmMain"));
    // An installed copy keeps config.ini under $XDG_CONFIG_HOME/vandrelkast,
    // which the profile writer does not create.
    QDir().mkpath(QFileInfo(fromBytes(folder_.configIni)).absolutePath());
    // 1. The caption, for the window and the application.
    QString caption = windowCaption(folder_.configIni);
    setApplicationTitle(caption);
    setWindowTitle(caption);
    setWindowIcon(appIcon());

    // 2. The long-lived objects, in this order.
    process_ = std::make_unique<tools::ProcessList>(&pump_);
    scanEngine_ = std::make_unique<scan::ScanEngine>(static_cast<scan::ScanEngineEvents*>(this), &pump_);
    scanEngine_->setDatabasePath(folder_.signaturesDat);
    scriptIniEngine_ = std::make_unique<script::ScriptIniEngine>(&pump_);
    console_.setPump(&pump_);
    console_.setClipboard(&clipboard_);
    scriptIniEngine_->setConsole(&console_);
    autoScan_ = std::make_unique<scan::AutoScan>(static_cast<scan::AutoScanEvents*>(this));
    // The script host and its five objects, registered once for the program's lifetime.
    folderPrompt_ = std::make_unique<ScriptFolderPrompt>(this, dialogs_);
    scriptHost_ = std::make_unique<script::ScriptHost>(console_, &pump_, folderPrompt_.get());

    tmrAutoScan_.setObjectName(QStringLiteral("tmrAutoScan"));
    tmrAutoScan_.setInterval(500);
    connect(&tmrAutoScan_, &QTimer::timeout, this, &MainWindow::pollDrives);
    if (mountWatcher_.descriptor() >= 0) {
        mountWatcher_.changed();  // only later changes wake a poll
        mountNotifier_ = std::make_unique<QSocketNotifier>(mountWatcher_.descriptor(), QSocketNotifier::Exception);
        connect(mountNotifier_.get(), &QSocketNotifier::activated, this, [this] {
            mountWatcher_.changed();  // clears the kernel's mark
            if (tmrAutoScan_.isActive()) pollDrives();
        });
    }

    buildWindow();
    buildTrayMenu();

    connect(&taskIcon1_, &TaskIcon::rightClick, this, &MainWindow::taskIconRightClick);
    connect(&taskIcon1_, &TaskIcon::dblClick, this, &MainWindow::toggleWindow);
    // The session is ending: closing is no longer hiding.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { exiting_ = true; });
}

MainWindow::~MainWindow() {
    closeSplash();
    // The page listens to the console, which goes before the child widgets do.
    delete autoRepairPage_;
    autoRepairPage_ = nullptr;
}

bool MainWindow::startUp(const QStringList& arguments) {
    // 3. The database, behind the splash window.
    scanEngine_->loadVirusDatabase();
    if (ended_) return false;
    // 4.
    showDatabaseInfo();
    // 5. Enrolment until it was completed once.
    if (!enrolmentCompleted(folder_.configIni)) {
        FwForm form(this, dialogs_, *scanEngine_, folder_.configIni);
        form.exec();
    }
    // 6.
    console_.setText(toBytes(initialConsoleText()));
    // 7. The script objects' registration comes with its page; then the
    // registry tweaks, scanning options, Farwatch, and the AutoScan settings.
    registryTweaksPage_->loadRegistryTweaks();
    scanSettingsPage_->loadScanSettings();
    farwatchPage_->loadFarwatchSettings();
    autoScanPage_->loadAutoScanSettings();
    // 8.
    cmdHeaderClick(kMain);
    // 9.
    taskIcon1_.setTipText(QStringLiteral("VandrelKast ") + versionText() + QStringLiteral(" Beta"));
    taskIcon1_.setIcon(appIcon());
    taskIcon1_.showButton();
    targetChooser_->showPendingMessages();
    // 10.
    if (isSilentStart(arguments)) {
        if (trayAvailable()) {
            setWindowState(Qt::WindowMinimized);
            hide();
        } else {
            showMinimized();
        }
        mnuHideWindow_->setText(kShow);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->geometry();
            move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
        }
    } else {
        show();
    }
    return true;
}

void MainWindow::buildWindow() {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(buildSideBar());

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    for (int i = 0; i < kPageCount; ++i) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("fraHeader%1").arg(i));
        frame->setFrameShape(QFrame::NoFrame);
        frame->setAutoFillBackground(true);
        auto* fl = new QVBoxLayout(frame);
        fl->setContentsMargins(18, 10, 18, 10);
        auto* title = new QLabel(QString::fromLatin1(kPages[i].title), frame);
        title->setObjectName(QStringLiteral("lblHeaderTitle"));
        QFont tf = title->font();
        tf.setBold(true);
        tf.setPointSizeF(tf.pointSizeF() * 1.5);
        title->setFont(tf);
        auto* desc = new QLabel(QString::fromLatin1(kPages[i].description), frame);
        desc->setObjectName(QStringLiteral("lblHeaderDescription"));
        desc->setWordWrap(true);
        fl->addWidget(title);
        fl->addWidget(desc);
        frame->setVisible(false);
        fraHeader_[static_cast<std::size_t>(i)] = frame;
        right->addWidget(frame);
    }
    applyHeaderColors();

    // Pages scroll rather than push their buttons off a small or scaled screen.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("scrPages"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    auto* pagesHolder = new QWidget(scroller);
    auto* pagesArea = new QVBoxLayout(pagesHolder);
    pagesArea->setContentsMargins(14, 10, 14, 12);
    for (int i = 0; i < kPageCount; ++i) {
        QWidget* panel = nullptr;
        switch (i) {
            case kMain: panel = buildMainPage(); break;
            case kAutoRepair:
                autoRepairPage_ = new AutoRepairPage(this, dialogs_, console_, *scriptIniEngine_, *scriptHost_,
                                                     folder_.killers);
                panel = autoRepairPage_;
                connect(autoRepairPage_->wizardButton(), &QPushButton::clicked, this,
                        &MainWindow::showKastScriptWizard);
                break;
            case kProcessInspector:
                processInspectorPage_ =
                    new ProcessInspectorPage(this, dialogs_, *process_, *scanEngine_, folder_.configIni);
                panel = processInspectorPage_;
                break;
            case kSearchNDestroy:
                scanPage_ = new ScanPage(this, dialogs_, *scanEngine_);
                panel = scanPage_;
                break;
            case kSndSettings:
                scanSettingsPage_ = new ScanSettingsPage(this, dialogs_, *scanEngine_, folder_.configIni);
                panel = scanSettingsPage_;
                break;
            case kFarwatch:
                farwatchPage_ = new FarwatchPage(this, *scanEngine_, folder_.configIni);
                panel = farwatchPage_;
                break;
            case kRegistryTweaks:
                registryTweaksPage_ = new RegistryTweaksPage(this);
                panel = registryTweaksPage_;
                break;
            case kStartupEntryViewer:
                startupEntryViewerPage_ = new StartupEntryViewerPage(this);
                panel = startupEntryViewerPage_;
                break;
            case kAutorunManager:
                autorunManagerPage_ = new AutorunManagerPage(this);
                panel = autorunManagerPage_;
                break;
            case kLogAgent:
                logAgentPage_ = new LogAgentPage(this, dialogs_, *process_, clipboard_);
                panel = logAgentPage_;
                break;
            case kAutoScan:
                autoScanPage_ = new AutoScanPage(this, *autoScan_, tmrAutoScan_, folder_.configIni);
                panel = autoScanPage_;
                break;
            case kSubmitSamples:
                submitSamplesPage_ = new SubmitSamplesPage(this, dialogs_, pump_, folder_.configIni);
                panel = submitSamplesPage_;
                break;
            default:
                // The page's controls come with its feature.
                panel = new QWidget(this);
                break;
        }
        panel->setParent(pagesHolder);
        panel->setObjectName(QStringLiteral("picPages%1").arg(i));
        panel->setVisible(false);
        picPages_[static_cast<std::size_t>(i)] = panel;
        pagesArea->addWidget(panel, 1);
    }
    scroller->setWidget(pagesHolder);
    right->addWidget(scroller, 1);
    outer->addLayout(right, 1);

    cmdHeader_[kSndSettings] = scanPage_->settingsButton();
    connect(scanPage_->settingsButton(), &QPushButton::clicked, this, [this] { cmdHeaderClick(kSndSettings); });
    connect(scanSettingsPage_->backButton(), &QPushButton::clicked, this, [this] { cmdHeaderClick(kSearchNDestroy); });
    // The process list and the reporting settings are re-read on every visit of their page.
    setPageLoader(kProcessInspector, [this] { processInspectorPage_->refreshProcessList(); });
    processInspectorPage_->setSubmitter([this](const QString& path) { showSubmitFileDialog(path); });
    setPageLoader(kFarwatch, [this] { farwatchPage_->loadFarwatchSettings(); });
    setPageLoader(kRegistryTweaks, [this] { registryTweaksPage_->loadRegistryTweaks(); });
    setPageLoader(kStartupEntryViewer, [this] { startupEntryViewerPage_->loadStartupList(); });
    setPageLoader(kAutorunManager, [this] { autorunManagerPage_->loadAutorunSettings(); });
    setPageLoader(kAutoScan, [this] { autoScanPage_->loadAutoScanSettings(); });
    fitToScreen();
}

QWidget* MainWindow::buildSideBar() {
    auto* bar = new QFrame(this);
    picHeaderBar_ = bar;
    bar->setObjectName(QStringLiteral("picHeaderBar"));
    bar->setStyleSheet(QStringLiteral(
        "#picHeaderBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #0d3b4f, stop:1 #16566f); }"
        "#picHeaderBar QScrollArea, #picHeaderBar QScrollArea > QWidget > QWidget { background: transparent; }"
        "#picHeaderBar QPushButton { color: white; background: transparent; border: none; text-align: left;"
        " padding: 6px 10px; border-radius: 3px; }"
        "#picHeaderBar QPushButton:hover { background: rgba(255,255,255,40); }"
        "#picHeaderBar QPushButton:checked { background: rgba(255,255,255,70); font-weight: bold; }"
        "#picHeaderBar QLabel { color: white; }"));
    auto* barLayout = new QVBoxLayout(bar);
    barLayout->setContentsMargins(8, 12, 8, 10);
    barLayout->setSpacing(2);
    auto* logoRow = new QHBoxLayout;
    auto* logo = new QLabel(bar);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(logoPixmap(40));
    logoRow->addWidget(logo);
    auto* name = new QLabel(QStringLiteral("VandrelKast"), bar);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.35);
    name->setFont(nameFont);
    logoRow->addWidget(name, 1);
    barLayout->addLayout(logoRow);
    targetChooser_ = new TargetChooser(bar, dialogs_, options_.target);
    // Pages that show registry data read the new target's when shown.
    targetChooser_->setChanged([this] { cmdHeaderClick(currentPage_); });
    barLayout->addWidget(targetChooser_);
    barLayout->addSpacing(10);

    // The page buttons scroll on a short screen; the logo and Exit stay.
    auto* scroller = new QScrollArea(bar);
    scroller->setObjectName(QStringLiteral("scrHeaderBar"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* buttons = new QWidget(scroller);
    auto* buttonsLayout = new QVBoxLayout(buttons);
    buttonsLayout->setContentsMargins(0, 0, 0, 0);
    buttonsLayout->setSpacing(2);
    // Checked buttons are bold: the widest bold caption sets the bar's width.
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int widest = QFontMetrics(nameFont).horizontalAdvance(name->text()) + 40 + barLayout->spacing() + 6;
    auto addButton = [&](QPushButton* button, QBoxLayout* into) {
        into->addWidget(button);
        widest = std::max(widest, metrics.horizontalAdvance(QString(button->text()).remove(QLatin1Char('&'))) + 20 + 4);
    };
    for (int i = 0; i < kPageCount; ++i) {
        if (i == kSndSettings) continue;  // that one is on the scan page
        auto* button = new QPushButton(QString::fromLatin1(kPages[i].button), buttons);
        button->setObjectName(QStringLiteral("cmdHeader%1").arg(i));
        button->setCheckable(true);
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, [this, i] { cmdHeaderClick(i); });
        cmdHeader_[static_cast<std::size_t>(i)] = button;
        addButton(button, buttonsLayout);
    }
    buttonsLayout->addStretch();
    scroller->setWidget(buttons);
    barLayout->addWidget(scroller, 1);
    auto* exit = new QPushButton(QStringLiteral("&Exit VandrelKast"), bar);
    exit->setObjectName(QStringLiteral("cmdExit"));
    connect(exit, &QPushButton::clicked, this, &MainWindow::cmdExit_Click);
    addButton(exit, barLayout);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    bar->setFixedWidth(widest + barLayout->contentsMargins().left() + barLayout->contentsMargins().right() + scrollBar);
    return bar;
}

void MainWindow::applyHeaderColors() {
    const HeaderColors colors = headerColors(palette());
    for (QFrame* frame : fraHeader_) {
        if (!frame) continue;
        QPalette pal = frame->palette();
        pal.setColor(QPalette::Window, colors.background);
        pal.setColor(QPalette::WindowText, colors.text);
        frame->setPalette(pal);
        if (auto* title = frame->findChild<QLabel*>(QStringLiteral("lblHeaderTitle"))) {
            QPalette tp = title->palette();
            tp.setColor(QPalette::WindowText, colors.title);
            title->setPalette(tp);
        }
        if (auto* desc = frame->findChild<QLabel*>(QStringLiteral("lblHeaderDescription"))) {
            QPalette dp = desc->palette();
            dp.setColor(QPalette::WindowText, colors.text);
            desc->setPalette(dp);
        }
    }
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applyHeaderColors();
    QWidget::changeEvent(event);
}

void MainWindow::fitToScreen() {
    setMinimumSize(480, 320);
    QSize size(860, 600);
    if (QScreen* s = screen()) {
        // Leave room for the window frame and title bar.
        const QRect area = s->availableGeometry();
        size = size.boundedTo(QSize(area.width() - 16, area.height() - 48));
        resize(size);
        move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        return;
    }
    resize(size);
}

QWidget* MainWindow::buildMainPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    databaseInfo_ = new DatabaseInfoBox(page);
    layout->addWidget(databaseInfo_);

    auto* features = new QGroupBox(QStringLiteral("Special Features:"), page);
    auto* fl = new QVBoxLayout(features);
    fl->setSpacing(3);
    for (const char* line : kFeatures) {
        auto* l = new QLabel(QString::fromLatin1(line), features);
        l->setWordWrap(true);
        fl->addWidget(l);
    }
    layout->addWidget(features);
    layout->addStretch();
    auto* link = new LinkLabel(
        QStringLiteral("Found a new worm? Upload your virus samples to the VandrelKast Labs shared folder."),
        QUrl(QString::fromLatin1(kSamplesUrl)), page);
    link->setObjectName(QStringLiteral("lblLink"));
    link->setWordWrap(true);
    layout->addWidget(link);
    return page;
}

void MainWindow::buildTrayMenu() {
    mnuPopup3_ = new QMenu(this);
    mnuPopup3_->setObjectName(QStringLiteral("mnuPopup3"));
    mnuHideWindow_ = mnuPopup3_->addAction(kHide, this, &MainWindow::toggleWindow);
    mnuHideWindow_->setObjectName(QStringLiteral("mnuHideWindow"));
    mnuPopup3_->setDefaultAction(mnuHideWindow_);
    mnuPopup3_->addSeparator();

    QMenu* view = mnuPopup3_->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuTools"));
    const int order[] = {kMain, -1, kAutoRepair, kProcessInspector, kRegistryTweaks, kStartupEntryViewer,
                         kAutorunManager, kSearchNDestroy, kLogAgent, kSubmitSamples, kFarwatch, kAutoScan, -1,
                         kSndSettings};
    for (int index : order) {
        if (index < 0) {
            view->addSeparator();
            continue;
        }
        QAction* a = view->addAction(QString::fromLatin1(kPages[index].menu), this,
                                     [this, index] { restoreAndSelect(index); });
        a->setObjectName(QString::fromLatin1(kPages[index].menuName));
    }

    // Filled from the killers folder, as the AutoRepair page's menu is.
    QMenu* fixes = mnuPopup3_->addMenu(QStringLiteral("Run VandrelKast fixes..."));
    fixes->setObjectName(QStringLiteral("mnuRunFixes"));
    fixes_ = std::make_unique<KillersMenu>(fixes, QStringLiteral("mnuFixes"), QStringLiteral("No fixes available!"),
                                           [this](const QString& path) { runFix(path); });

    QMenu* extra = mnuPopup3_->addMenu(QStringLiteral("&Extra Tools..."));
    extra->setObjectName(QStringLiteral("mnuExtraTools"));
    QAction* run = extra->addAction(QStringLiteral("Run..."), this, &MainWindow::mnuRun_Click);
    run->setObjectName(QStringLiteral("mnuRun"));
    QAction* wizard = extra->addAction(QStringLiteral("KastScript Generator Wizard"), this,
                                       &MainWindow::showKastScriptWizard);
    wizard->setObjectName(QStringLiteral("mnuKastScriptWizard"));
    mnuPopup3_->addSeparator();

    struct Quick {
        const char* caption;
        int page;
    };
    const Quick quick[4] = {{"Fix my PC from malware infection...", kAutoRepair},
                            {"Search for malicious processes...", kProcessInspector},
                            {"Configure my PC's system configuration....", kRegistryTweaks},
                            {"Scan my storage devices for malware...", kSearchNDestroy}};
    for (int i = 0; i < 4; ++i) {
        int page = quick[i].page;
        QAction* a = mnuPopup3_->addAction(QString::fromLatin1(quick[i].caption), this,
                                           [this, page] { restoreAndSelect(page); });
        a->setObjectName(QStringLiteral("mnuQuickLaunch%1").arg(i));
    }
    mnuPopup3_->addSeparator();
    QAction* about = mnuPopup3_->addAction(QStringLiteral("&About VandrelKast"), this, &MainWindow::mnuAbout_Click);
    about->setObjectName(QStringLiteral("mnuAbout"));
    mnuPopup3_->addSeparator();
    QAction* exit = mnuPopup3_->addAction(QStringLiteral("E&xit VandrelKast"), this, &MainWindow::cmdExit_Click);
    exit->setObjectName(QStringLiteral("mnuExit"));
}

void MainWindow::mnuRun_Click() {
    RunDialog dialog(this, dialogs_);
    dialog.exec();
}

void MainWindow::mnuAbout_Click() {
    AboutWindow about(this);
    about.exec();
}

void MainWindow::setPageLoader(int index, std::function<void()> loader) {
    if (index >= 0 && index < kPageCount) pageLoaders_[static_cast<std::size_t>(index)] = std::move(loader);
}

void MainWindow::cmdHeaderClick(int index) {
    if (index < 0 || index >= kPageCount) return;
    if (auto& loader = pageLoaders_[static_cast<std::size_t>(index)]) loader();
    for (QFrame* f : fraHeader_) f->setVisible(false);
    fraHeader_[static_cast<std::size_t>(index)]->setVisible(true);
    for (QWidget* p : picPages_) p->setVisible(false);
    picPages_[static_cast<std::size_t>(index)]->setVisible(true);
    currentPage_ = index;
    // The bar marks the page (the scan page for its settings).
    int marked = index == kSndSettings ? kSearchNDestroy : index;
    for (int i = 0; i < kPageCount; ++i)
        if (i != kSndSettings && cmdHeader_[static_cast<std::size_t>(i)])
            cmdHeader_[static_cast<std::size_t>(i)]->setChecked(i == marked);
}

void MainWindow::showKastScriptWizard() {
    KastScriptWizard wizard(this, dialogs_);
    wizard.exec();
}

void MainWindow::runFix(const QString& path) {
    restoreAndSelect(kAutoRepair);
    autoRepairPage_->runFix(path);
}

void MainWindow::restoreAndSelect(int index) {
    bringForward();
    cmdHeaderClick(index);
}

void MainWindow::showDatabaseInfo() {
    databaseInfo_->showDatabase(*scanEngine_);
    scanPage_->showDatabaseInfo();
}

bool MainWindow::scanning() const { return scanPage_ && scanPage_->scanning(); }

void MainWindow::pumpMessages() {
    for (int i = 0; i < 10000; ++i) QCoreApplication::processEvents();
}

void MainWindow::waitSeconds(double seconds) {
    auto now = [] { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; };
    const double start = std::round(now());
    for (;;) {
        double elapsed = now() - start;
        if (elapsed < -1.0) elapsed += 86400.0;  // past midnight
        if (elapsed >= seconds) break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

QString MainWindow::compactText(const QString& text, int maxWidth) const {
    return vk::app::compactText(fontMetrics(), text, maxWidth);
}

bool MainWindow::windowIsNormal() const { return isVisible() && !isMinimized(); }

void MainWindow::showSubmitFileDialog(const QString& path) {
    SubmitFileDialog dialog(this, dialogs_, pump_, folder_.configIni);
    dialog.setFile(path);
    dialog.exec();
}

void MainWindow::startedAgain(const QStringList& arguments) {
    // "/s" asks for the tray, where the running copy already is.
    if (!isSilentStart(arguments)) bringForward();
}

void MainWindow::bringForward() {
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    mnuHideWindow_->setText(kHide);
}

void MainWindow::toggleWindow() {
    if (!windowIsNormal()) {
        bringForward();
    } else {
        hideToTray();
        mnuHideWindow_->setText(kShow);
    }
}

bool MainWindow::trayAvailable() const {
    return options_.trayAvailable ? *options_.trayAvailable : QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::hideToTray() {
    setWindowState(windowState() | Qt::WindowMinimized);
    if (trayAvailable()) hide();
}

void MainWindow::taskIconRightClick() {
    mnuHideWindow_->setText(windowIsNormal() ? kHide : kShow);
    if (QDir(fromBytes(folder_.killers)).exists()) {
        autoRepairPage_->killersMenu().rebuild(folder_.killers);
        fixes_->rebuild(folder_.killers);
    }
    mnuPopup3_->popup(QCursor::pos());
}

void MainWindow::cmdExit_Click() {
    QString question =
        tmrAutoScan_.isActive()
            ? QStringLiteral("VandrelKast's AutoScan feature is currently enabled. If you close VandrelKast now, it "
                             "will also shut down the AutoScan feature and you'll lose protection against any "
                             "malware.\r\nDo you really want to shut down VandrelKast?")
            : QStringLiteral("Are you sure you want to quit VandrelKast?");
    if (dialogs_.message(this, question, MessageIcon::Question, MessageButtons::YesNo,
                         QStringLiteral("Exit VandrelKast")) != MessageResult::Yes)
        return;
    exiting_ = true;
    if (!close()) exiting_ = false;
}

bool MainWindow::validateControls() {
    if (scanSettingsPage_ && scanSettingsPage_->fileSizeHasFocus()) return scanSettingsPage_->validateFileSize();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    bool valid = validateControls();
    if (!exiting_) {
        // The close box hides to the tray; it never ends the program.
        if (valid) toggleWindow();
        event->ignore();
        return;
    }
    if (!valid) {
        event->ignore();
        return;
    }
    event->accept();
    unloaded_ = true;
    // A scan running in a handler below ends at its next check, without its dialog.
    scanPage_->setExiting(true);
    scanEngine_->setStopScanningProcess(true);
    autoRepairPage_->requestStop();
    closeSplash();
    taskIcon1_.hideButton();
    // Before the main loop runs, main() sees unloaded() instead; an exit
    // request then would make every later event loop return at once.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::quit();
}

void MainWindow::endProgram() {
    ended_ = true;
    exiting_ = true;
    unloaded_ = true;
    scanPage_->setExiting(true);
    scanEngine_->setStopScanningProcess(true);
    closeSplash();
    hide();
    taskIcon1_.hideButton();
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(1);
}

void MainWindow::closeSplash() {
    if (!splash_) return;
    splash_->close();
    delete splash_;
    splash_ = nullptr;
}

void MainWindow::initializeLoading() {
    closeSplash();
    splash_ = new SplashWindow(this);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        splash_->move(area.center() - QPoint(splash_->width() / 2, splash_->height() / 2));
    }
    splash_->show();
    pump_.pumpNow();
}

void MainWindow::loadProgress(std::int16_t percent, const std::string& status) {
    if (!splash_) return;
    splash_->setProgress(percent, fromBytes(status));
    if (percent >= 100) pump_.pumpNow();
    else pump_.pump();
}

void MainWindow::finishedLoading() {
    // The splash stays up a moment; the window keeps painting meanwhile.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < options_.splashCloseDelayMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    closeSplash();
}

void MainWindow::errorOccured(std::int32_t number, const std::string& description) {
    dialogs_.message(this, fromBytes(description), MessageIcon::Critical, MessageButtons::Ok,
                     QStringLiteral("Error #") + QString::number(number));
    if (number == scan::kErrDatabaseMissing || number == scan::kErrDatabaseTooNew ||
        number == scan::kErrDatabaseHeader || number == scan::kErrDatabaseCrc)
        endProgram();
}

void MainWindow::scanningProgress(const std::string& fileScanned) {
    scanPage_->showFileScanned(fromBytes(fileScanned));
    pump_.pump();
}

void MainWindow::pollDrives() {
    // Not re-entered from the dialogs or the scan a poll itself started.
    if (polling_ || unloaded_) return;
    polling_ = true;
    try {
        autoScan_->checkDrives();
        scanQueuedDrives();
    } catch (const std::exception&) {
        // A failed poll is retried at the next tick.
    }
    polling_ = false;
}

void MainWindow::confirmScan(const std::string& /*drive*/, bool& allowScan) {
    if (scanning()) {
        dialogs_.message(this,
                         QStringLiteral("A new removable drive is just inserted but VandrelKast cannot scan it. "
                                        "VandrelKast is currently scanning other file locations. To scan the "
                                        "removable drive you've inserted, stop the scanning process first and scan "
                                        "your removable drive manually."),
                         MessageIcon::Critical, MessageButtons::Ok, applicationTitle());
        restoreAndSelect(kSearchNDestroy);
        allowScan = false;
        return;
    }
    allowScan = dialogs_.message(this,
                                 QStringLiteral("A new removable drive is just inserted. Do you want VandrelKast to "
                                                "scan it for viruses, worms, trojans, and other kinds of malware?"),
                                 MessageIcon::Question, MessageButtons::YesNo,
                                 applicationTitle()) == MessageResult::Yes;
}

void MainWindow::driveInsterted(const std::string& drive) {
    // Pressing Start now would stop the running scan: the drive waits for its end.
    if (scanning()) {
        if (std::find(queuedDrives_.begin(), queuedDrives_.end(), drive) == queuedDrives_.end())
            queuedDrives_.push_back(drive);
        return;
    }
    scanDrive(drive, autoScan_->scanPrompt());
}

void MainWindow::driveRemoved(const std::string& drive) {
    // A drive pulled out before its turn is not scanned.
    queuedDrives_.erase(std::remove(queuedDrives_.begin(), queuedDrives_.end(), drive), queuedDrives_.end());
}

void MainWindow::driveCleaned(const std::string& drive, const scan::AutorunCleanResult& result) {
    const QString notice = driveCleanedNotice(drive, result);
    if (!notice.isEmpty()) taskIcon1_.showNotification(QStringLiteral("VandrelKast AutoScan"), notice);
}

void MainWindow::scanDrive(const std::string& drive, bool bringToFront) {
    if (bringToFront) bringForward();
    cmdHeaderClick(kSearchNDestroy);
    scanPage_->scanDirBox()->setText(fromBytes(drive));
    scanPage_->cmdScanDir_Click();
}

void MainWindow::scanQueuedDrives() {
    // The scan has ended when its statistics box is closed too.
    while (!queuedDrives_.empty() && !scanning() && !unloaded_ && !QApplication::activeModalWidget()) {
        const std::string drive = queuedDrives_.front();
        queuedDrives_.erase(queuedDrives_.begin());
        scanDrive(drive, false);
    }
}

void MainWindow::virusDetected(const std::string& fileScanned, const std::string& virusName,
                               scan::DetectionAction& action) {
    DetectionDialog dialog(this, font());
    dialog.fill(fromBytes(fileScanned), fromBytes(virusName));
    dialog.exec();
    action = dialog.choice();
}

}  // namespace vk::app
