// Tablehop: loading the login window is the start-up sequence; closing
// either window ends the program.
#include "LoginWindow.h"
#include "QtDialogs.h"
#include "SettingsStore.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QtDialogs dialogs;
    SettingsStore settings;
    LoginWindow login(dialogs, settings);
    dialogs.setParent(&login);
    bool ended = false;
    QObject::connect(&login, &LoginWindow::programEnd, &application, [&] {
        ended = true;
        QCoreApplication::quit();
    });
    login.startUp();
    if (ended)
        return 0;
    return application.exec();
}
