#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <cstdlib>
#include <fstream>

#include "AppTestSupport.h"
#include "app/HeaderColors.h"
#include "app/ScanPage.h"
#include "platform/IniProfile.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::TempDir;

namespace {

std::unique_ptr<MainWindow> startWindow(ScriptedDialogs& dialogs) {
    vk::platform::clearProfileCache();
    auto w = std::make_unique<MainWindow>(dialogs, StartupOptions{0, true});
    if (!w->startUp({})) return nullptr;
    return w;
}

// The most contrasting colour inside a rectangle against the given background.
double bestContrast(const QImage& image, const QRect& rect, const QColor& background) {
    double best = 1.0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            best = std::max(best, contrastRatio(image.pixelColor(x, y), background));
    return best;
}

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x20, 0x20, 0x22));
    p.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Base, QColor(0x18, 0x18, 0x1a));
    p.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Button, QColor(0x30, 0x30, 0x33));
    p.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    return p;
}

// Restores the application's palette and font whatever the test does.
struct AppLook {
    AppLook() : palette(QApplication::palette()), font(QApplication::font()) {}
    ~AppLook() {
        QApplication::setPalette(palette);
        QApplication::setFont(font);
    }
    QPalette palette;
    QFont font;
};

}  // namespace

TEST(WindowLook, HeaderTextIsReadableUnderLightAndDarkPalettes) {
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    AppLook look;
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        QApplication::setPalette(dark ? darkPalette() : QPalette());
        ScriptedDialogs dialogs;
        auto w = startWindow(dialogs);
        ASSERT_TRUE(w);
        w->cmdHeaderClick(MainWindow::kSearchNDestroy);
        QFrame* header = w->header(MainWindow::kSearchNDestroy);
        const QImage image = header->grab().toImage();
        const QColor background = image.pixelColor(2, 2);
        // A dark desktop gets a dark header, not a light patch.
        EXPECT_EQ(background.lightnessF() < 0.5, dark);
        for (const char* name : {"lblHeaderTitle", "lblHeaderDescription"}) {
            SCOPED_TRACE(name);
            auto* label = child<QLabel>(header, name);
            const QRect rect(label->mapTo(header, QPoint(0, 0)), label->size());
            EXPECT_GE(bestContrast(image, rect & image.rect(), background), 4.5);
        }
    }
}

TEST(WindowLook, SideBarWidthFollowsItsFont) {
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    AppLook look;
    for (double points : {9.0, 22.0}) {
        SCOPED_TRACE(points);
        QFont f = QApplication::font();
        f.setPointSizeF(points);
        QApplication::setFont(f);
        ScriptedDialogs dialogs;
        auto w = startWindow(dialogs);
        ASSERT_TRUE(w);
        QFont bold = w->font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        int checked = 0;
        for (auto* button : w->findChild<QFrame*>("picHeaderBar")->findChildren<QPushButton*>()) {
            const QString caption = button->text().remove(QLatin1Char('&'));
            EXPECT_LE(metrics.horizontalAdvance(caption) + 20, button->width()) << caption.toStdString();
            ++checked;
        }
        EXPECT_EQ(checked, MainWindow::kPageCount + 1);  // eleven pages, the target choice and Exit
    }
}

// An invalid size in the box refuses every way out, also while another window
// is active (the tray menu, a dialog): the box keeps its focus in its window.
TEST(WindowClose, InvalidSizeBoxRefusesCloseBoxAndExitWhileInactive) {
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    ScriptedDialogs dialogs;
    auto w = startWindow(dialogs);
    ASSERT_TRUE(w);
    w->cmdHeaderClick(MainWindow::kSndSettings);
    QComboBox* box = w->scanSettingsPage()->fileSizeBox();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    box->setFocus();
    box->setEditText(QStringLiteral("12x"));
    ASSERT_FALSE(w->isActiveWindow());

    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());  // not hidden to the tray either
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("Numeric values are only allowed."));

    dialogs.answerMessage(MessageResult::Yes);
    w->cmdExit_Click();
    EXPECT_FALSE(w->unloaded());
    ASSERT_EQ(dialogs.messages().size(), 3u);  // the question, then the refusal
    EXPECT_EQ(dialogs.messages()[2].text, QStringLiteral("Numeric values are only allowed."));

    box->setEditText(QStringLiteral("12"));
    dialogs.answerMessage(MessageResult::Yes);
    w->cmdExit_Click();
    EXPECT_TRUE(w->unloaded());
}

// Runs this test binary again on a screen of the given size in pixels and
// scale; the offscreen screen takes its size in device-independent pixels.
void runOnScaledScreen(int width, int height, double scale) {
    width = static_cast<int>(width / scale);
    height = static_cast<int>(height / scale);
    TempDir dir;
    const std::string config = (dir / "screen.json").string();
    std::ofstream(config) << "{\"screens\":[{\"name\":\"s\",\"x\":0,\"y\":0,\"width\":" << width
                          << ",\"height\":" << height << ",\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":" << scale
                          << "}]}";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + QString::fromStdString(config));
    env.insert(QStringLiteral("VK_WINDOW_FIT_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("/proc/self/exe"), {QStringLiteral("--gtest_filter=WindowFitChild.*")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
}

TEST(WindowFit, EveryButtonReachableOn1280x800At150Percent) { runOnScaledScreen(1280, 800, 1.5); }
TEST(WindowFit, EveryButtonReachableOn1920x1080At200Percent) { runOnScaledScreen(1920, 1080, 2.0); }

// Run by the two tests above in a child process with a scaled screen.
TEST(WindowFitChild, WindowAndButtonsInsideTheScreen) {
    if (!std::getenv("VK_WINDOW_FIT_CHILD")) GTEST_SKIP() << "runs only as the child of WindowFit";
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    ScriptedDialogs dialogs;
    auto w = startWindow(dialogs);
    ASSERT_TRUE(w);
    const QRect screen = w->screen()->availableGeometry();
    ASSERT_LT(screen.height(), 560);  // the scale took effect
    EXPECT_TRUE(screen.contains(w->geometry())) << w->width() << "x" << w->height();
    for (int page = 0; page < MainWindow::kPageCount; ++page) {
        w->cmdHeaderClick(page);
        QApplication::processEvents();
        for (QAbstractButton* button : w->findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(w.get()) || button->window() != w.get()) continue;
            QScrollArea* area = nullptr;
            for (QWidget* p = button->parentWidget(); p && !area; p = p->parentWidget())
                area = qobject_cast<QScrollArea*>(p);
            if (area && area->widget()->isAncestorOf(button)) area->ensureWidgetVisible(button, 0, 0);
            const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
            EXPECT_TRUE(screen.contains(onScreen))
                << "page " << page << ": " << button->objectName().toStdString() << " "
                << button->text().toStdString();
            if (area && area->widget()->isAncestorOf(button)) {
                const QRect inView(button->mapTo(area->viewport(), QPoint(0, 0)), button->size());
                EXPECT_TRUE(area->viewport()->rect().contains(inView))
                    << "page " << page << ": " << button->text().toStdString() << " cannot be scrolled to";
            }
        }
    }
}
