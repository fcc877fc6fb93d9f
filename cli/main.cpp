// tablehop-cli: the command-line front end.
#include "ActivityLog.h"
#include "Cli.h"
#include "DriverEnvironment.h"
#include "SettingsStore.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace {

std::optional<std::string> askOnTerminal(const std::string& prompt, bool secret)
{
    std::cerr << prompt << std::flush;
    termios saved {};
    const bool hide = secret && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (hide)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (hide || !got)
        std::cerr << "\n";  // the typed line's end was not echoed
    return got ? std::optional<std::string>(line) : std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareDriverEnvironment();
    // The keyring answers through Qt's event loop.
    QCoreApplication application(argc, argv);
    UseProgramNames();
    SettingsStore settings;
    CliContext context {std::cout, std::cerr, {}, nullptr, false, {}};
    context.environment = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    context.settings = &settings;
    context.interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    context.ask = askOnTerminal;
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), context);
}
