#pragma once
// What an image window needs of the window that holds it (the main window), kept to the few
// things it touches so that the document layer does not depend on the application shell.

#include "platform/desktop/Desktop.h"

#include <QObject>
#include <QString>

namespace kaptiv {

class ImageHost {
public:
    virtual ~ImageHost() = default;
    virtual void setStatusPanel(int panel, const QString &text) = 0;
    // `window` has a new description: shown at once in status panel 0 while it is the active one.
    virtual void hintChanged(const QObject *window, const QString &hint) = 0;
    virtual void setCopyEnabled(bool enabled) = 0; // the Edit menu's Copy and the copyb button
    virtual int imageWindowCount() const = 0;
    // Whether an image window other than `self` is still open (self may already be off the list).
    virtual bool anyOtherImageWindow(const QObject *self) const = 0;
    virtual bool closingAll() const = 0;
    virtual bool confirmClosing() const = 0; // the configuration's "Confirm closing of images."
    // Whether Insert Cursor is placing its cursor in `window`: it places it in one window only.
    virtual bool placingCursorIn(const QObject *window) const = 0;
    virtual void endPlacingCursor() = 0;
    virtual const CursorImage &stampCursor() const = 0;
    virtual void releaseStampCursor() = 0;
};

} // namespace kaptiv
