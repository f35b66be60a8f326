#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"
#include "app/TargetChooser.h"
#include "platform/IniProfile.h"
#include "platform/Registry.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::ScopedEnv;
using vk::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string wineVersion() {
    vk::platform::RegHandle h;
    auto& r = vk::platform::systemRegistry();
    if (r.openKey(vk::platform::kHkeyLocalMachine, "Software\\Wine", vk::platform::kKeyRead, h)) return "<no key>";
    std::uint32_t type = 0;
    std::string data;
    r.queryValue(h, "Version", type, data);
    r.closeKey(h);
    return data;
}

}  // namespace

TEST(TargetChooser, TheWindowRepairsTheChosenSystem) {
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    TempDir dir;
    ScopedEnv store("VANDRELKAST_REGISTRY", (dir / "store").c_str());
    ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    ScopedEnv homeEnv("HOME", (dir / "home").c_str());
    const fs::path prefix = dir / "home" / ".wine";
    fs::create_directories(prefix / "drive_c" / "windows");
    std::ofstream(prefix / "system.reg") << "WINE REGISTRY Version 2\n\n[Software\\\\Wine] 1\n\"Version\"=\"win7\"\n";
    std::ofstream(prefix / "user.reg") << "WINE REGISTRY Version 2\n";

    vk::platform::clearProfileCache();
    ScriptedDialogs dialogs;
    StartupOptions options{0, true};
    options.target = *vk::platform::parseTarget("wine:" + prefix.string());
    MainWindow w(dialogs, options);
    ASSERT_TRUE(w.startUp({}));
    auto* label = child<QLabel>(&w, "lblTarget");
    EXPECT_EQ(label->text(), QStringLiteral("Target: Wine prefix ") + QString::fromStdString(prefix.string()));
    EXPECT_EQ(wineVersion(), std::string("win7\0", 5));

    // The choice lists this computer and the prefix found in the home folder.
    TargetChooser* chooser = w.targetChooser();
    chooser->refreshMenu();
    QStringList entries;
    for (QAction* a : chooser->menu()->actions()) entries << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
    EXPECT_EQ(entries, (QStringList{QStringLiteral("This computer"),
                                    QStringLiteral("Wine prefix ") + QString::fromStdString(prefix.string()) +
                                        QStringLiteral(" *")}));

    int reloads = 0;
    w.setPageLoader(MainWindow::kMain, [&] { ++reloads; });
    chooser->menu()->actions()[0]->trigger();
    EXPECT_EQ(label->text(), QStringLiteral("Target: This computer"));
    EXPECT_EQ(reloads, 1);  // the page shown reads the new target's data
    EXPECT_EQ(wineVersion(), "<no key>");
    EXPECT_TRUE(dialogs.messages().empty());

    // A broken prefix opens with a message saying it is only read.
    std::ofstream(prefix / "system.reg", std::ios::trunc) << "not a registry";
    ASSERT_TRUE(chooser->choose(*vk::platform::parseTarget("wine:" + prefix.string())));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_NE(dialogs.messages()[0].text.indexOf(QStringLiteral("only read")), -1);
    EXPECT_EQ(dialogs.messages()[0].title, QStringLiteral("Target system"));
    chooser->choose(vk::platform::Target{});
}
