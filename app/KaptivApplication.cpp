#include "app/KaptivApplication.h"

#include "app/ToolbarImages.h"
#include "platform/ui/Dialogs.h"

#include <QIcon>

namespace kaptiv {

KaptivApplication::KaptivApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kaptiv"));
    setQuitOnLastWindowClosed(true);
    // The installed menu entry and icon carry this name; run from the build folder, the program
    // has no icon installed and shows the Grab Screen glyph instead.
    setDesktopFileName(QStringLiteral("com.quillmar.Kaptiv"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("com.quillmar.Kaptiv"), toolbarGlyph(Glyph::Screen)));
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
