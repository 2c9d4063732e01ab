#pragma once
// Runs Insert Cursor from a test. The command waits in an event loop of its own until the cursor
// is stamped, so what the user does meanwhile runs from inside that loop.

#include "ScriptedDialogs.h"
#include "app/mainSnap.h"
#include "document/ChldSnap.h"

#include <QPointer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace kaptiv::testing {

// Chooses `path` in the dialog (none: cancels it) and runs the command; `placing` runs while the
// cursor is being placed and must end the placement. True when `placing` ran.
inline bool runInsertCursor(TScreenfrm &main, ScriptedDialogs &dialogs, const QString &path,
                            const std::function<void()> &placing)
{
    dialogs.fileNames.clear();
    if (!path.isEmpty())
        dialogs.fileNames.push_back(path);
    bool ran = false;
    QTimer during; // gone with this call, when the command ended without placing anything
    during.setSingleShot(true);
    QObject::connect(&during, &QTimer::timeout, [&] {
        const QPointer<TImagefrm> window = main.active();
        if ((ran = main.PlacingCursor))
            placing();
        if (main.PlacingCursor && window && window->isVisible()) {
            ADD_FAILURE() << "the placement did not end";
            window->close();
        }
    });
    during.start(0);
    main.item("Insertcursorinimage1")->trigger();
    return ran;
}

} // namespace kaptiv::testing
