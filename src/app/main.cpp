#include <QApplication>

#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/Screenshots.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vandrelkast"));
    // The window hides to the tray; only Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (arguments.size() == 2 && arguments[0] == QLatin1String("--screenshots"))
        return vk::app::renderScreenshots(arguments[1]);

    vk::app::QtDialogs dialogs;
    vk::app::MainWindow window(dialogs);
    if (!window.startUp(arguments)) return 1;
    return QApplication::exec();
}
