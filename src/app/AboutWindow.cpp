#include "app/AboutWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "Version.h"
#include "app/AppIcon.h"
#include "app/LinkLabel.h"

namespace vk::app {

AboutWindow::AboutWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About VandrelKast..."));
    setModal(true);
    setMouseTracking(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(appIcon().pixmap(48, 48));
    top->addWidget(logo, 0, Qt::AlignTop);
    auto* version = new QLabel(QStringLiteral("VandrelKast (Version %1.%2.%3 Beta)")
                                   .arg(kVersionMajor)
                                   .arg(kVersionMinor)
                                   .arg(kVersionRevision),
                               this);
    version->setObjectName(QStringLiteral("lblVersion"));
    QFont f = version->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    version->setFont(f);
    top->addWidget(version, 1);
    layout->addLayout(top);
    auto* thanks = new QLabel(
        QStringLiteral("VandrelKast is a free tool for cleaning worms, viruses and trojans off your computer and "
                       "your removable drives.\n\n"
                       "Thanks to everyone who sent samples, tested the betas and reported what worms did to their "
                       "machines: every KastScript and signature started with one of you.\n\n"
                       "Built with Qt and the C++ standard library."),
        this);
    thanks->setObjectName(QStringLiteral("lblAcknowledgements"));
    thanks->setWordWrap(true);
    thanks->setMinimumWidth(380);
    layout->addWidget(thanks);
    struct Link {
        const char* name;
        const char* text;
        const char* url;
    };
    const Link links[3] = {
        {"lblAuthor", "The author's page", "https://vandrelkast.example.org/author/"},
        {"lblForum", "VandrelKast forum", "https://forum.vandrelkast.example.org/"},
        {"lblWebsite", "VandrelKast web site", "https://vandrelkast.example.org/"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        auto* l = new LinkLabel(QString::fromLatin1(links[i].text), QUrl(QString::fromLatin1(links[i].url)), this);
        l->setObjectName(QString::fromLatin1(links[i].name));
        layout->addWidget(l);
        links_[i] = l;
    }
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(ok);
    layout->addLayout(row);
}

bool AboutWindow::event(QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
        for (LinkLabel* l : links_) l->setHover(false);
    return QDialog::event(event);
}

}  // namespace vk::app
