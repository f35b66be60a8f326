#include "app/AutoRepairPage.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "app/KillersMenu.h"
#include "app/RunAsDialog.h"
#include "app/SelectAllOnFocus.h"
#include "app/TextFit.h"
#include "script/Console.h"
#include "script/ScriptIniEngine.h"
#include "script/ScriptStop.h"
#include "script/host/ScriptHost.h"

namespace vk::app {

const QString AutoRepairPage::kRunCaption = QStringLiteral("&Run KastScript");
const QString AutoRepairPage::kStopCaption = QStringLiteral("&Stop KastScript");

namespace {

// Shows the console in its box, the newest line in view.
class ConsoleView final : public script::ConsoleListener {
public:
    explicit ConsoleView(QPlainTextEdit* box) : box_(box) {}
    void lineAppended(std::string_view line, bool joined) override {
        QString text = display(line);
        if (!joined && box_->document()->isEmpty()) box_->setPlainText(text);
        else box_->appendPlainText(text);
        box_->moveCursor(QTextCursor::End);
    }
    void textReset(std::string_view text) override {
        box_->setPlainText(display(text));
        box_->moveCursor(QTextCursor::End);
    }

private:
    static QString display(std::string_view text) {
        QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        return s;
    }
    QPlainTextEdit* box_;
};

QString trimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' ')) ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' ')) --end;
    return text.mid(begin, end - begin);
}

}  // namespace

AutoRepairPage::AutoRepairPage(QWidget* parent, Dialogs& dialogs, script::Console& console,
                               script::ScriptIniEngine& iniEngine, script::ScriptHost& host,
                               std::string killersFolder)
    : QWidget(parent),
      dialogs_(dialogs),
      console_(console),
      iniEngine_(iniEngine),
      host_(host),
      killersFolder_(std::move(killersFolder)) {
    auto* layout = new QVBoxLayout(this);

    auto* fileRow = new QHBoxLayout;
    auto* fileLabel = new QLabel(QStringLiteral("KastScript &Filename:"), this);
    txtBFilename_ = new QLineEdit(this);
    txtBFilename_->setObjectName(QStringLiteral("txtBFilename"));
    fileLabel->setBuddy(txtBFilename_);
    selectAllOnFocus(txtBFilename_);
    cmdBrowse_ = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdBrowse_->setObjectName(QStringLiteral("cmdBrowse"));
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(txtBFilename_, 1);
    fileRow->addWidget(cmdBrowse_);
    layout->addLayout(fileRow);

    auto* buttons = new QHBoxLayout;
    cmdRunScript_ = new QPushButton(kRunCaption, this);
    cmdRunScript_->setObjectName(QStringLiteral("cmdRunScript"));
    cmdRunScript_->setMinimumWidth(cmdRunScript_->fontMetrics().horizontalAdvance(QStringLiteral("Stop KastScript")) + 24);
    buttons->addWidget(cmdRunScript_);
    buttons->addSpacing(16);
    buttons->addWidget(new QLabel(QStringLiteral("Run Built-in KastScripts"), this));
    cmdKillers_ = new QPushButton(QStringLiteral("Built-in &Killers"), this);
    cmdKillers_->setObjectName(QStringLiteral("cmdKillers"));
    buttons->addWidget(cmdKillers_);
    buttons->addStretch();
    layout->addLayout(buttons);

    layout->addSpacing(6);
    auto* consoleRow = new QHBoxLayout;
    consoleRow->addWidget(new QLabel(QStringLiteral("KastScript Console:"), this));
    consoleRow->addStretch();
    // Reachable without a tray, where the wizard's other entry lives.
    cmdWizard_ = new QPushButton(QStringLiteral("KastScript Generator &Wizard..."), this);
    cmdWizard_->setObjectName(QStringLiteral("cmdWizard"));
    consoleRow->addWidget(cmdWizard_);
    layout->addLayout(consoleRow);
    txtConsole_ = new QPlainTextEdit(this);
    txtConsole_->setObjectName(QStringLiteral("txtConsole"));
    txtConsole_->setReadOnly(true);
    // The user can neither place the caret in it nor edit it; the mouse may still select.
    txtConsole_->setFocusPolicy(Qt::NoFocus);
    txtConsole_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtConsole_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(txtConsole_, 1);

    mnuPopup_ = new QMenu(this);
    mnuPopup_->setObjectName(QStringLiteral("mnuPopup"));
    killers_ = std::make_unique<KillersMenu>(mnuPopup_, QStringLiteral("mnuKillers"),
                                             QStringLiteral("No killers available!"),
                                             [this](const QString& path) { txtBFilename_->setText(path); });

    consoleView_ = std::make_unique<ConsoleView>(txtConsole_);
    console_.addListener(consoleView_.get());
    txtConsole_->setPlainText(fromBytes(console_.text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    connect(cmdBrowse_, &QPushButton::clicked, this, &AutoRepairPage::cmdBrowse_Click);
    connect(cmdKillers_, &QPushButton::clicked, this, &AutoRepairPage::cmdKillers_Click);
    connect(cmdRunScript_, &QPushButton::clicked, this, &AutoRepairPage::cmdRunScript_Click);
}

AutoRepairPage::~AutoRepairPage() { console_.removeListener(consoleView_.get()); }

void AutoRepairPage::cmdBrowse_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Run KastScript...");
    request.filter = QStringLiteral("KastScript (*.kst, *.vks, *.vki)|*.kst; *.vki; *.vks|All Files (*.*)|*.*");
    request.initDir = fromBytes(killersFolder_);
    QString chosen = dialogs_.openFile(window(), request);
    if (!chosen.isEmpty()) txtBFilename_->setText(chosen);
}

void AutoRepairPage::cmdKillers_Click() {
    killers_->rebuild(killersFolder_);
    mnuPopup_->popup(cmdKillers_->mapToGlobal(QPoint(0, cmdKillers_->height())));
}

void AutoRepairPage::requestStop() {
    if (!running_) return;
    iniEngine_.requestStop();
    host_.requestStop();
}

void AutoRepairPage::runFix(const QString& path) {
    if (running_) return;
    txtBFilename_->setText(path);
    cmdRunScript_Click();
}

void AutoRepairPage::cmdRunScript_Click() {
    if (running_) {
        requestStop();
        return;
    }
    const QString typed = txtBFilename_->text();
    const QString path = trimSpaces(typed);
    if (path.isEmpty()) {
        showError(dialogs_, window(), QStringLiteral("Please specify the KastScript you want to run."));
        return;
    }
    if (!QFileInfo(path).isFile()) {
        showError(dialogs_, window(),
                  QStringLiteral("The kastscript file \"") + typed + QStringLiteral("\" doesn't exists."));
        return;
    }
    script::KastScriptKind kind = script::kastScriptKindOf(toBytes(path));
    if (kind == script::KastScriptKind::Other) {
        RunAsDialog runAs(window());
        runAs.exec();
        kind = runAs.runAs() == RunAsDialog::kIni ? script::KastScriptKind::Ini : script::KastScriptKind::VBScript;
    }
    runScript(toBytes(path), kind);
}

void AutoRepairPage::runScript(const std::string& path, script::KastScriptKind kind) {
    running_ = true;
    cmdRunScript_->setText(kStopCaption);
    try {
        if (kind == script::KastScriptKind::VBScript) {
            runVbsScript(path);
        } else {
            console_.clear();
            iniEngine_.runIniKastScript(path);
            if (iniEngine_.lastRunStopped()) script::appendStoppedLine(console_);
        }
    } catch (...) {
        // Whatever failed, the page ends ready for the next run.
    }
    running_ = false;
    cmdRunScript_->setText(kRunCaption);
}

void AutoRepairPage::runVbsScript(const std::string& path) {
    std::string bytes;
    QFile file(fromBytes(path));
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll().toStdString();
    console_.clear();
    vbs::ScriptResult result = host_.runScript(script::scriptTextFromBytes(bytes));
    if (result.stopped) {
        script::appendStoppedLine(console_);
    } else if (!result.ok) {
        dialogs_.message(window(), fromBytes(script::scriptErrorText(result.number, result.description)),
                         MessageIcon::Critical, MessageButtons::Ok, QString::fromLatin1(script::kScriptErrorTitle));
    }
}

}  // namespace vk::app
