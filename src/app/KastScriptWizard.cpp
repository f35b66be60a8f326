#include "app/KastScriptWizard.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/Dialogs.h"
#include "app/SelectAllOnFocus.h"
#include "app/TextFit.h"
#include "checksum/Md5.h"

namespace vk::app {

const QString KastScriptWizard::kNextCaption = QStringLiteral("&Next >");
const QString KastScriptWizard::kCompileCaption = QStringLiteral("&Compile");
const QString KastScriptWizard::kFinishedCaption = QStringLiteral("&Finished");

namespace {

enum Pages {
    kWelcome = 0, kInformation, kProcesses, kDeleteFiles, kRegistryChange, kRegistryValues, kRegistryKeys,
    kDrives, kDriveScan, kCompile, kFinished
};

const QString kNotAvailable = QString::fromLatin1(script::kNotAvailable.data(),
                                                  static_cast<qsizetype>(script::kNotAvailable.size()));

QLineEdit* edit(const char* name, QWidget* parent, const QString& preset = {}) {
    auto* e = new QLineEdit(preset, parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QCheckBox* check(const char* name, const QString& caption, QWidget* parent) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QTreeWidget* listView(const char* name, const QStringList& columns, QWidget* parent) {
    auto* l = new QTreeWidget(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setHeaderLabels(columns);
    l->setRootIsDecorated(false);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setUniformRowHeights(true);
    l->header()->setStretchLastSection(true);
    if (columns.size() > 1) l->header()->resizeSection(0, 220);
    return l;
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    if (buddy) l->setBuddy(buddy);
    return l;
}

void addRow(QTreeWidget* list, const QStringList& columns) { list->addTopLevelItem(new QTreeWidgetItem(columns)); }

void removeSelected(QTreeWidget* list) { qDeleteAll(list->selectedItems()); }

std::vector<std::string> column(const QTreeWidget* list, int index) {
    std::vector<std::string> values;
    for (int i = 0; i < list->topLevelItemCount(); ++i) values.push_back(toBytes(list->topLevelItem(i)->text(index)));
    return values;
}

bool blank(const QLineEdit* e) { return e->text().trimmed().isEmpty(); }

}  // namespace

void setControlsEnabled(std::initializer_list<QWidget*> controls, bool enabled) {
    for (QWidget* w : controls) {
        w->setEnabled(enabled);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setReadOnly(!enabled);
            QPalette pal = e->palette();
            pal.setColor(QPalette::Base, enabled ? QApplication::palette().color(QPalette::Base)
                                                 : QApplication::palette().color(QPalette::Button));
            e->setPalette(pal);
        }
    }
}

KastScriptWizard::KastScriptWizard(QWidget* owner, Dialogs& dialogs) : QDialog(owner), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmKSWizard"));
    setWindowTitle(QStringLiteral("KastScript Generator Wizard"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(logoPixmap(64));
    logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    logo->setFixedWidth(84);
    body->addWidget(logo);
    stack_ = new QStackedWidget(this);
    body->addWidget(stack_, 1);
    layout->addLayout(body, 1);

    buildWelcomePage();
    buildInformationPage();
    buildProcessPage();
    buildDeletePage();
    buildRegistryChangePage();
    buildRegistryValuePage();
    buildRegistryKeyPage();
    buildDrivePage();
    buildScanPage();
    buildCompilePage();
    buildFinishedPage();

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    layout->addWidget(rule);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdBack_ = button("cmdBack", QStringLiteral("< &Back"), this);
    cmdNext_ = button("cmdNext", kNextCaption, this);
    cmdNext_->setDefault(true);
    cmdCancel_ = button("cmdCancel", QStringLiteral("&Cancel"), this);
    buttons->addWidget(cmdBack_);
    buttons->addWidget(cmdNext_);
    buttons->addSpacing(10);
    buttons->addWidget(cmdCancel_);
    layout->addLayout(buttons);
    connect(cmdBack_, &QPushButton::clicked, this, &KastScriptWizard::cmdBack_Click);
    connect(cmdNext_, &QPushButton::clicked, this, &KastScriptWizard::cmdNext_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);

    // The welcome page names the buttons by their shortcuts.
    page(kWelcome)->findChild<QLabel*>(QStringLiteral("lblProceed"))->setBuddy(cmdNext_);
    page(kWelcome)->findChild<QLabel*>(QStringLiteral("lblExit"))->setBuddy(cmdCancel_);

    // On opening: the groups are off until their box is ticked.
    for (QCheckBox* box : {chkTerminateProc_, chkEnableDel_, chkRegFuncs_, chkEnableFix_, chkRunScan_}) {
        box->setChecked(false);
        emit box->toggled(false);
    }
    cboDriveTypes_->setCurrentIndex(0);
    resize(640, 430);
    showPage(kWelcome);
}

QWidget* KastScriptWizard::newPage(int index, const char* heading, const QString& prompt) {
    auto* p = new QWidget(stack_);
    p->setObjectName(QStringLiteral("picPages%1").arg(index));
    auto* layout = new QVBoxLayout(p);
    auto* h = new QLabel(QString::fromLatin1(heading), p);
    h->setObjectName(QStringLiteral("lblHeading"));
    QFont f = h->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.25);
    h->setFont(f);
    layout->addWidget(h);
    auto* text = new QLabel(prompt, p);
    text->setObjectName(QStringLiteral("lblPrompt"));
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addSpacing(6);
    stack_->addWidget(p);
    picPages_[static_cast<std::size_t>(index)] = p;
    return p;
}

void KastScriptWizard::buildWelcomePage() {
    QWidget* p = newPage(kWelcome, "Welcome to KastScript Generator Wizard.",
                         QStringLiteral("This wizard will guide to through a step-by-step process in creating your own "
                                        "custom KastScripts."));
    auto* layout = static_cast<QVBoxLayout*>(p->layout());
    auto* proceed = new QLabel(QStringLiteral("To proceed, please click &Next."), p);
    proceed->setObjectName(QStringLiteral("lblProceed"));
    auto* cancel = new QLabel(QStringLiteral("You can exit this wizard anytime by clicking the &Cancel button."), p);
    cancel->setObjectName(QStringLiteral("lblExit"));
    cancel->setWordWrap(true);
    layout->addSpacing(12);
    layout->addWidget(proceed);
    layout->addWidget(cancel);
    layout->addStretch();
}

void KastScriptWizard::buildInformationPage() {
    QWidget* p = newPage(kInformation, "Basic KastScript Information",
                         QStringLiteral("Please fill up the following basic information for your KastScript."));
    auto* grid = new QGridLayout;
    txtKSName_ = edit("txtKSName", p, QStringLiteral("My KastScript1"));
    txtThreatName_ = edit("txtThreatName", p, QStringLiteral("Malware/AnyMalware.A"));
    txtVersion_ = edit("txtVersion", p, QStringLiteral("Version 1.0"));
    txtCopyright_ = edit("txtCopyright", p,
                         QStringLiteral("Copyright (c) %1 Your Name. All rights reserved.").arg(QDate::currentDate().year()));
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"KastScript Title:", txtKSName_},
        {"Name of the malware that your KastScript will remove:", txtThreatName_},
        {"KastScript Version:", txtVersion_},
        {"Copyright Information:", txtCopyright_}};
    int row = 0;
    for (const auto& [caption, field] : rows) {
        grid->addWidget(label(QString::fromLatin1(caption), field, p), row++, 0);
        grid->addWidget(field, row++, 0);
        selectAllOnFocus(field);
    }
    auto* layout = static_cast<QVBoxLayout*>(p->layout());
    layout->addLayout(grid);
    layout->addStretch();
}

void KastScriptWizard::buildProcessPage() {
    QWidget* p = newPage(kProcesses, "Terminate Processes",
                         QStringLiteral("Please kindly provide the processes your KastScript will terminate. The process "
                                        "must be related to the malware that your KastScript will remove."));
    chkTerminateProc_ = check("chkTerminateProc", QStringLiteral("&Terminate Processes"), p);
    chkTerminateWS_ = check("chkTerminateWS", QStringLiteral("Terminate &WScript."), p);
    txtAppPath_ = edit("txtAppPath", p);
    txtMD5Signature_ = edit("txtMD5Signature", p);
    auto* browse = button("cmdBrowse", QStringLiteral("..."), p);
    auto* add = button("cmdAddProcess", QStringLiteral("&Add Process..."), p);
    lvwProcessList_ = listView("lvwProcessList", {QStringLiteral("Process Name"), QStringLiteral("MD5 Signature")}, p);
    auto* remove = button("cmdRemove", QStringLiteral("&Remove Selected"), p);

    auto* grid = new QGridLayout;
    grid->addWidget(chkTerminateProc_, 0, 0);
    grid->addWidget(chkTerminateWS_, 0, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("Application Path:"), txtAppPath_, p), 1, 0);
    grid->addWidget(txtAppPath_, 1, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("MD5 Signature:"), txtMD5Signature_, p), 2, 0);
    grid->addWidget(txtMD5Signature_, 2, 1);
    grid->addWidget(browse, 2, 2);
    grid->addWidget(add, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Process List:"), p), 4, 0);
    grid->addWidget(lvwProcessList_, 5, 0, 1, 3);
    grid->addWidget(remove, 6, 2);
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(p->layout())->addLayout(grid, 1);

    connect(chkTerminateProc_, &QCheckBox::toggled, this, [=, this](bool on) {
        setControlsEnabled({chkTerminateWS_, txtAppPath_, txtMD5Signature_, browse, add, lvwProcessList_, remove}, on);
    });
    connect(browse, &QPushButton::clicked, this, [this] { browseForDigest(txtMD5Signature_); });
    connect(add, &QPushButton::clicked, this, &KastScriptWizard::cmdAddProcess_Click);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(lvwProcessList_); });
}

void KastScriptWizard::buildDeletePage() {
    QWidget* p = newPage(kDeleteFiles, "Delete Files", QStringLiteral("Please enter the files you want to delete."));
    chkEnableDel_ = check("chkEnableDel", QStringLiteral("Enable file deletions."), p);
    txtFilename_ = edit("txtFilename", p);
    auto* add = button("cmdAddFile", QStringLiteral("&Add File"), p);
    lvwDeleteList_ = listView("lvwDeleteList", {QStringLiteral("Filename")}, p);
    auto* remove = button("cmdRemove2", QStringLiteral("&Remove Selected"), p);
    auto* grid = new QGridLayout;
    grid->addWidget(chkEnableDel_, 0, 0, 1, 3);
    grid->addWidget(label(QStringLiteral("Filename:"), txtFilename_, p), 1, 0);
    grid->addWidget(txtFilename_, 1, 1);
    grid->addWidget(add, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("List of files to be deleted:"), p), 2, 0, 1, 3);
    grid->addWidget(lvwDeleteList_, 3, 0, 1, 3);
    grid->addWidget(remove, 4, 2);
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(p->layout())->addLayout(grid, 1);
    connect(chkEnableDel_, &QCheckBox::toggled, this,
            [=, this](bool on) { setControlsEnabled({txtFilename_, add, lvwDeleteList_, remove}, on); });
    connect(add, &QPushButton::clicked, this, &KastScriptWizard::cmdAddFile_Click);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(lvwDeleteList_); });
}

void KastScriptWizard::buildRegistryChangePage() {
    QWidget* p = newPage(kRegistryChange, "Restore Registry Configurations",
                         QStringLiteral("Please enter the appropriate values in the registry that you want to change."));
    chkRegFuncs_ = check("chkRegFuncs", QStringLiteral("Allow Registry Manipulation."), p);
    txtRegistryKey_ = edit("txtRegistryKey", p, QStringLiteral("HKLM\\RegKey\\RegVal"));
    txtNewValue_ = edit("txtNewValue", p, QStringLiteral("NewValue"));
    txtValueType_ = edit("txtValueType", p, QStringLiteral("REG_SZ"));
    auto* add = button("cmdAddRegCh", QStringLiteral("Add Item"), p);
    lvwRegChange_ = listView("lvwRegChange",
                             {QStringLiteral("Registry Key"), QStringLiteral("New Values"), QStringLiteral("Type")}, p);
    auto* remove = button("cmdRemove3", QStringLiteral("&Remove Selected"), p);
    auto* grid = new QGridLayout;
    grid->addWidget(chkRegFuncs_, 0, 0, 1, 3);
    grid->addWidget(label(QStringLiteral("Registry Key:"), txtRegistryKey_, p), 1, 0);
    grid->addWidget(txtRegistryKey_, 1, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("New Registry Value:"), txtNewValue_, p), 2, 0);
    grid->addWidget(txtNewValue_, 2, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("Value Type:"), txtValueType_, p), 3, 0);
    grid->addWidget(txtValueType_, 3, 1);
    grid->addWidget(add, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Registry Values to Change:"), p), 4, 0, 1, 3);
    grid->addWidget(lvwRegChange_, 5, 0, 1, 3);
    grid->addWidget(remove, 6, 2);
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(p->layout())->addLayout(grid, 1);
    connect(chkRegFuncs_, &QCheckBox::toggled, this, [=, this](bool on) {
        setControlsEnabled({txtRegistryKey_, txtNewValue_, txtValueType_, add, lvwRegChange_, remove}, on);
    });
    connect(add, &QPushButton::clicked, this, &KastScriptWizard::cmdAddRegCh_Click);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(lvwRegChange_); });
}

void KastScriptWizard::buildRegistryValuePage() {
    QWidget* p = newPage(kRegistryValues, "Remove Registry Values",
                         QStringLiteral("Please enter the appropriate values in the registry that you want to delete."));
    txtRegValue_ = edit("txtRegValue", p, QStringLiteral("HKLM\\RegKey\\RegVal"));
    auto* add = button("cmdAddValue", QStringLiteral("Add Value"), p);
    lvwRegDelete_ = listView("lvwRegDelete", {QStringLiteral("Registry Value")}, p);
    auto* remove = button("cmdRemove4", QStringLiteral("&Remove Selected"), p);
    auto* grid = new QGridLayout;
    grid->addWidget(label(QStringLiteral("Registry Value:"), txtRegValue_, p), 0, 0);
    grid->addWidget(txtRegValue_, 0, 1);
    grid->addWidget(add, 0, 2);
    auto* hint = new QLabel(QStringLiteral("Example: HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Sample"), p);
    hint->setEnabled(false);
    grid->addWidget(hint, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Registry values to delete:"), p), 2, 0, 1, 3);
    grid->addWidget(lvwRegDelete_, 3, 0, 1, 3);
    grid->addWidget(remove, 4, 2);
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(p->layout())->addLayout(grid, 1);
    connect(add, &QPushButton::clicked, this, &KastScriptWizard::cmdAddValue_Click);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(lvwRegDelete_); });
}

void KastScriptWizard::buildRegistryKeyPage() {
    QWidget* p = newPage(kRegistryKeys, "Remove Registry Keys",
                         QStringLiteral("Please enter the appropriate keys in the registry that you want to delete."));
    txtRegKey_ = edit("txtRegKey", p);
    auto* add = button("cmdAddKey", QStringLiteral("Add Key"), p);
    lvwRegDelKey_ = listView("lvwRegDelKey", {QStringLiteral("Registry Keys")}, p);
    auto* remove = button("cmdRemove5", QStringLiteral("&Remove Selected"), p);
    auto* grid = new QGridLayout;
    grid->addWidget(label(QStringLiteral("Registry Key:"), txtRegKey_, p), 0, 0);
    grid->addWidget(txtRegKey_, 0, 1);
    grid->addWidget(add, 0, 2);
    auto* hint = new QLabel(QStringLiteral("Example: HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"), p);
    hint->setEnabled(false);
    grid->addWidget(hint, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Registry Keys to delete:"), p), 2, 0, 1, 3);
    grid->addWidget(lvwRegDelKey_, 3, 0, 1, 3);
    grid->addWidget(remove, 4, 2);
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(p->layout())->addLayout(grid, 1);
    connect(add, &QPushButton::clicked, this, &KastScriptWizard::cmdAddKey_Click);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(lvwRegDelKey_); });
}

void KastScriptWizard::buildDrivePage() {
    QWidget* p = newPage(kDrives, "Disinfect Drives (1/2)",
                         QStringLiteral("Please configure the appropriate settings in disinfecting drives."));
    chkEnableFix_ = check("chkEnableFix", QStringLiteral("Enable drive disinfection."), p);
    txtFilename2_ = edit("txtFilename2", p);
    auto* add = button("cmdAddFilename", QStringLiteral("&Add File"), p);
    lvwDelFiles_ = listView("lvwDelFiles", {QStringLiteral("Filename")}, p);
    auto* remove = button("cmdRemove6", QStringLiteral("&Remove Selected"), p);
    cboDriveTypes_ = new QComboBox(p);
    cboDriveTypes_->setObjectName(QStringLiteral("cboDriveTypes"));
    cboDriveTypes_->addItems({QStringLiteral("All Types"), QStringLiteral("Fixed Drives"), QStringLiteral("Removable Drives")});
    auto* grid = new QGridLayout;
    grid->addWidget(chkEnableFix_, 0, 0, 1, 3);
    grid->addWidget(label(QStringLiteral("Filename:"), txtFilename2_, p), 1, 0);
    grid->addWidget(txtFilename2_, 1, 1);
    grid->addWidget(add, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("List of files to be in drives:"), p), 2, 0, 1, 3);
    grid->addWidget(lvwDelFiles_, 3, 0, 1, 3);
    grid->addWidget(remove, 4, 2);
    grid->addWidget(label(QStringLiteral("Types of drives to be disinfected:"), cboDriveTypes_, p), 5, 0, 1, 2);
    grid->addWidget(cboDriveTypes_, 5, 2);
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(p->layout())->addLayout(grid, 1);
    connect(chkEnableFix_, &QCheckBox::toggled, this, [=, this](bool on) {
        setControlsEnabled({cboDriveTypes_, txtFilename2_, add, lvwDelFiles_, remove}, on);
    });
    connect(add, &QPushButton::clicked, this, &KastScriptWizard::cmdAddFilename_Click);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(lvwDelFiles_); });
}

void KastScriptWizard::buildScanPage() {
    QWidget* p = newPage(kDriveScan, "Disinfect Drives (2/2)",
                         QStringLiteral("Please configure the appropriate settings in disinfecting drives."));
    chkRunScan_ = check("chkRunScan", QStringLiteral("Run intensive file scans."), p);
    txtMD5_ = edit("txtMD5", p);
    auto* getMd5 = button("cmdGetMD5", QStringLiteral("..."), p);
    // The engine's own default: files up to 1 MB.
    txtFileSizeLimit_ = edit("txtFileSizeLimit", p, QStringLiteral("1"));
    chkFilterExt_ = check("chkFilterExt", QStringLiteral("Scan only files with following extensions:"), p);
    txtFileExt_ = edit("txtFileExt", p);
    txtFileExt_->setPlaceholderText(QStringLiteral("exe;com;scr"));
    chkIncludeSubDir_ = check("chkIncludeSubDir", QStringLiteral("Include the subdirectories of each drives in scanning."), p);
    auto* grid = new QGridLayout;
    grid->addWidget(chkRunScan_, 0, 0, 1, 3);
    grid->addWidget(label(QStringLiteral("MD5 Signature:"), txtMD5_, p), 1, 0);
    grid->addWidget(txtMD5_, 1, 1);
    grid->addWidget(getMd5, 1, 2);
    grid->addWidget(label(QStringLiteral("File Size Limit:"), txtFileSizeLimit_, p), 2, 0);
    auto* sizeRow = new QHBoxLayout;
    txtFileSizeLimit_->setMaximumWidth(80);
    sizeRow->addWidget(txtFileSizeLimit_);
    sizeRow->addWidget(new QLabel(QStringLiteral("MB"), p));
    sizeRow->addStretch();
    grid->addLayout(sizeRow, 2, 1, 1, 2);
    grid->addWidget(chkFilterExt_, 3, 0, 1, 3);
    grid->addWidget(txtFileExt_, 4, 1, 1, 2);
    grid->addWidget(chkIncludeSubDir_, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = static_cast<QVBoxLayout*>(p->layout());
    layout->addLayout(grid);
    layout->addStretch();
    setControlsEnabled({txtFileExt_}, false);
    connect(chkRunScan_, &QCheckBox::toggled, this,
            [=, this](bool on) { setControlsEnabled({txtMD5_, txtFileSizeLimit_, getMd5}, on); });
    connect(chkFilterExt_, &QCheckBox::toggled, this, [this](bool on) { setControlsEnabled({txtFileExt_}, on); });
    connect(getMd5, &QPushButton::clicked, this, [this] { browseForDigest(txtMD5_); });
}

void KastScriptWizard::buildCompilePage() {
    QWidget* p = newPage(kCompile, "Ready to compile",
                         QStringLiteral("The KastScript is ready for compilation process.  Please set the remaining "
                                        "settings."));
    txtCompile_ = edit("txtCompile", p);
    auto* browse = button("cmdBrowse2", QStringLiteral("Browse..."), p);
    lblCompiling_ = new QLabel(QStringLiteral("Compiling. Please wait..."), p);
    lblCompiling_->setObjectName(QStringLiteral("lblCompiling"));
    lblCompiling_->setVisible(false);
    auto* grid = new QGridLayout;
    grid->addWidget(label(QStringLiteral("Compile file as..."), txtCompile_, p), 0, 0, 1, 2);
    grid->addWidget(txtCompile_, 1, 0);
    grid->addWidget(browse, 1, 1);
    grid->addWidget(lblCompiling_, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    auto* layout = static_cast<QVBoxLayout*>(p->layout());
    layout->addLayout(grid);
    layout->addStretch();
    connect(browse, &QPushButton::clicked, this, &KastScriptWizard::cmdBrowse2_Click);
}

void KastScriptWizard::buildFinishedPage() {
    QWidget* p = newPage(kFinished, "KastScript Generator Wizard Finished",
                         QStringLiteral("You have successfully generated your own KastScript. To end this wizard, click "
                                        "Finished."));
    static_cast<QVBoxLayout*>(p->layout())->addStretch();
}

void KastScriptWizard::showPage(int index) {
    page_ = index;
    stack_->setCurrentIndex(index);
    cmdBack_->setEnabled(index != kWelcome && index != kFinished);
}

bool KastScriptWizard::refuse(const QString& text, QWidget* focus) {
    showError(dialogs_, this, text);
    if (focus) focus->setFocus();
    return false;
}

void KastScriptWizard::cmdNext_Click() {
    switch (page_) {
        case kInformation: {
            const std::pair<QLineEdit*, const char*> checks[] = {
                {txtKSName_, "Please enter the name/title of your KastScript."},
                {txtVersion_, "Please enter the version info of your KastScript."},
                {txtCopyright_, "Please enter the copyright info of your KastScript."},
                {txtThreatName_, "Please enter the name of the malware that your KastScript will remove."}};
            for (const auto& [field, message] : checks)
                if (blank(field)) {
                    refuse(QString::fromLatin1(message), field);
                    return;
                }
            showPage(kProcesses);
            return;
        }
        case kRegistryChange: showPage(chkRegFuncs_->isChecked() ? kRegistryValues : kDrives); return;
        case kDrives:
            if (!chkEnableFix_->isChecked()) {
                cmdNext_->setText(kCompileCaption);
                showPage(kCompile);
            } else {
                showPage(kDriveScan);
            }
            return;
        case kDriveScan:
            cmdNext_->setText(kCompileCaption);
            showPage(kCompile);
            return;
        case kCompile:
            if (blank(txtCompile_)) {
                refuse(QStringLiteral("Please enter the filename where you want to compile you KastScript."), txtCompile_);
                return;
            }
            if (!compile()) return;
            cmdNext_->setText(kFinishedCaption);
            showPage(kFinished);
            return;
        case kFinished: accept(); return;
        default: showPage(page_ + 1); return;
    }
}

void KastScriptWizard::cmdBack_Click() {
    int target = page_ - 1;
    if (page_ == kDrives && !chkRegFuncs_->isChecked()) target = kRegistryChange;
    if (page_ == kCompile && !chkEnableFix_->isChecked()) target = kDrives;
    if (target < kWelcome) return;
    cmdNext_->setText(target == kCompile ? kCompileCaption : kNextCaption);
    showPage(target);
}

bool KastScriptWizard::compile() {
    lblCompiling_->setVisible(true);
    lblCompiling_->repaint();
    const QString file = txtCompile_->text();
    bool written = script::compileWizardScript(toBytes(file), script());
    lblCompiling_->setVisible(false);
    if (!written) {
        // Finishing with a script that is not there would tell the user it is.
        refuse(QStringLiteral("The KastScript could not be written to \"") + file +
                   QStringLiteral("\". Please choose another file name or folder."),
               txtCompile_);
        return false;
    }
    return true;
}

void KastScriptWizard::browseForDigest(QLineEdit* target) {
    FileDialogRequest request;
    request.title = QStringLiteral("Get MD5 checksum...");
    request.filter = QStringLiteral("All Files (*.*)|*.*");
    QString chosen = dialogs_.openFile(this, request);
    if (chosen.isEmpty()) return;
    checksum::Md5 md5;
    target->setText(fromBytes(md5.digestFileToHexStr(toBytes(chosen))));
}

void KastScriptWizard::cmdBrowse2_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Compile KastScript as...");
    request.filter = QStringLiteral("INI-based KastScripts (*.vki)|*.vki|All Files (*.*)|*.*");
    QString chosen = dialogs_.saveFile(this, request);
    if (!chosen.isEmpty()) txtCompile_->setText(fromBytes(script::compileFileName(toBytes(chosen))));
}

void KastScriptWizard::cmdAddProcess_Click() {
    if (blank(txtAppPath_) && blank(txtMD5Signature_)) {
        refuse(QStringLiteral("Please enter a data in either \"Application Path\" or \"MD5 Signature\" fields."));
        return;
    }
    addRow(lvwProcessList_, {blank(txtAppPath_) ? kNotAvailable : txtAppPath_->text(),
                             blank(txtMD5Signature_) ? kNotAvailable : txtMD5Signature_->text()});
    txtAppPath_->clear();
    txtMD5Signature_->clear();
}

void KastScriptWizard::cmdAddFile_Click() {
    if (blank(txtFilename_)) {
        refuse(QStringLiteral("Please enter the filename."));
        return;
    }
    addRow(lvwDeleteList_, {txtFilename_->text()});
    txtFilename_->clear();
}

void KastScriptWizard::cmdAddRegCh_Click() {
    if (blank(txtRegistryKey_)) {
        refuse(QStringLiteral("Please enter a value in \"Registry Key\" field."));
        return;
    }
    if (blank(txtNewValue_)) {
        refuse(QStringLiteral("Please enter a value in \"New Registry Value\" field."));
        return;
    }
    if (blank(txtValueType_)) {
        refuse(QStringLiteral("Please enter a value in \"Value Type\" field."));
        return;
    }
    // Registry paths ignore case, so a key differing only in case is the same item.
    if (!lvwRegChange_->findItems(txtRegistryKey_->text(), Qt::MatchFixedString, 0).isEmpty()) {
        refuse(QStringLiteral("Item is alredy on the list."));
        return;
    }
    addRow(lvwRegChange_, {txtRegistryKey_->text(), txtNewValue_->text(), txtValueType_->text()});
    txtRegistryKey_->clear();
    txtNewValue_->clear();
    txtValueType_->clear();
}

void KastScriptWizard::cmdAddValue_Click() {
    if (blank(txtRegValue_)) {
        refuse(QStringLiteral("Please enter the registry value that you want to add to the list."));
        return;
    }
    addRow(lvwRegDelete_, {txtRegValue_->text()});
    txtRegValue_->clear();
}

void KastScriptWizard::cmdAddKey_Click() {
    if (blank(txtRegKey_)) {
        refuse(QStringLiteral("Please enter the registry key that you want to add in the list."));
        return;
    }
    addRow(lvwRegDelKey_, {txtRegKey_->text()});
    txtRegKey_->clear();
}

void KastScriptWizard::cmdAddFilename_Click() {
    if (blank(txtFilename2_)) {
        refuse(QStringLiteral("Please enter the filename."));
        return;
    }
    addRow(lvwDelFiles_, {txtFilename2_->text()});
    txtFilename2_->clear();
}

script::WizardScript KastScriptWizard::script() const {
    script::WizardScript s;
    s.title = toBytes(txtKSName_->text());
    s.threatName = toBytes(txtThreatName_->text());
    s.version = toBytes(txtVersion_->text());
    s.copyright = toBytes(txtCopyright_->text());
    s.terminateProcesses = chkTerminateProc_->isChecked();
    s.terminateWScript = chkTerminateWS_->isChecked();
    std::vector<std::string> paths = column(lvwProcessList_, 0), digests = column(lvwProcessList_, 1);
    for (std::size_t i = 0; i < paths.size(); ++i) s.processes.push_back({paths[i], digests[i]});
    s.manageFiles = chkEnableDel_->isChecked();
    s.deleteFiles = column(lvwDeleteList_, 0);
    s.manageRegistry = chkRegFuncs_->isChecked();
    std::vector<std::string> keys = column(lvwRegChange_, 0), values = column(lvwRegChange_, 1),
                             types = column(lvwRegChange_, 2);
    for (std::size_t i = 0; i < keys.size(); ++i) s.registryChanges.push_back({keys[i], values[i], types[i]});
    s.registryDeleteValues = column(lvwRegDelete_, 0);
    s.registryDeleteKeys = column(lvwRegDelKey_, 0);
    s.disinfectDrives = chkEnableFix_->isChecked();
    s.driveTypes = toBytes(cboDriveTypes_->currentText());
    s.driveFiles = column(lvwDelFiles_, 0);
    s.runScan = chkRunScan_->isChecked();
    s.threatMd5 = toBytes(txtMD5_->text());
    s.fileSizeLimit = toBytes(txtFileSizeLimit_->text());
    s.scanSubFolders = chkIncludeSubDir_->isChecked();
    s.filterExtension = chkFilterExt_->isChecked();
    s.extensionFilter = toBytes(txtFileExt_->text());
    return s;
}

}  // namespace vk::app
