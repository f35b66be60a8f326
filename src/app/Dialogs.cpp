#include "app/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace vk::app {

QStringList qtNameFilters(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList patterns;
        for (QString p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            p = p.trimmed();
            if (p.isEmpty()) continue;
            // Windows' "*.*" also matches names without a dot.
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
            patterns << p;
        }
        if (patterns.isEmpty()) continue;
        if (description.isEmpty()) description = patterns.join(QLatin1Char(' '));
        result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical: return QMessageBox::Critical;
        case MessageIcon::Question: return QMessageBox::Question;
        case MessageIcon::Exclamation: return QMessageBox::Warning;
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

// The dialog's start: the folder, with the file name when one is given.
QString startPath(const FileDialogRequest& request) {
    QString dir = request.initDir;
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::currentPath();
    if (request.fileName.isEmpty()) return dir;
    if (QFileInfo(request.fileName).isAbsolute()) return request.fileName;
    return dir + QLatin1Char('/') + request.fileName;
}

QString runFileDialog(QWidget* owner, const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, request.title, startPath(request));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The descriptions already name their patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    QStringList filters = qtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = request.filterIndex - 1;
        if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    }
    if (!request.defaultExt.isEmpty()) dialog.setDefaultSuffix(request.defaultExt);
    if (dialog.exec() != QDialog::Accepted) return {};
    QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

}  // namespace

std::unique_ptr<QMessageBox> messageBox(QWidget* owner, const QString& text, MessageIcon icon,
                                        MessageButtons buttons, const QString& title) {
    return std::make_unique<QMessageBox>(qtIcon(icon), title, text, qtButtons(buttons), owner);
}

MessageResult QtDialogs::message(QWidget* owner, const QString& text, MessageIcon icon, MessageButtons buttons,
                                 const QString& title) {
    std::unique_ptr<QMessageBox> box = messageBox(owner, text, icon, buttons, title);
    switch (box->exec()) {
        case QMessageBox::Yes: return MessageResult::Yes;
        case QMessageBox::No: return MessageResult::No;
        case QMessageBox::Cancel: return MessageResult::Cancel;
        default: break;
    }
    // Closing a Yes/No box without an answer is a No.
    return buttons == MessageButtons::YesNo ? MessageResult::No
           : buttons == MessageButtons::Ok  ? MessageResult::Ok
                                            : MessageResult::Cancel;
}

QString QtDialogs::openFile(QWidget* owner, const FileDialogRequest& request) {
    return runFileDialog(owner, request, QFileDialog::AcceptOpen);
}

QString QtDialogs::saveFile(QWidget* owner, const FileDialogRequest& request) {
    return runFileDialog(owner, request, QFileDialog::AcceptSave);
}

QString QtDialogs::browseFolder(QWidget* owner, const QString& prompt, const QString& initial) {
    QString start = QFileInfo(initial).isDir() ? initial : QDir::homePath();
    QString chosen = QFileDialog::getExistingDirectory(owner, prompt, start);
    return chosen.isEmpty() ? initial : chosen;
}

}  // namespace vk::app

namespace vk::app {
namespace {
QString& titleStore() {
    static QString title = QStringLiteral("VandrelKast");
    return title;
}
}  // namespace

QString applicationTitle() { return titleStore(); }
void setApplicationTitle(const QString& title) { titleStore() = title; }

}  // namespace vk::app

namespace vk::app {

void showError(Dialogs& dialogs, QWidget* owner, const QString& text) {
    dialogs.message(owner, text, MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("Error"));
}

}  // namespace vk::app
