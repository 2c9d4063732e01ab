#pragma once
// A running program on the offscreen platform: the eight windows, a scripted desktop whose
// screen is known, scripted message boxes, and no refresh delay.

#include "FakeDesktop.h"
#include "ScriptedDialogs.h"
#include "app/Startup.h"
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "settings/ConfigSnap.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kaptiv::testing {

// A screen whose every pixel tells where it is: red = x, green = y, blue = x + y (low bytes).
inline QImage positionalScreen(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x & 255, y & 255, (x + y) & 255));
    return image;
}

class AppFixture : public ::testing::Test {
protected:
    AppFixture() : fake(positionalScreen(640, 480)), scoped(fake)
    {
        // Every case starts as a first start, with a settings store of its own.
        previousConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        createApplicationWindows();
        main = appWindows().Screenfrm;
        config().Delay->setText(QStringLiteral("0"));
        config().hideprog->setChecked(false);
    }
    ~AppFixture() override
    {
        destroyApplicationWindows();
        qputenv("XDG_CONFIG_HOME", previousConfig);
    }

    TConfigfrm &config() { return *appWindows().Configfrm; }
    TImagefrm *active() { return main->imageWindows().value(0); }
    QStringList captions()
    {
        QStringList result;
        for (TImagefrm *w : main->imageWindows())
            result << w->caption();
        return result;
    }
    void settle()
    {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // closed windows go
    }

    QTemporaryDir configHome;
    QByteArray previousConfig;
    ScriptedDialogs dialogs;
    FakeDesktop fake;
    ScopedFakeDesktop scoped;
    TScreenfrm *main = nullptr;
};

} // namespace kaptiv::testing
