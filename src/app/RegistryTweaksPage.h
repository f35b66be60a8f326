#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "tools/RegistryTweaks.h"

class QCheckBox;
class QLineEdit;

namespace vk::app {

// Page 3: each control is bound to one registry value; a user's change writes
// it at once.
class RegistryTweaksPage : public QWidget {
    Q_OBJECT
public:
    explicit RegistryTweaksPage(QWidget* parent);

    // Sets every control from the registry; writes nothing.
    void loadRegistryTweaks();
    // Apply Changes: restarts the shell.
    void cmdAppyChanges_Click();
    // Starts the restarted shell (tests watch it); detached by default.
    void setShellStarter(std::function<void(const std::string&)> start) { startShell_ = std::move(start); }

private:
    std::array<QCheckBox*, tools::kTweakCheckCount> checks_{};
    std::array<QLineEdit*, tools::kTweakTextCount> texts_{};
    std::function<void(const std::string&)> startShell_;
};

}  // namespace vk::app
