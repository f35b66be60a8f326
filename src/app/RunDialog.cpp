#include "app/RunDialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include "app/Dialogs.h"

namespace vk::app {
namespace {

// 15 twips make a pixel at the classic 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

QString expandHome(const QString& path) {
    if (path == QLatin1String("~")) return QDir::homePath();
    if (path.startsWith(QLatin1String("~/"))) return QDir::homePath() + path.mid(1);
    return path;
}

bool isProgramFile(const QString& path) {
    QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

}  // namespace

RunTarget runTarget(const QString& name) {
    RunTarget target;
    const QString text = name.trimmed();
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(text).hasMatch() && !QFileInfo::exists(text)) {
        target.url = QUrl(text);
        return target;
    }
    if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        target.url = QUrl(QStringLiteral("http://") + text);
        return target;
    }
    // A whole name that exists is one path, blanks and all.
    const QString whole = expandHome(text);
    if (QFileInfo::exists(whole)) {
        if (isProgramFile(whole)) {
            target.kind = RunTarget::Kind::Program;
            target.program = QFileInfo(whole).absoluteFilePath();
        } else {
            target.url = QUrl::fromLocalFile(QFileInfo(whole).absoluteFilePath());
        }
        return target;
    }
    QStringList words = QProcess::splitCommand(text);
    if (!words.isEmpty()) {
        QString first = expandHome(words.first());
        QString program = first.contains(QLatin1Char('/')) ? (isProgramFile(first) ? first : QString())
                                                           : QStandardPaths::findExecutable(first);
        if (!program.isEmpty()) {
            target.kind = RunTarget::Kind::Program;
            target.program = program;
            target.arguments = words.mid(1);
            return target;
        }
    }
    target.url = QUrl::fromUserInput(text, QDir::homePath(), QUrl::AssumeLocalFile);
    return target;
}

bool openRunTarget(const RunTarget& target) {
    if (target.kind == RunTarget::Kind::Program) return QProcess::startDetached(target.program, target.arguments);
    return QDesktopServices::openUrl(target.url);
}

RunDialog::RunDialog(QWidget* owner, Dialogs& dialogs) : QDialog(owner), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmRun"));
    setWindowTitle(QStringLiteral("VandrelKast Run"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Type the name of a program, folder, document, or Internet resource, and "
                                           "VandrelKast will open it for you."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Name:"), this);
    txtFilename_ = new QLineEdit(this);
    txtFilename_->setObjectName(QStringLiteral("txtFilename"));
    txtFilename_->setMinimumWidth(300);
    label->setBuddy(txtFilename_);
    row->addWidget(label);
    row->addWidget(txtFilename_, 1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdOK_ = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cancel);
    buttons->addWidget(browse);
    layout->addLayout(buttons);

    connect(txtFilename_, &QLineEdit::textChanged, this,
            [this](const QString& t) { cmdOK_->setEnabled(!t.trimmed().isEmpty()); });
    connect(cmdOK_, &QPushButton::clicked, this, &RunDialog::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &RunDialog::cmdBrowse_Click);

    cmdOK_->setEnabled(false);
    adjustSize();
    // Bottom left of the screen, just above a taskbar.
    if (QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen()) {
        int screenHeight = screen->geometry().height();
        move(100 / kTwipsPerPixel, screenHeight - (frameGeometry().height() + 600 / kTwipsPerPixel));
    }
}

void RunDialog::cmdBrowse_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Browse");
    request.filter = QStringLiteral("All Files (*.*)|*.*");
    request.initDir = QStringLiteral("Desktop");
    QString chosen = dialogs_.openFile(this, request);
    if (!chosen.isEmpty()) txtFilename_->setText(QFileInfo(chosen).absoluteFilePath());
}

void RunDialog::cmdOK_Click() {
    // The desktop reports its own failures.
    openRunTarget(runTarget(txtFilename_->text()));
    accept();
}

}  // namespace vk::app
