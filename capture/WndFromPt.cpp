#include "capture/WndFromPt.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace kaptiv {

namespace {

// What a window's children inherit from it while the list is walked parents first.
enum class Descent {
    Take,        // take visible children
    Skip,        // the window is left out, and so is everything inside it
    Decorations, // inside a window manager's frame: take only the client windows met further down
};

} // namespace

std::vector<WindowEntry> pointableWindows(const std::vector<DesktopWindow> &windows, WindowId exclude)
{
    std::unordered_map<WindowId, const DesktopWindow *> byId;
    for (const DesktopWindow &w : windows)
        byId.emplace(w.id, &w);
    auto topLevelOf = [&](WindowId id) {
        for (int guard = 0; guard < 64; ++guard) {
            const auto it = byId.find(id);
            if (it == byId.end() || it->second->parent == 0)
                return id;
            id = it->second->parent;
        }
        return id;
    };

    // Top-level windows without WM_STATE that hold a client window are a window manager's frames.
    std::unordered_set<WindowId> frames;
    for (const DesktopWindow &w : windows)
        if (w.parent != 0 && w.hasWmState)
            frames.insert(topLevelOf(w.id));
    // A managed excluded window takes its frame with it.
    const auto excludedEntry = byId.find(exclude);
    const WindowId excludedTop = excludedEntry != byId.end() && excludedEntry->second->hasWmState
        ? topLevelOf(exclude)
        : exclude;

    std::vector<WindowEntry> entries;
    std::unordered_map<WindowId, Descent> descent;
    auto take = [&](const DesktopWindow &w) {
        entries.push_back({w.id, w.rect.Left, w.rect.Right, w.rect.Top, w.rect.Bottom, topLevelOf(w.id)});
    };
    for (const DesktopWindow &w : windows) {
        const bool shown = w.visible && !w.minimized && w.id != exclude;
        if (w.parent == 0) {
            if (!shown || w.id == excludedTop) {
                descent[w.id] = Descent::Skip;
                continue;
            }
            take(w);
            descent[w.id] = !w.hasWmState && frames.count(w.id) ? Descent::Decorations : Descent::Take;
            continue;
        }
        const auto parent = descent.find(w.parent);
        const Descent inherited = parent == descent.end() ? Descent::Skip : parent->second;
        if (inherited == Descent::Skip || !shown) {
            descent[w.id] = Descent::Skip;
        } else if (inherited == Descent::Take || w.hasWmState) {
            take(w);
            descent[w.id] = Descent::Take;
        } else {
            descent[w.id] = Descent::Decorations;
        }
    }
    return entries;
}

void WindowLookup::ListWindows(Desktop &desktop, WindowId exclude)
{
    entries_ = pointableWindows(desktop.listWindows(), exclude);
}

WindowId WindowLookup::WindowAtPoint(Desktop &desktop, QPoint point)
{
    // The top-level window the user sees at the point: the first one listed whose pixels hold it.
    WindowId front = 0;
    for (const WindowEntry &entry : entries_)
        if (entry.Handle == entry.TopLevel && entry.Left <= point.x() && point.x() < entry.Right
            && entry.Top <= point.y() && point.y() < entry.Bottom) {
            front = entry.Handle;
            break;
        }

    std::optional<ScreenRect> best;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        const WindowEntry &entry = *it;
        if (entry.TopLevel != front)
            continue;
        const bool contains = entry.Left < point.x() && point.x() < entry.Right && entry.Top < point.y()
            && point.y() < entry.Bottom;
        if (!contains)
            continue;
        if (best && !(entry.width() < best->width() || entry.height() < best->height()))
            continue;
        // The live rectangle, not the snapshot's: the window may have moved since. A window that
        // has gone since the snapshot has none and cannot be chosen.
        const ScreenRect live = desktop.windowRect(entry.Handle);
        if (live == ScreenRect{})
            continue;
        lastResult_ = entry.Handle;
        best = live;
    }
    if (!best && lastResult_ && !desktop.windowExists(lastResult_))
        lastResult_ = 0;
    return lastResult_;
}

void WindowLookup::FreeWindowList()
{
    entries_.clear();
    entries_.shrink_to_fit();
}

WindowLookup &windowLookup()
{
    static WindowLookup lookup;
    return lookup;
}

} // namespace kaptiv
