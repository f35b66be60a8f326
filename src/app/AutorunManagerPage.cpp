#include "app/AutorunManagerPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "tools/AutorunPolicy.h"

namespace vk::app {

AutorunManagerPage::AutorunManagerPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral(
            "AutoRun Manager lets you manage how Windows use its AutoRun feature. AutoRun feature makes your "
            "computer automatically start programs and installers once a CD-ROM, DVD-ROM, and Removable Drives is "
            "inserted into your computer. However, AutoRun feature pose a security threat: viruses and worms may "
            "use this feature to automatically run themselves from Removable Drives or any removable medium. "
            "Therefore, disabling AutoRun feature on some drives may help stop worms from infecting your "
            "computer."),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* group = new QGroupBox(this);
    auto* gl = new QVBoxLayout(group);
    for (std::size_t i = 0; i < tools::kAutorunBoxes.size(); ++i) {
        const auto& def = tools::kAutorunBoxes[i];
        auto* box = new QCheckBox(QString::fromLatin1(def.caption), group);
        box->setObjectName(QString::fromLatin1(def.control));
        gl->addWidget(box);
        // Only a user's click writes.
        connect(box, &QCheckBox::clicked, this, [this, bit = def.bit](bool checked) {
            if (autorunLoading_) return;
            tools::setDriveTypeAutoRun(bit, checked);
        });
        boxes_[i] = box;
    }
    layout->addWidget(group);
    auto* note = new QLabel(
        QStringLiteral("Note: You may need to restart your computer in order for the new settings to take effect."),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch();
}

void AutorunManagerPage::loadAutorunSettings() {
    autorunLoading_ = true;
    std::uint32_t value = tools::noDriveTypeAutoRun();
    for (std::size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setChecked((value & tools::kAutorunBoxes[i].bit) != 0);
    autorunLoading_ = false;
}

}  // namespace vk::app
