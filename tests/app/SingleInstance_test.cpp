#include <gtest/gtest.h>

#include <QAction>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "app/SingleInstance.h"
#include "platform/IniProfile.h"
#include "support/RunProgram.h"

using namespace vk::app;
using namespace vk::apptest;
using vk::test::ScopedEnv;
using vk::test::TempDir;

namespace {

// A runtime folder of the test's own, so no other copy on the machine answers.
struct RuntimeFolder {
    RuntimeFolder() : env("XDG_RUNTIME_DIR", dir.str().c_str()) {}
    TempDir dir;
    ScopedEnv env;
};

// Starts the real program and serves the event loop until it ends.
int runProgramWhileServing(const QStringList& arguments, QString* output) {
    const std::string bin = vk::test::builtProgram("vandrelkast");
    QProcess child;
    child.start(QString::fromStdString(bin), arguments);
    if (!child.waitForStarted(10000)) return -2;
    QElapsedTimer timer;
    timer.start();
    while (child.state() != QProcess::NotRunning && timer.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        child.waitForFinished(10);
    }
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    if (output) *output = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
    return child.exitCode();
}

}  // namespace

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
    const std::string bin = vk::test::builtProgram("vandrelkast");
    if (bin.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    const std::vector<std::pair<std::string, std::string>> noDisplay = {
        {"QT_QPA_PLATFORM", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
    auto version = vk::test::runProgram(bin, {"--version"}, noDisplay);
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "vandrelkast (VandrelKast) 1.4.0 Beta\n");
    auto help = vk::test::runProgram(bin, {"--help"}, noDisplay);
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_TRUE(help.out.starts_with("Usage: vandrelkast [--target T] [--user NAME] [/s]\n")) << help.out;
    EXPECT_NE(help.out.find("/s "), std::string::npos);
}

TEST(SingleInstance, ASecondStartHandsItsArgumentsOverAndEnds) {
    if (vk::test::builtProgram("vandrelkast").empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    RuntimeFolder runtime;
    SingleInstance running(home.configIni());
    ASSERT_TRUE(running.claim({}));
    QSignalSpy spy(&running, &SingleInstance::activated);

    QString output;
    EXPECT_EQ(runProgramWhileServing({QStringLiteral("/s")}, &output), 0) << output.toStdString();
    EXPECT_EQ(runProgramWhileServing({}, &output), 0) << output.toStdString();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[0][0].toStringList(), QStringList{QStringLiteral("/s")});
    EXPECT_EQ(spy[1][0].toStringList(), QStringList{});
}

TEST(SingleInstance, OtherSettingsOrALeftoverSocketDoNotBlockAStart) {
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    RuntimeFolder runtime;
    TempDir otherHome;
    SingleInstance first(home.configIni());
    SingleInstance other((otherHome / "config.ini").string());
    EXPECT_NE(first.serverName(), other.serverName());
    EXPECT_TRUE(first.claim({}));
    EXPECT_TRUE(other.claim({}));

    // A copy that crashed leaves its socket file behind, bound by nobody.
    TempDir thirdHome;
    SingleInstance third((thirdHome / "config.ini").string());
    const QByteArray path = third.serverName().toLocal8Bit();
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    EXPECT_TRUE(third.claim({}));
}

TEST(SingleInstance, TheRunningWindowComesForwardUnlessAskedForTheTray) {
    ProgramHome home({stringSignature("Worm.Test", "VK-TEST-WORM-7f3a")});
    vk::platform::clearProfileCache();
    ScriptedDialogs dialogs;
    MainWindow w(dialogs, StartupOptions{0, true});
    ASSERT_TRUE(w.startUp({QStringLiteral("/s")}));
    ASSERT_FALSE(w.isVisible());
    w.startedAgain({QStringLiteral("/S")});
    EXPECT_FALSE(w.isVisible());
    w.startedAgain({});
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(w.hideWindowAction()->text(), QStringLiteral("&Hide VandrelKast"));
}
