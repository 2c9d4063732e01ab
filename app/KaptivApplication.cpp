#include "app/KaptivApplication.h"

#include "app/ToolbarImages.h"
#include "platform/Dialogs.h"

namespace kaptiv {

KaptivApplication::KaptivApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kaptiv"));
    setQuitOnLastWindowClosed(true);
    setWindowIcon(toolbarGlyph(Glyph::Screen));
}

bool KaptivApplication::notify(QObject *receiver, QEvent *event)
{
    // Commands catch their own errors (runCommand); this is the net for anything that escapes.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentError();
    }
    return true;
}

} // namespace kaptiv
