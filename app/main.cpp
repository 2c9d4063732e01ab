#include "app/KaptivApplication.h"
#include "app/Startup.h"
#include "cli/CommandLine.h"

#include <iostream>

int main(int argc, char **argv)
{
    if (kaptiv::wantsCommandLine(argc, argv)) {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        return kaptiv::runCommandLine(arguments, std::cout, std::cerr);
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::cerr << "kaptiv: no display to show the program on (DISPLAY is not set).\n";
        return 1;
    }
    kaptiv::KaptivApplication app(argc, argv);
    kaptiv::createApplicationWindows();
    const int status = app.exec();
    kaptiv::destroyApplicationWindows();
    return status;
}
