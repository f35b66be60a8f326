#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "script/KastScriptFiles.h"

class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace vk::script {
class Console;
class ConsoleListener;
class ScriptHost;
class ScriptIniEngine;
}  // namespace vk::script

namespace vk::app {

class Dialogs;
class KillersMenu;

// The AutoRepair page: picks a KastScript (a file or a built-in killer),
// runs it in the engine its extension names and shows the console. While a
// script runs the run button reads "&Stop KastScript" and stops it.
class AutoRepairPage : public QWidget {
    Q_OBJECT
public:
    static const QString kRunCaption;
    static const QString kStopCaption;

    AutoRepairPage(QWidget* parent, Dialogs& dialogs, script::Console& console, script::ScriptIniEngine& iniEngine,
                   script::ScriptHost& host, std::string killersFolder);
    ~AutoRepairPage() override;

    void cmdBrowse_Click();
    void cmdKillers_Click();
    // The run procedure; during a run, the stop request.
    void cmdRunScript_Click();
    // A tray fix: the path into the box, then the run. Ignored while a script runs.
    void runFix(const QString& path);

    bool running() const { return running_; }
    // Asks the running script to stop at its next statement or step.
    void requestStop();

    QLineEdit* filenameBox() const { return txtBFilename_; }
    QPushButton* runButton() const { return cmdRunScript_; }
    QPushButton* killersButton() const { return cmdKillers_; }
    QPushButton* wizardButton() const { return cmdWizard_; }
    QPlainTextEdit* consoleBox() const { return txtConsole_; }
    KillersMenu& killersMenu() const { return *killers_; }
    const std::string& killersFolder() const { return killersFolder_; }

private:
    void runScript(const std::string& path, script::KastScriptKind kind);
    void runVbsScript(const std::string& path);

    Dialogs& dialogs_;
    script::Console& console_;
    script::ScriptIniEngine& iniEngine_;
    script::ScriptHost& host_;
    std::string killersFolder_;

    QLineEdit* txtBFilename_;
    QPushButton* cmdBrowse_;
    QPushButton* cmdRunScript_;
    QPushButton* cmdKillers_;
    QPushButton* cmdWizard_;
    QPlainTextEdit* txtConsole_;
    QMenu* mnuPopup_;
    std::unique_ptr<KillersMenu> killers_;
    std::unique_ptr<script::ConsoleListener> consoleView_;
    bool running_ = false;
};

}  // namespace vk::app
