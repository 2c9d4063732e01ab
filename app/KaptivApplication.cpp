#include "app/KaptivApplication.h"

#include "app/ToolbarImages.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"

namespace kaptiv {

KaptivApplication::KaptivApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kaptiv"));
    setQuitOnLastWindowClosed(true);
    setWindowIcon(toolbarGlyph(Glyph::Screen));
}

bool KaptivApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const KaptivError &error) {
        showErrorBox(error.message());
    } catch (const std::exception &error) {
        showErrorBox(QString::fromLocal8Bit(error.what()));
    }
    return true;
}

} // namespace kaptiv
