#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "AppTestSupport.h"
#include "app/Farwatch.h"
#include "platform/IniProfile.h"
#include "scan/ScanEngine.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::readFile;
using vk::test::TempDir;

namespace {

std::string key(const std::string& ini, const char* k) {
    return vk::platform::getProfileString(ini, "Farwatch", k, "<none>");
}

struct FormRun {
    FormRun() : ini((dir / "config.ini").string()), form(nullptr, dialogs, engine, ini) { form.show(); }
    void choose(int option) { child<QRadioButton>(&form, ("optParticipate" + std::to_string(option)).c_str())->click(); }
    void type(const char* box, const char* text) { child<QLineEdit>(&form, box)->setText(QString::fromUtf8(text)); }
    void cont() { clickChild(&form, "cmdContinue"); }
    TempDir dir;
    std::string ini;
    ScriptedDialogs dialogs;
    vk::scan::ScanEngine engine;
    FwForm form;
};

}  // namespace

TEST(FwForm, YesNeedsEveryFieldInOrder) {
    struct Case {
        const char *name, *address, *email, *message;
    };
    const Case cases[] = {{"   ", "Street 1", "a@b.c", "Please enter your complete name."},
                          {"Ada", " ", "a@b.c", "Please enter your complete address."},
                          {"Ada", "Street 1", "", "Please enter your email address."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        FormRun run;
        run.choose(0);
        run.type("txtName", c.name);
        run.type("txtAddress", c.address);
        run.type("txtEmail", c.email);
        run.cont();
        ASSERT_EQ(run.dialogs.messages().size(), 1u);
        EXPECT_EQ(run.dialogs.messages()[0].text, QString::fromLatin1(c.message));
        EXPECT_EQ(run.dialogs.messages()[0].title, QStringLiteral("Error"));
        EXPECT_TRUE(run.form.isVisible());
        EXPECT_EQ(key(run.ini, "NoFillupFormDisplay"), "<none>");
    }
    FormRun run;
    run.engine.setEnableFarwatch(false);
    run.choose(0);
    run.type("txtName", "  Ada Example ");
    run.type("txtAddress", "12 Harbour Lane");
    run.type("txtEmail", "ada@example.org ");
    run.cont();
    EXPECT_TRUE(run.dialogs.calls().empty());
    EXPECT_FALSE(run.form.isVisible());
    EXPECT_EQ(run.engine.username(), "Ada Example");
    EXPECT_EQ(run.engine.emailAddress(), "ada@example.org");
    EXPECT_TRUE(run.engine.enableFarwatch());
    EXPECT_EQ(key(run.ini, "Name"), "Ada Example");
    EXPECT_EQ(key(run.ini, "Address"), "12 Harbour Lane");
    EXPECT_EQ(key(run.ini, "Email"), "ada@example.org");
    EXPECT_EQ(key(run.ini, "EnableFarwatch"), "1");
    EXPECT_EQ(key(run.ini, "NoFillupFormDisplay"), "1");
}

TEST(FwForm, NoAsksAndNoOptionClosesForGood) {
    {
        FormRun run;
        run.choose(1);
        EXPECT_FALSE(child<QGroupBox>(&run.form, "fraParticipate")->isEnabled());
        EXPECT_TRUE(child<QLineEdit>(&run.form, "txtName")->isReadOnly());
        run.dialogs.answerMessage(MessageResult::No);
        run.cont();
        EXPECT_TRUE(run.form.isVisible());
        ASSERT_EQ(run.dialogs.messages().size(), 1u);
        EXPECT_EQ(run.dialogs.messages()[0].text,
                  QStringLiteral("If you participate in our Farwatch program you will help us monitor and gauge virus "
                                 "attacks and worm outbreaks. Are you sure you don't want to participate in Farwatch "
                                 "Program?"));
        EXPECT_EQ(run.dialogs.messages()[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(run.dialogs.messages()[0].icon, MessageIcon::Question);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(run.ini)));
        run.dialogs.answerMessage(MessageResult::Yes);
        run.cont();
        EXPECT_FALSE(run.form.isVisible());
        EXPECT_EQ(key(run.ini, "EnableFarwatch"), "0");
        EXPECT_EQ(key(run.ini, "NoFillupFormDisplay"), "1");
        run.choose(0);
        EXPECT_TRUE(child<QGroupBox>(&run.form, "fraParticipate")->isEnabled());
    }
    {
        FormRun run;
        run.dir.write("config.ini", "[Farwatch]\nEnableFarwatch=1\n");
        run.cont();
        EXPECT_FALSE(run.form.isVisible());
        EXPECT_TRUE(run.dialogs.calls().empty());
        EXPECT_EQ(key(run.ini, "EnableFarwatch"), "1");  // unchanged
        EXPECT_EQ(key(run.ini, "NoFillupFormDisplay"), "1");
    }
}

TEST(Enrolment, ShownAtStartUntilCompletedThenSettingsFollow) {
    vk::platform::clearProfileCache();
    EXPECT_FALSE(enrolmentCompleted("/no/such/config.ini"));
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")}, "");
    for (const char* value : {"0", "False", "junk"}) {
        home.dir.write("config.ini", std::string("[Farwatch]\nNoFillupFormDisplay=") + value + "\n");
        EXPECT_FALSE(enrolmentCompleted(home.configIni())) << value;
    }
    for (const char* value : {"1", "true", "-1"}) {
        home.dir.write("config.ini", std::string("[Farwatch]\nNoFillupFormDisplay=") + value + "\n");
        EXPECT_TRUE(enrolmentCompleted(home.configIni())) << value;
    }
    home.dir.write("config.ini", "");

    ScriptedDialogs dialogs;
    {
        ModalDriver driver;
        bool mainHidden = false;
        std::unique_ptr<MainWindow> w;
        driver.expect("frmFWForm", [&](QWidget* form) {
            mainHidden = !w->isVisible();
            child<QRadioButton>(form, "optParticipate0")->click();
            child<QLineEdit>(form, "txtName")->setText("Ada");
            child<QLineEdit>(form, "txtAddress")->setText("Lane 2");
            child<QLineEdit>(form, "txtEmail")->setText("ada@example.org");
            clickChild(form, "cmdContinue");
        });
        w = std::make_unique<MainWindow>(dialogs, StartupOptions{0, std::nullopt});
        ASSERT_TRUE(w->startUp({}));
        EXPECT_TRUE(driver.allHandled());
        EXPECT_TRUE(mainHidden);
        // The page shows what the form stored, in effect at once.
        QWidget* page = w->page(MainWindow::kFarwatch);
        EXPECT_TRUE(child<QCheckBox>(page, "chkEnableFW")->isChecked());
        EXPECT_EQ(child<QLineEdit>(page, "txtName2")->text(), QStringLiteral("Ada"));
        EXPECT_TRUE(w->scanEngine().enableFarwatch());
        EXPECT_EQ(w->scanEngine().emailAddress(), "ada@example.org");
    }
    {
        // Completed: not shown again; "2" counts as on.
        vk::platform::writeProfileString(home.configIni(), "Farwatch", "EnableFarwatch", "2");
        ModalDriver driver;
        MainWindow w(dialogs, StartupOptions{0, std::nullopt});
        ASSERT_TRUE(w.startUp({}));
        EXPECT_TRUE(driver.seen().empty());
        QWidget* page = w.page(MainWindow::kFarwatch);
        auto* check = child<QCheckBox>(page, "chkEnableFW");
        EXPECT_TRUE(check->isChecked());
        EXPECT_TRUE(w.scanEngine().enableFarwatch());
        // Each keystroke is written, untrimmed; clearing writes "".
        auto* name = child<QLineEdit>(page, "txtName2");
        name->selectAll();
        QTest::keyClick(name, Qt::Key_Delete);
        EXPECT_EQ(key(home.configIni(), "Name"), "");
        EXPECT_EQ(w.scanEngine().username(), "");
        QTest::keyClicks(name, "Bo ");
        EXPECT_EQ(key(home.configIni(), "Name"), "Bo");  // the profile read trims; the engine does not
        EXPECT_EQ(w.scanEngine().username(), "Bo ");
        check->click();
        EXPECT_FALSE(w.scanEngine().enableFarwatch());
        EXPECT_EQ(key(home.configIni(), "EnableFarwatch"), "0");
        EXPECT_FALSE(name->isEnabled());
        EXPECT_TRUE(name->isReadOnly());
    }
}
