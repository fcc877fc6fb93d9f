// Tablehop: the login form's load handler is the start-up sequence; closing
// either window ends the program.
#include "Form1.h"
#include "QtDialogs.h"
#include "SettingsStore.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QtDialogs dialogs;
    SettingsStore settings;
    Form1 login(dialogs, settings);
    dialogs.setParent(&login);
    bool ended = false;
    QObject::connect(&login, &Form1::programEnd, &application, [&] {
        ended = true;
        QCoreApplication::quit();
    });
    login.startUp();
    if (ended)
        return 0;
    return application.exec();
}
