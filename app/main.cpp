#include "app/KaptivApplication.h"
#include "app/RunningProgram.h"
#include "app/StartCapture.h"
#include "app/Startup.h"
#include "cli/CommandLine.h"
#include "platform/desktop/Desktop.h"
#include "platform/ui/Errors.h"
#include "platform/files/FileAccess.h"

#include <csignal>
#include <iostream>
#include <optional>

#include <sys/prctl.h>

int main(int argc, char **argv)
{
    // Started as kaptiv-app by the kaptiv front (front/main.cpp), this is still kaptiv to ps,
    // pidof and killall.
    prctl(PR_SET_NAME, "kaptiv");
    kaptiv::files::OpenStandardDescriptors();
    // Growing any file past the size limit (`ulimit -f`): the picture, the memory a grab shares
    // with the X server, a cache, is an error the code that grows it reports, not a silent death.
    // (A broken pipe is the file writer's own error: platform/FileAccess.)
    std::signal(SIGXFSZ, SIG_IGN);
    std::optional<int> startCapture;
    if (kaptiv::asksForStartCapture(argc, argv)) {
        startCapture = kaptiv::startCaptureItem(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString());
        if (!startCapture) {
            std::cerr << kaptiv::startCaptureUsage();
            return 2;
        }
        // The program already running on this display takes it, unless it does not answer.
        switch (kaptiv::handCaptureOver(argv[2])) {
        case kaptiv::HandOver::Taken:
            return 0;
        case kaptiv::HandOver::Busy:
            std::cerr << "Kaptiv is busy.\n";
            return 1;
        case kaptiv::HandOver::NoAnswer:
            break;
        }
    } else if (kaptiv::wantsCommandLine(argc, argv)) {
        return kaptiv::runCommandLine(kaptiv::commandLineArguments(argc, argv), std::cout, std::cerr);
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::cerr << "kaptiv: no display to show the program on (DISPLAY is not set).\n";
        return 1;
    }
    kaptiv::KaptivApplication app(argc, argv);
    try {
        kaptiv::requireDisplayForWindows();
    } catch (...) {
        std::cerr << "kaptiv: " << kaptiv::terminalText(kaptiv::currentErrorMessage()) << "\n";
        return 1;
    }
    kaptiv::createApplicationWindows(!startCapture || !kaptiv::takenBeforeMainWindowShows(*startCapture));
    new kaptiv::CaptureRequests(*kaptiv::appWindows().Screenfrm); // goes with the main window
    if (startCapture)
        kaptiv::takeCaptureOnStart(*startCapture);
    const int status = app.exec();
    kaptiv::destroyApplicationWindows();
    return status;
}
