#include "app/DatabaseInfoBox.h"

#include <QDate>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>

#include "app/TextFit.h"
#include "scan/ScanEngine.h"

namespace vk::app {
namespace {

QLabel* valueLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

}  // namespace

DatabaseInfoBox::DatabaseInfoBox(QWidget* parent) : QGroupBox(QStringLiteral("Virus Database Info:"), parent) {
    auto* grid = new QGridLayout(this);
    lblDBVersion_ = valueLabel("lblDBVersion", this);
    lblDBDate_ = valueLabel("lblDBDate", this);
    lblDBCount_ = valueLabel("lblDBCount", this);
    grid->addWidget(new QLabel(QStringLiteral("Virus Database Version:"), this), 0, 0);
    grid->addWidget(lblDBVersion_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Date Released:"), this), 1, 0);
    grid->addWidget(lblDBDate_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Signature Count:"), this), 2, 0);
    grid->addWidget(lblDBCount_, 2, 1);
    grid->setColumnStretch(1, 1);
}

void DatabaseInfoBox::showDatabase(const scan::ScanEngine& engine) {
    lblDBVersion_->setText(fromBytes(engine.vDatabaseVersion()));
    const auto& d = engine.vDatabaseReleaseDate();
    QDate date(d.year, d.month, d.day);
    lblDBDate_->setText(date.isValid() ? QLocale().toString(date, QLocale::ShortFormat) : QString());
    lblDBCount_->setText(QString::number(engine.vDatabaseSize()));
}

}  // namespace vk::app
