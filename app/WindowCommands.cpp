// The Window menu of the main window, the enabling of the File, Options and Window menus, and the
// about box.
#include "app/AboutSnap.h"
#include "app/FlagDuringCommand.h"
#include "app/Startup.h"
#include "app/WindowLayout.h"
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "platform/ui/Dialogs.h"

namespace kaptiv {

// From the bottom of the stack to the top, so that the active window ends in front, offset by
// the height of a title bar so that every caption shows.
void TScreenfrm::Cascae1Click(QObject *)
{
    QList<TImagefrm *> shown;
    for (TImagefrm *window : imageWindows())
        if (!window->isMinimized())
            shown.prepend(window);
    if (shown.isEmpty())
        return;
    const int step = shown.first()->widget()->y(); // the frame's top and the title bar
    const QList<QRect> places = cascadePlaces(QRect(QPoint(0, 0), mdi->maximumViewportSize()), int(shown.size()), step);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i]->isMaximized())
            shown[i]->showNormal();
        shown[i]->setGeometry(places[i]);
        shown[i]->raise();
    }
}

void TScreenfrm::Tile1Click(QObject *)
{
    QList<QMdiSubWindow *> shown, minimised;
    for (TImagefrm *window : imageWindows())
        (window->isMinimized() ? minimised : shown).append(window);
    // The whole area, as it will be once the tiled windows fit and its scroll bars are gone;
    // the row of minimised windows along its bottom stays uncovered.
    QRect area(QPoint(0, 0), mdi->maximumViewportSize());
    if (!minimised.isEmpty())
        area.setBottom(area.bottom() - minimised.first()->height());
    // Rows while each keeps a window's smallest height, a grid beyond that; a grid too fine for the
    // smallest window's size reaches past the area, and only then do scroll bars come.
    QSize least(1, 1);
    for (const QMdiSubWindow *window : shown)
        least = least.expandedTo(window->minimumSize()).expandedTo(window->minimumSizeHint());
    const QList<QRect> places = tiledPlaces(area, int(shown.size()), least);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i]->isMaximized())
            shown[i]->showNormal();
        shown[i]->setGeometry(places[i]);
    }
}

void TScreenfrm::ArrangeIcons1Click(QObject *)
{
    QList<QMdiSubWindow *> minimised;
    for (QMdiSubWindow *window : mdi->subWindowList(QMdiArea::CreationOrder))
        if (qobject_cast<TImagefrm *>(window) && window->isMinimized())
            minimised.append(window);
    QList<QSize> sizes;
    for (const QMdiSubWindow *window : minimised)
        sizes.append(window->size());
    const QList<QPoint> places = iconRowPlaces(QRect(QPoint(0, 0), mdi->viewport()->size()), sizes);
    for (qsizetype i = 0; i < minimised.size(); ++i)
        minimised[i]->move(places[i]);
}

void TScreenfrm::MinimizeAll1Click(QObject *)
{
    const QList<TImagefrm *> windows = imageWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        (*it)->showMinimized();
}

void TScreenfrm::CloseAllClick(QObject *)
{
    const QList<TImagefrm *> windows = imageWindows();
    if (windows.isEmpty())
        return;
    FlagDuringCommand closing(ClosingAll, true);
    if (!askConfirmation(this, QStringLiteral("If you have not saved, all your current images will be lost.  "
                                              "Are you sure you would like to close all the windows?")))
        return;
    // Each window is freed only after the command, so the list stays valid while they close.
    for (TImagefrm *window : windows)
        window->close();
}

// Nothing to arrange or close without an image window.
void TScreenfrm::Window1Click()
{
    const bool any = imageWindowCount() > 0;
    for (const char *entry : {"Cascae1", "Tile1", "ArrangeIcons1", "MinimizeAll1", "CloseAll"})
        item(entry)->setEnabled(any);
}

void TScreenfrm::File1Click()
{
    const bool any = imageWindowCount() > 0;
    menu("SaveAs1")->menuAction()->setEnabled(any);
    item("Print1")->setEnabled(any);
}

void TScreenfrm::Options2Click()
{
    const int count = imageWindowCount();
    item("CreateAnimatedGIF1")->setEnabled(count >= 2);
    menu("CreateDuplicateAs1")->menuAction()->setEnabled(count >= 1);
    item("Insertcursorinimage1")->setEnabled(count >= 1);
}

void TScreenfrm::About1Click(QObject *)
{
    TAboutfrm &about = *appWindows().Aboutfrm;
    centreOverMainWindow(about);
    dialogs().execModal(about);
}

} // namespace kaptiv
