#include "app/RegistryTweaksPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TextFit.h"
#include "tools/ProcessList.h"

namespace vk::app {

using namespace tools;

RegistryTweaksPage::RegistryTweaksPage(QWidget* parent) : QWidget(parent) {
    startShell_ = [](const std::string& path) { QProcess::startDetached(fromBytes(path), {}); };
    auto check = [this](int index, QWidget* owner) {
        const TweakCheck& def = kTweakChecks[static_cast<std::size_t>(index)];
        auto* box = new QCheckBox(QString::fromLatin1(def.caption), owner);
        box->setObjectName(QString::fromLatin1(def.control));
        box->setChecked(def.designChecked);
        connect(box, &QCheckBox::clicked, this, [index](bool checked) {
            writeTweak(kTweakChecks[static_cast<std::size_t>(index)], checked);
        });
        checks_[static_cast<std::size_t>(index)] = box;
        return box;
    };
    auto text = [this](int index, QWidget* owner) {
        const TweakText& def = kTweakTexts[static_cast<std::size_t>(index)];
        auto* box = new QLineEdit(owner);
        box->setObjectName(QString::fromLatin1(def.control));
        // Every keystroke of the user's; text set from the registry does not write.
        connect(box, &QLineEdit::textEdited, this, [index](const QString& t) {
            writeTweakText(kTweakTexts[static_cast<std::size_t>(index)], toBytes(t));
        });
        texts_[static_cast<std::size_t>(index)] = box;
        return box;
    };
    auto label = [](const TweakText& def, QLineEdit* buddy, QWidget* owner) {
        auto* l = new QLabel(QString::fromLatin1(def.label), owner);
        l->setBuddy(buddy);
        return l;
    };

    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;

    auto* security = new QGroupBox(QStringLiteral("Security Tweaks:"), this);
    auto* sl = new QVBoxLayout(security);
    sl->addWidget(check(kTweakTaskMgr, security));
    sl->addWidget(check(kTweakRegedit, security));
    left->addWidget(security);

    auto* ie = new QGroupBox(QStringLiteral("Internet Explorer Tweaks:"), this);
    auto* il = new QVBoxLayout(ie);
    il->addWidget(check(kTweakLockHome, ie));
    QLineEdit* home = text(kTweakHomepage, ie);
    il->addWidget(label(kTweakTexts[kTweakHomepage], home, ie));
    il->addWidget(home);
    QLineEdit* caption = text(kTweakCaption, ie);
    il->addWidget(label(kTweakTexts[kTweakCaption], caption, ie));
    il->addWidget(caption);
    left->addWidget(ie);
    left->addStretch();
    columns->addLayout(left, 1);

    auto* explorer = new QGroupBox(QStringLiteral("Windows Explorer Tweaks:"), this);
    auto* el = new QVBoxLayout(explorer);
    for (int i : {kTweakShowFile, kTweakShowSys, kTweakFileExt, kTweakFolOpt, kTweakCtrlPanel, kTweakShowRun,
                  kTweakSetFolder, kTweakTrayMenu})
        el->addWidget(check(i, explorer));
    el->addStretch();
    columns->addWidget(explorer, 1);
    layout->addLayout(columns);

    auto* winlogon = new QGroupBox(QStringLiteral("Winlogon Tweaks (WinXP only)"), this);
    auto* wl = new QFormLayout(winlogon);
    for (int i : {kTweakShell, kTweakUserinit}) {
        QLineEdit* box = text(i, winlogon);
        wl->addRow(label(kTweakTexts[static_cast<std::size_t>(i)], box, winlogon), box);
    }
    layout->addWidget(winlogon);

    auto* applyRow = new QHBoxLayout;
    auto* note = new QLabel(QStringLiteral("Settings marked with asterisks (*) needs to be manually applied by "
                                           "clicking this button in order to refresh Windows Explorer >>>"),
                            this);
    note->setWordWrap(true);
    applyRow->addWidget(note, 1);
    auto* apply = new QPushButton(QStringLiteral("Apply Changes"), this);
    apply->setObjectName(QStringLiteral("cmdAppyChanges"));
    connect(apply, &QPushButton::clicked, this, &RegistryTweaksPage::cmdAppyChanges_Click);
    applyRow->addWidget(apply);
    layout->addLayout(applyRow);
    layout->addStretch();
}

void RegistryTweaksPage::loadRegistryTweaks() {
    auto setCheck = [this](int i) {
        if (auto state = readTweak(kTweakChecks[static_cast<std::size_t>(i)]))
            checks_[static_cast<std::size_t>(i)]->setChecked(*state);
    };
    auto setText = [this](int i) {
        texts_[static_cast<std::size_t>(i)]->setText(fromBytes(readTweakText(kTweakTexts[static_cast<std::size_t>(i)])));
    };
    setText(kTweakHomepage);
    setCheck(kTweakLockHome);
    setText(kTweakCaption);
    for (int i : {kTweakTaskMgr, kTweakRegedit, kTweakShowFile, kTweakShowSys, kTweakFileExt, kTweakFolOpt,
                  kTweakTrayMenu, kTweakSetFolder, kTweakShowRun, kTweakCtrlPanel})
        setCheck(i);
    setText(kTweakShell);
    setText(kTweakUserinit);
}

void RegistryTweaksPage::cmdAppyChanges_Click() {
    ProcessList processes;
    restartShell(processes, startShell_);
}

}  // namespace vk::app
