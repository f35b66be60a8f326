#pragma once

#include <QString>
#include <functional>
#include <string>

class QAction;
class QMenu;

namespace vk::app {

// The menu of built-in killers (the page's mnuKillers, the tray's mnuFixes):
// its first entry says there are none until the folder is read.
class KillersMenu {
public:
    // itemName: the entries' object name prefix ("mnuKillers" gives
    // mnuKillers0, mnuKillers1, ...); startText: the first entry before any rebuild.
    KillersMenu(QMenu* menu, QString itemName, const QString& startText,
                std::function<void(const QString& path)> chosen);

    // When the folder exists: a disabled "no killers available..." entry, or
    // one entry per KastScript (caption the base name, data the full path).
    // A missing folder keeps the entries as they are.
    void rebuild(const std::string& killersFolder);

    QMenu* menu() const { return menu_; }
    // The entry's script path ("" for the placeholder entry).
    static QString tagOf(const QAction* item);

private:
    QAction* addItem(const QString& caption, const QString& path);

    QMenu* menu_;
    QString itemName_;
    std::function<void(const QString&)> chosen_;
};

}  // namespace vk::app
