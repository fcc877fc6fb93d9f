// Tablehop: loading the login window is the start-up sequence; closing
// either window ends the program.
#include "ActivityLog.h"
#include "DriverEnvironment.h"
#include "WindowController.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    PrepareDriverEnvironment();
    QApplication application(argc, argv);
    UseProgramNames();
    WindowController windows;
    QObject::connect(&windows, &WindowController::programEnd, &application, &QCoreApplication::quit);
    windows.startUp();
    if (windows.ended())
        return 0;
    return application.exec();
}
