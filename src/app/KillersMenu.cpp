#include "app/KillersMenu.h"

#include <QAction>
#include <QDir>
#include <QMenu>

#include "app/TextFit.h"
#include "script/KastScriptFiles.h"

namespace vk::app {

KillersMenu::KillersMenu(QMenu* menu, QString itemName, const QString& startText,
                         std::function<void(const QString& path)> chosen)
    : menu_(menu), itemName_(std::move(itemName)), chosen_(std::move(chosen)) {
    addItem(startText, QString());
}

QString KillersMenu::tagOf(const QAction* item) { return item ? item->data().toString() : QString(); }

QAction* KillersMenu::addItem(const QString& caption, const QString& path) {
    QAction* item = menu_->addAction(caption);
    item->setObjectName(itemName_ + QString::number(menu_->actions().size() - 1));
    item->setData(path);
    item->setEnabled(!path.isEmpty());
    // Captions are file names: an '&' in one is a letter, not a shortcut.
    if (!path.isEmpty()) item->setText(QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
    QObject::connect(item, &QAction::triggered, menu_, [this, item] {
        if (chosen_ && !tagOf(item).isEmpty()) chosen_(tagOf(item));
    });
    return item;
}

void KillersMenu::rebuild(const std::string& killersFolder) {
    if (!QDir(fromBytes(killersFolder)).exists()) return;
    for (QAction* item : menu_->actions()) {
        menu_->removeAction(item);
        item->deleteLater();
    }
    std::vector<script::KillerScript> scripts = script::listKillerScripts(killersFolder);
    if (scripts.empty()) {
        addItem(QStringLiteral("no killers available..."), QString());
        return;
    }
    for (const script::KillerScript& s : scripts) addItem(fromBytes(s.caption), fromBytes(s.path));
}

}  // namespace vk::app
