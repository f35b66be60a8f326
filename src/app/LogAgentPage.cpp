#include "app/LogAgentPage.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <ctime>

#include "app/Dialogs.h"
#include "app/TextFit.h"
#include "platform/Clipboard.h"
#include "tools/LogAgent.h"

namespace vk::app {

LogAgentPage::LogAgentPage(QWidget* parent, Dialogs& dialogs, tools::ProcessList& processes,
                           platform::Clipboard& clipboard)
    : QWidget(parent), dialogs_(dialogs), processes_(processes), clipboard_(clipboard) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Take snapshot of your computer's system including running processes, "
                                           "startup list, critical system configuration, etc."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    txtLogAgent_ = new QPlainTextEdit(this);
    txtLogAgent_->setObjectName(QStringLiteral("txtLogAgent"));
    txtLogAgent_->setReadOnly(true);
    txtLogAgent_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLogAgent_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(txtLogAgent_, 1);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const char* caption, void (LogAgentPage::*handler)()) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
    };
    button("cmdTakeSS", "&Take System Snapshot", &LogAgentPage::cmdTakeSS_Click);
    buttons->addStretch();
    button("cmdClipboard", "Copy to Clipboard", &LogAgentPage::cmdClipboard_Click);
    button("cmdSaveLog", "Save Log", &LogAgentPage::cmdSaveLog_Click);
    layout->addLayout(buttons);
}

void LogAgentPage::cmdTakeSS_Click() {
    log_.clear();
    txtLogAgent_->clear();
    log_ = tools::takeSystemSnapshot(processes_, std::time(nullptr));
    QString shown = fromBytes(log_);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtLogAgent_->setPlainText(shown);
}

void LogAgentPage::cmdClipboard_Click() { clipboard_.setText(log_); }

void LogAgentPage::cmdSaveLog_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Save log file...");
    request.filter = QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*");
    // The desktop dialog then asks before replacing the file really written.
    request.defaultExt = QStringLiteral("txt");
    QString chosen = dialogs_.saveFile(window(), request);
    if (chosen.isEmpty()) return;
    std::string file = tools::logFileName(toBytes(chosen));
    std::string error = tools::saveLog(file, log_);
    if (!error.empty())
        dialogs_.message(window(), QStringLiteral("The log could not be saved to ") + fromBytes(file) +
                                       QStringLiteral(":\r\n") + fromBytes(error),
                         MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("Error"));
}

}  // namespace vk::app
