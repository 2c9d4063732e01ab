#include "FakeDesktop.h"

#include <QPainter>
#include <algorithm>

namespace kaptiv::testing {

FakeDesktop::FakeDesktop(QImage screenPixels, int displayDepth) : screen(std::move(screenPixels)), depth(displayDepth)
{
    if (screen.format() == QImage::Format_RGB32 && depth != 16)
        screen.fill(Qt::white);
}

QImage FakeDesktop::grabScreen(const ScreenRect &area)
{
    ++grabs;
    QImage out(std::max(area.width(), 0), std::max(area.height(), 0), screen.format());
    out.fill(Qt::black);
    QPainter painter(&out);
    painter.drawImage(QPoint(0, 0), screen, QRect(area.Left, area.Top, area.width(), area.height()));
    return out;
}

void FakeDesktop::setCursorPos(QPoint pos)
{
    if (confinedTo)
        pos = {std::clamp(pos.x(), confinedTo->Left, confinedTo->Right - 1),
               std::clamp(pos.y(), confinedTo->Top, confinedTo->Bottom - 1)};
    pointer = pos;
}

namespace {

class FakeConfinement : public PointerConfinement {
public:
    explicit FakeConfinement(FakeDesktop &desktop) : desktop_(desktop) {}
    ~FakeConfinement() override { desktop_.confinedTo.reset(); }

private:
    FakeDesktop &desktop_;
};

} // namespace

std::unique_ptr<PointerConfinement> FakeDesktop::confinePointer(const ScreenRect &area, WindowId)
{
    confinedTo = area;
    setCursorPos(pointer);
    return std::make_unique<FakeConfinement>(*this);
}

const DesktopWindow *FakeDesktop::find(WindowId window) const
{
    for (const DesktopWindow &w : windows)
        if (w.id == window)
            return &w;
    return nullptr;
}

ScreenRect FakeDesktop::windowRect(WindowId window)
{
    const DesktopWindow *w = find(window);
    return w ? w->rect : ScreenRect{};
}

ScreenRect FakeDesktop::clientRect(WindowId window)
{
    const DesktopWindow *w = find(window);
    return w ? w->clientRect : ScreenRect{};
}

bool FakeDesktop::windowExists(WindowId window) { return find(window) != nullptr; }

WindowId FakeDesktop::addWindow(ScreenRect outer, ScreenRect client, WindowId parent)
{
    DesktopWindow w;
    w.id = 1000 + windows.size();
    w.parent = parent;
    w.rect = outer;
    w.clientRect = client;
    w.hasWmState = parent == 0;
    windows.push_back(w);
    return w.id;
}

} // namespace kaptiv::testing
