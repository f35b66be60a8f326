#include "app/TargetChooser.h"

#include <QAction>
#include <algorithm>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Dialogs.h"

namespace vk::app {

namespace {
QString text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

TargetChooser::TargetChooser(QWidget* parent, Dialogs& dialogs, platform::Target initial)
    : QWidget(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("fraTarget"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    lblTarget_ = new QLabel(this);
    lblTarget_->setObjectName(QStringLiteral("lblTarget"));
    lblTarget_->setWordWrap(true);
    cmdTarget_ = new QPushButton(QStringLiteral("Target s&ystem..."), this);
    cmdTarget_->setObjectName(QStringLiteral("cmdTarget"));
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("mnuTargets"));
    layout->addWidget(lblTarget_);
    layout->addWidget(cmdTarget_);
    connect(cmdTarget_, &QPushButton::clicked, this, [this] {
        refreshMenu();
        menu_->popup(cmdTarget_->mapToGlobal(QPoint(0, cmdTarget_->height())));
    });
    opening_ = true;
    active_ = std::make_unique<platform::ActiveTarget>(std::move(initial), static_cast<platform::RegistryMessages*>(this));
    opening_ = false;
    showTarget();
}

TargetChooser::~TargetChooser() = default;

const platform::Target& TargetChooser::target() const { return active_->target(); }

void TargetChooser::refreshMenu() {
    menu_->clear();
    std::vector<platform::Target> targets{platform::Target{}};
    for (auto& t : platform::discoverTargets()) targets.push_back(std::move(t));
    if (std::find(targets.begin(), targets.end(), target()) == targets.end()) targets.push_back(target());
    for (const auto& t : targets) {
        QAction* a = menu_->addAction(text(t.description()));
        a->setCheckable(true);
        a->setChecked(t == target());
        a->setData(text(t.spec()));
        connect(a, &QAction::triggered, this, [this, t] { choose(t); });
    }
}

bool TargetChooser::choose(const platform::Target& next) {
    if (next == target()) return true;
    // The old target writes its changes and lets go before the new one opens.
    active_.reset();
    opening_ = true;
    active_ = std::make_unique<platform::ActiveTarget>(next, static_cast<platform::RegistryMessages*>(this));
    opening_ = false;
    showTarget();
    showPendingMessages();
    if (changed_) changed_();
    return true;
}

void TargetChooser::showPendingMessages() {
    if (pendingMessages_.isEmpty()) return;
    const QString all = pendingMessages_.join(QStringLiteral("\r\n\r\n"));
    pendingMessages_.clear();
    dialogs_.message(window(), all, MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("Target system"));
}

void TargetChooser::message(const std::string& text) {
    // What opening a target has to say comes in one box; later notes one each.
    if (opening_) pendingMessages_ << vk::app::text(text);
    else dialogs_.message(window(), vk::app::text(text), MessageIcon::Exclamation, MessageButtons::Ok,
                          QStringLiteral("Target system"));
}

void TargetChooser::showTarget() {
    lblTarget_->setText(QStringLiteral("Target: ") + text(target().description()));
    lblTarget_->setToolTip(text(target().spec()));
}

}  // namespace vk::app
