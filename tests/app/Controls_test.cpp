#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QSystemTrayIcon>

#include "app/Dialogs.h"
#include "app/ScanDialogs.h"
#include "app/TaskIcon.h"
#include "app/TextFit.h"
#include "app/XpProgressBar.h"

using namespace vk::app;

TEST(TaskIcon, ShowButtonTwiceKeepsOneIconAndUpdatesIt) {
    QObject owner;
    TaskIcon icon(&owner);
    icon.setTipText(QStringLiteral("first"));
    icon.showButton();
    icon.setTipText(QStringLiteral("second"));
    icon.showButton();
    ASSERT_TRUE(icon.added());
    EXPECT_EQ(icon.findChildren<QSystemTrayIcon*>().size(), 1);
    ASSERT_NE(icon.trayIcon(), nullptr);
    EXPECT_EQ(icon.trayIcon()->toolTip(), QStringLiteral("second"));
    icon.hideButton();
    EXPECT_FALSE(icon.added());
    icon.showButton();  // added again after a hide, still one object
    EXPECT_EQ(icon.findChildren<QSystemTrayIcon*>().size(), 1);
}

TEST(TaskIcon, TooltipIsCutToSixtyThreeCharacters) {
    TaskIcon icon;
    QString tip = QString(70, QLatin1Char('x')) + QStringLiteral("END");
    icon.setTipText(tip);
    icon.showButton();
    EXPECT_EQ(icon.trayIcon()->toolTip(), tip.left(63));
    icon.setTipText(QString(63, QLatin1Char('y')));
    icon.showButton();
    EXPECT_EQ(icon.trayIcon()->toolTip().size(), 63);
}

TEST(TaskIcon, ActivationReasonsBecomeTheThreeEvents) {
    TaskIcon icon;
    icon.showButton();
    QStringList events;
    QObject::connect(&icon, &TaskIcon::click, [&] { events << "click"; });
    QObject::connect(&icon, &TaskIcon::rightClick, [&] { events << "right"; });
    QObject::connect(&icon, &TaskIcon::dblClick, [&] { events << "double"; });
    for (auto r : {QSystemTrayIcon::Trigger, QSystemTrayIcon::Context, QSystemTrayIcon::DoubleClick,
                   QSystemTrayIcon::MiddleClick})
        emit icon.trayIcon()->activated(r);
    EXPECT_EQ(events, (QStringList{"click", "right", "double"}));
}

TEST(XpProgressBar, PercentageRuleAndText) {
    struct Case {
        int min, max, value, percent;
        QString text;
    };
    const Case cases[] = {
        {0, 100, 0, 0, "0 %"},     {0, 100, 57, 57, "57 %"},  {0, 200, 50, 25, "25 %"},
        {0, 3, 1, 33, "33 %"},     {0, 3, 2, 67, "67 %"},     {10, 100, 50, 60, "60 %"},
        {0, 50, 80, 160, "160 %"}, {0, 0, 5, 0, "0 %"},
    };
    for (const Case& c : cases) {
        XpProgressBar bar;
        bar.setMin(c.min);
        bar.setMax(c.max);
        bar.setValue(c.value);
        EXPECT_EQ(bar.percent(), c.percent) << c.min << " " << c.max << " " << c.value;
        EXPECT_EQ(bar.text(), c.text);
    }
    XpProgressBar bar;
    bar.setScrolling(2);
    EXPECT_EQ(bar.text(), QStringLiteral("Gathering Required Information"));
    EXPECT_EQ(bar.textColor(), QColor(0x40, 0, 0));
    bar.setScrolling(6);
    EXPECT_EQ(bar.textColor(), QColor(0xC0, 0xC0, 0xC0));
    // Every look draws without trouble, over 100 % as well.
    bar.resize(160, 18);
    bar.setShowText(true);
    bar.setValue(150);
    for (int style = 0; style <= 10; ++style) {
        bar.setScrolling(style);
        for (int o : {0, 1}) {
            bar.setOrientation(o);
            EXPECT_FALSE(bar.grab().isNull());
        }
    }
}

TEST(Dialogs, FilterStringsBecomeQtNameFilters) {
    EXPECT_EQ(qtNameFilters(QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*")),
              (QStringList{"Text File (*.txt) (*.txt)", "All Files (*.*) (*)"}));
    EXPECT_EQ(qtNameFilters(QStringLiteral("KastScript (*.kst, *.vks, *.vki)|*.kst; *.vki; *.vks|All Files (*.*)|*.*")),
              (QStringList{"KastScript (*.kst, *.vks, *.vki) (*.kst *.vki *.vks)", "All Files (*.*) (*)"}));
    EXPECT_EQ(qtNameFilters(QStringLiteral("Lonely description")), QStringList{});
    EXPECT_EQ(qtNameFilters(QStringLiteral("|*.log|Empty|")), (QStringList{"*.log (*.log)"}));
    EXPECT_EQ(qtNameFilters(QString()), QStringList{});
}

TEST(TextFit, CompactTextKeepsTheLongestFittingPrefix) {
    QFont font;
    QFontMetrics m(font);
    const QString text = QStringLiteral("/media/stick/a rather long folder name/that goes on");
    EXPECT_EQ(compactText(m, text, m.horizontalAdvance(text) + 1), text);
    for (int width : {40, 120, 200}) {
        QString fitted = compactText(m, text, width);
        ASSERT_TRUE(fitted.endsWith(QStringLiteral("...")));
        QString prefix = fitted.chopped(3);
        EXPECT_TRUE(text.startsWith(prefix));
        EXPECT_LT(m.horizontalAdvance(fitted), width);
        // One more character would not fit.
        EXPECT_GE(m.horizontalAdvance(text.left(prefix.size() + 1) + QStringLiteral("...")), width);
    }
    EXPECT_EQ(compactText(m, text, 1), QStringLiteral("/..."));
    EXPECT_EQ(fileNamePart(QStringLiteral("/a/b/c.exe")), QStringLiteral("c.exe"));
    EXPECT_EQ(folderPart(QStringLiteral("/a/b/c.exe")), QStringLiteral("/a/b"));
}

TEST(StatisticsDialog, ZeroShowsNotAvailable) {
    StatisticsDialog d(nullptr, ScanCounters{12, 0, 3, 0, 1, 0, {}});
    auto text = [&](const char* name) { return d.findChild<QLabel*>(QString::fromLatin1(name))->text(); };
    EXPECT_EQ(text("lblFileScanned"), QStringLiteral("12"));
    EXPECT_EQ(text("lblFilesInfected"), QStringLiteral("n/a"));
    EXPECT_EQ(text("lblFilesHealed"), QStringLiteral("3"));
    EXPECT_EQ(text("lblFilesDeleted"), QStringLiteral("n/a"));
    EXPECT_EQ(text("lblFilesRenamed"), QStringLiteral("1"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Summary"));
}
