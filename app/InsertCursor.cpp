// The Options menu's Insert Cursor: a cursor read from a file is stamped into the active image
// where the user releases a mouse button over its picture.
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "formats/CursorCodec.h"
#include "platform/desktop/DevicePixels.h"
#include "platform/desktop/WindowPlacement.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QScopedValueRollback>

namespace kaptiv {

namespace {

const QString CursorFilter = QStringLiteral("Cursors (*.cur, *.ani)|*.cur;*.ani");

// Where the window shows its picture, in screen pixels: its client area, less any part that lies
// outside the document area and so cannot be clicked.
// Counted from the main window's own screen pixel, not from its device-independent position: on a
// scaled screen that is rounded, and the area would miss the picture's first columns.
ScreenRect shownClientArea(const TImagefrm &window, const QWidget &documentArea)
{
    const QWidget *client = window.widget();
    if (const auto *scroller = qobject_cast<const QAbstractScrollArea *>(client))
        client = scroller->viewport();
    const QWidget &top = *documentArea.window();
    const QRect shown = QRect(client->mapTo(&top, QPoint(0, 0)), client->size())
                            .intersected(QRect(documentArea.mapTo(&top, QPoint(0, 0)), documentArea.size()));
    const qreal ratio = client->devicePixelRatioF();
    const QPoint origin = screenPixelOrigin(top);
    const QPoint topLeft = origin + toDevicePixels(shown.topLeft(), ratio);
    const QPoint end = origin + toDevicePixels(shown.topLeft() + QPoint(shown.width(), shown.height()), ratio);
    return {topLeft.x(), topLeft.y(), end.x(), end.y()};
}

// The area the pointer is kept in. A window whose client area shows nowhere in the document area
// (moved out of it) is brought back first: the user could click nothing otherwise.
ScreenRect placementArea(TImagefrm &window, const QWidget &documentArea)
{
    const ScreenRect shown = shownClientArea(window, documentArea);
    if (shown.width() > 0 && shown.height() > 0)
        return shown;
    window.move(0, 0);
    return shownClientArea(window, documentArea);
}

// The program's state while a cursor is being placed, undone however the placement ends: the
// pointer kept in the window's client area, PlacingCursor set, the caption saved and the picture's
// tooltip off. Whether stamped or not (the window minimised or closed, the program ending), the
// caption and the tooltip come back and the cursor is let go.
class CursorPlacement {
public:
    CursorPlacement(TScreenfrm &main, TImagefrm &window)
        : main_(main), window_(&window),
          confinement_(desktop().confinePointer(placementArea(window, *main.mdi->viewport()), main.winId()))
    {
        main_.PlacingCursor = true;
        main_.cursorPlacementWindow = &window;
        window.SavedCaption = window.caption();
        window.Image->setToolTip(QString());
    }
    ~CursorPlacement()
    {
        confinement_.reset();
        if (window_) {
            window_->setCaption(window_->SavedCaption);
            window_->Image->setToolTip(window_->hint());
        }
        main_.PlacingCursor = false;
        main_.cursorPlacementWindow = nullptr;
        main_.releaseStampCursor();
    }
    CursorPlacement(const CursorPlacement &) = delete;
    CursorPlacement &operator=(const CursorPlacement &) = delete;

private:
    TScreenfrm &main_;
    QPointer<TImagefrm> window_;
    std::unique_ptr<PointerConfinement> confinement_;
};

// Ends the placement when the picture's window is closed (hidden on its way to being freed) or
// freed, or when it or the main window is minimised: the pointer would be held where nothing can be
// clicked.
class EndsWhenOutOfSight : public QObject {
public:
    EndsWhenOutOfSight(QWidget &window, TScreenfrm &main, QEventLoop &loop) : window_(&window), main_(&main), loop_(loop)
    {
        window.installEventFilter(this);
        main.installEventFilter(this);
        connect(&window, &QObject::destroyed, &loop, &QEventLoop::quit);
    }
    ~EndsWhenOutOfSight() override
    {
        if (window_)
            window_->removeEventFilter(this);
        if (main_)
            main_->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && watched == window_) // seen before the window is marked hidden: look after it
            QMetaObject::invokeMethod(this, [this] { if (!window_ || !window_->isVisible()) loop_.quit(); },
                                      Qt::QueuedConnection);
        else if (event->type() == QEvent::WindowStateChange && static_cast<QWidget *>(watched)->isMinimized() && main_)
            main_->endPlacingCursor();
        return false;
    }

private:
    QPointer<QWidget> window_;
    QPointer<TScreenfrm> main_;
    QEventLoop &loop_;
};

} // namespace

void TScreenfrm::Insertcursorinimage1Click(QObject *)
{
    if (!active() || PlacingCursor)
        return;
    OpenCur.Filter = CursorFilter;
    if (!Execute(OpenCur, this))
        return;
    CursorImage cursor = loadCursor(OpenCur.FileName);
    TImagefrm *window = active();
    if (!window)
        return;
    CursorPlacement placement(*this, *window);
    StampCursor = std::move(cursor); // let go with the placement, however it ends
    waitWhilePlacingCursor(*window);
}

void TScreenfrm::waitWhilePlacingCursor(TImagefrm &window)
{
    QEventLoop loop;
    const EndsWhenOutOfSight outOfSight(window, *this, loop);
    const QScopedValueRollback<QEventLoop *> current(cursorPlacementLoop_, &loop);
    if (PlacingCursor)
        loop.exec();
}

void TScreenfrm::endPlacingCursor()
{
    PlacingCursor = false;
    if (cursorPlacementLoop_)
        cursorPlacementLoop_->quit();
}

} // namespace kaptiv
