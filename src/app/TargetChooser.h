#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "platform/MountedRegistry.h"
#include "platform/Target.h"

class QLabel;
class QMenu;
class QPushButton;

namespace vk::app {

class Dialogs;

// The system the window repairs, shown in the side bar, with the "Target
// system" choice: this computer, the Wine prefixes and the Windows disks found.
// The chosen target's registry serves every page until another is chosen.
class TargetChooser : public QWidget, private platform::RegistryMessages {
    Q_OBJECT
public:
    TargetChooser(QWidget* parent, Dialogs& dialogs, platform::Target initial);
    ~TargetChooser() override;

    const platform::Target& target() const;
    // Makes target the active one; false (after a message) when it cannot be used.
    bool choose(const platform::Target& target);
    // Runs after every change of target (the window reloads its pages).
    void setChanged(std::function<void()> changed) { changed_ = std::move(changed); }
    QMenu* menu() const { return menu_; }
    // Lists the targets found now.
    void refreshMenu();
    // What opening the first target had to say, once the window is up.
    void showPendingMessages();

private:
    void message(const std::string& text) override;
    void showTarget();

    Dialogs& dialogs_;
    std::unique_ptr<platform::ActiveTarget> active_;
    QLabel* lblTarget_;
    QPushButton* cmdTarget_;
    QMenu* menu_;
    std::function<void()> changed_;
    bool opening_ = false;
    QStringList pendingMessages_;
};

}  // namespace vk::app
