#include <QApplication>
#include <cstdio>
#include <cstring>

#include "Version.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/Screenshots.h"
#include "app/SingleInstance.h"
#include "platform/ProgramFolder.h"
#include "platform/Target.h"

namespace {

const char kUsage[] =
    "Usage: vandrelkast [--target T] [--user NAME] [/s]\n"
    "The VandrelKast desktop program: scanner, AutoRepair, system tools.\n"
    "\n"
    "  /s           start hidden in the tray\n"
    "  --target T   the system to repair: local (this computer), wine:PREFIX or\n"
    "               windows:ROOT (an offline Windows mounted at ROOT); also\n"
    "               $VANDRELKAST_TARGET, and the window's \"Target system\" choice\n"
    "  --user NAME  the Windows profile on windows:ROOT (default: the newest)\n"
    "  --help       print this help and exit\n"
    "  --version    print the version and exit\n"
    "\n"
    "A second start brings the running window forward (with /s it leaves it as it is).\n"
    "The program folder follows $VANDRELKAST_HOME, the registry store $VANDRELKAST_REGISTRY.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("vandrelkast (VandrelKast) %s\n", vk::kVersionDisplay);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vandrelkast"));
    // The window hides to the tray; only Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (arguments.size() == 2 && arguments[0] == QLatin1String("--screenshots"))
        return vk::app::renderScreenshots(arguments[1]);

    vk::app::StartupOptions options;
    std::string targetError;
    std::optional<vk::platform::Target> target = vk::platform::targetFromEnvironment(&targetError);
    QString user;
    for (qsizetype i = 0; i < arguments.size();) {
        const QString& a = arguments[i];
        const bool isTarget = a == QLatin1String("--target"), isUser = a == QLatin1String("--user");
        if ((isTarget || isUser) && i + 1 < arguments.size()) {
            if (isTarget) target = vk::platform::parseTarget(arguments[i + 1].toStdString(), &targetError);
            else user = arguments[i + 1];
            arguments.remove(i, 2);
            continue;
        }
        ++i;
    }
    if (!target) {
        std::fprintf(stderr, "vandrelkast: %s\n", targetError.c_str());
        return 2;
    }
    options.target = *target;
    if (!user.isEmpty()) options.target.user = user.toStdString();

    vk::app::SingleInstance instance(vk::platform::programFolder().configIni);
    if (!instance.claim(arguments)) return 0;

    vk::app::QtDialogs dialogs;
    vk::app::MainWindow window(dialogs, options);
    QObject::connect(&instance, &vk::app::SingleInstance::activated, &window,
                     &vk::app::MainWindow::startedAgain);
    if (!window.startUp(arguments)) return 1;
    return QApplication::exec();
}
