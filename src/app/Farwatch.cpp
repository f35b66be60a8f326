#include "app/Farwatch.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/Dialogs.h"
#include "app/TextFit.h"
#include "platform/IniProfile.h"
#include "scan/FarwatchSettings.h"
#include "scan/ScanEngine.h"

namespace vk::app {

namespace {
constexpr const char* kSection = "Farwatch";

void write(const std::string& ini, const char* key, const std::string& value) {
    platform::writeProfileString(ini, kSection, key, value);
}

QLabel* explanation(QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(kFarwatchExplanation), parent);
    label->setWordWrap(true);
    return label;
}
}  // namespace

const char* const kFarwatchExplanation =
    "Please fill this VandrelKast Farwatch Form before using VandrelKast. VandrelKast provides a tool called "
    "Farwatch which allows us at VandrelKast Labs to gauge and monitor the intensity of virus attacks and worm "
    "outbreaks. It works by sending report log to VandrelKast Labs everytime you finished scanning. Please "
    "participate in Farwatch Program and help stop virus outbreaks in the near future.";

bool enrolmentCompleted(const std::string& configIni) { return scan::farwatchEnrolmentCompleted(configIni); }

void setTextBoxEnabled(QLineEdit* box, bool enabled) {
    box->setEnabled(enabled);
    box->setReadOnly(!enabled);
    if (enabled) {
        box->setPalette(QPalette());
    } else {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        box->setPalette(pal);
    }
}

FwForm::FwForm(QWidget* owner, Dialogs& dialogs, scan::ScanEngine& engine, std::string configIni)
    : QDialog(owner), dialogs_(dialogs), engine_(engine), configIni_(std::move(configIni)) {
    setObjectName(QStringLiteral("frmFWForm"));
    setWindowTitle(QStringLiteral("VandrelKast Farwatch Form"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(logoPixmap(56));
    top->addWidget(logo, 0, Qt::AlignTop);
    auto* text = explanation(this);
    text->setMinimumWidth(380);
    top->addWidget(text, 1);
    layout->addLayout(top);

    optParticipate_[0] = new QRadioButton(QStringLiteral("Yes! I want to participate in this program."), this);
    optParticipate_[1] = new QRadioButton(QStringLiteral("No! I don't want to participate in Farwatch program."), this);
    for (int i = 0; i < 2; ++i) {
        optParticipate_[i]->setObjectName(QStringLiteral("optParticipate%1").arg(i));
        connect(optParticipate_[i], &QRadioButton::clicked, this, [this, i] { optParticipate_Click(i); });
        layout->addWidget(optParticipate_[i]);
    }

    fraParticipate_ = new QGroupBox(this);
    fraParticipate_->setObjectName(QStringLiteral("fraParticipate"));
    auto* form = new QFormLayout(fraParticipate_);
    txtName_ = new QLineEdit(fraParticipate_);
    txtAddress_ = new QLineEdit(fraParticipate_);
    txtEmail_ = new QLineEdit(fraParticipate_);
    txtName_->setObjectName(QStringLiteral("txtName"));
    txtAddress_->setObjectName(QStringLiteral("txtAddress"));
    txtEmail_->setObjectName(QStringLiteral("txtEmail"));
    form->addRow(QStringLiteral("Complete Name:"), txtName_);
    form->addRow(QStringLiteral("Complete Address:"), txtAddress_);
    form->addRow(QStringLiteral("Email Address:"), txtEmail_);
    layout->addWidget(fraParticipate_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cont = new QPushButton(QStringLiteral("&Continue"), this);
    cont->setObjectName(QStringLiteral("cmdContinue"));
    cont->setDefault(true);
    connect(cont, &QPushButton::clicked, this, &FwForm::cmdContinue_Click);
    buttons->addWidget(cont);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FwForm::optParticipate_Click(int index) {
    bool enabled = index != 1;
    fraParticipate_->setEnabled(enabled);
    for (QLineEdit* box : {txtName_, txtAddress_, txtEmail_}) setTextBoxEnabled(box, enabled);
}

void FwForm::cmdContinue_Click() {
    if (optParticipate_[0]->isChecked()) {
        struct Field {
            QLineEdit* box;
            const char* message;
        };
        const Field fields[3] = {{txtName_, "Please enter your complete name."},
                                 {txtAddress_, "Please enter your complete address."},
                                 {txtEmail_, "Please enter your email address."}};
        for (const Field& f : fields) {
            if (f.box->text().trimmed().isEmpty()) {
                dialogs_.message(this, QString::fromLatin1(f.message), MessageIcon::Critical, MessageButtons::Ok,
                                 QStringLiteral("Error"));
                f.box->setFocus();
                return;
            }
        }
        engine_.setUsername(toBytes(txtName_->text().trimmed()));
        engine_.setAddress(toBytes(txtAddress_->text().trimmed()));
        engine_.setEmailAddress(toBytes(txtEmail_->text().trimmed()));
        engine_.setEnableFarwatch(true);
        write(configIni_, "Name", engine_.username());
        write(configIni_, "Address", engine_.address());
        write(configIni_, "Email", engine_.emailAddress());
        write(configIni_, "EnableFarwatch", "1");
    } else if (optParticipate_[1]->isChecked()) {
        const QString question = QStringLiteral("If you participate in our Farwatch ") +
                                 QStringLiteral("program you will help us monitor and gauge ") +
                                 QStringLiteral("virus attacks and worm outbreaks. Are you ") +
                                 QStringLiteral("sure you don't want to participate in ") +
                                 QStringLiteral("Farwatch Program?");
        if (dialogs_.message(this, question, MessageIcon::Question, MessageButtons::YesNo,
                         applicationTitle()) !=
            MessageResult::Yes)
            return;
        write(configIni_, "EnableFarwatch", "0");
    }
    write(configIni_, "NoFillupFormDisplay", "1");
    accept();
}

FarwatchPage::FarwatchPage(QWidget* parent, scan::ScanEngine& engine, std::string configIni)
    : QWidget(parent), engine_(engine), configIni_(std::move(configIni)) {
    auto* layout = new QVBoxLayout(this);
    auto* text = explanation(this);
    layout->addWidget(text);
    layout->addSpacing(6);
    chkEnableFW_ = new QCheckBox(QStringLiteral("&Enable Farwatch feature."), this);
    chkEnableFW_->setObjectName(QStringLiteral("chkEnableFW"));
    layout->addWidget(chkEnableFW_);
    auto* box = new QGroupBox(QStringLiteral("Your details:"), this);
    auto* form = new QFormLayout(box);
    txtName2_ = new QLineEdit(box);
    txtAddress2_ = new QLineEdit(box);
    txtEmail_ = new QLineEdit(box);
    txtName2_->setObjectName(QStringLiteral("txtName2"));
    txtAddress2_->setObjectName(QStringLiteral("txtAddress2"));
    txtEmail_->setObjectName(QStringLiteral("txtEmail"));
    form->addRow(QStringLiteral("Complete Name:"), txtName2_);
    form->addRow(QStringLiteral("Complete Address:"), txtAddress2_);
    form->addRow(QStringLiteral("Email Address:"), txtEmail_);
    layout->addWidget(box);
    layout->addStretch();

    connect(chkEnableFW_, &QCheckBox::clicked, this, &FarwatchPage::chkEnableFW_Click);
    // Every keystroke, untrimmed.
    connect(txtName2_, &QLineEdit::textEdited, this, [this](const QString& t) {
        engine_.setUsername(toBytes(t));
        write(configIni_, "Name", engine_.username());
    });
    connect(txtAddress2_, &QLineEdit::textEdited, this, [this](const QString& t) {
        engine_.setAddress(toBytes(t));
        write(configIni_, "Address", engine_.address());
    });
    connect(txtEmail_, &QLineEdit::textEdited, this, [this](const QString& t) {
        engine_.setEmailAddress(toBytes(t));
        write(configIni_, "Email", engine_.emailAddress());
    });
}

void FarwatchPage::setBoxesEnabled(bool enabled) {
    for (QLineEdit* box : {txtName2_, txtAddress2_, txtEmail_}) setTextBoxEnabled(box, enabled);
}

void FarwatchPage::chkEnableFW_Click(bool checked) {
    engine_.setEnableFarwatch(checked);
    setBoxesEnabled(checked);
    write(configIni_, "EnableFarwatch", checked ? "1" : "0");
}

void FarwatchPage::loadFarwatchSettings() {
    scan::loadFarwatchSettings(engine_, configIni_);
    bool enabled = engine_.enableFarwatch();
    chkEnableFW_->setChecked(enabled);
    setBoxesEnabled(enabled);
    txtName2_->setText(fromBytes(engine_.username()));
    txtAddress2_->setText(fromBytes(engine_.address()));
    txtEmail_->setText(fromBytes(engine_.emailAddress()));
}

}  // namespace vk::app
