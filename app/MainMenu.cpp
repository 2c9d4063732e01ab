// The main window's menus and tool bar, each command described once: where it sits, its caption,
// hint and shortcut, the handler it runs and, where it has one, its tool bar button.
#include "app/ToolbarImages.h"
#include "app/mainSnap.h"
#include "app/FlagDuringCommand.h"
#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QMenuBar>

#include <stdexcept>

namespace kaptiv {

namespace {

using Chosen = void (TScreenfrm::*)(QObject *);
using Opening = void (TScreenfrm::*)();

enum Flag : unsigned {
    Disabled = 1,  // until the menu's opening or a command enables it
    Checkable = 2,
    Checked = 4,
    OneOf = 8,     // one of the checkable items of its menu that exclude each other
};

// A menu item's tool bar button: its own name and hint, the item's handler and state.
struct Button {
    const char *name = nullptr;
    Glyph glyph = Glyph::Open;
    const char *hint = "";
};

struct Row {
    enum Kind { Menu, Item, Separator } kind = Item;
    const char *name = nullptr;
    const char *in = nullptr;  // the menu that holds it; none for the menu bar's own menus
    const char *caption = "";
    const char *hint = "";     // "tooltip|status text", or one text for both
    QKeyCombination key = QKeyCombination::fromCombined(0);
    Chosen chosen = nullptr;   // run with the item (or its button) as sender
    Opening opening = nullptr; // run each time the menu opens
    unsigned flags = 0;
    Button button = {};
};

constexpr auto Ctrl = Qt::CTRL;
using T = TScreenfrm;

// In menu order; the tool bar shows the buttons in the same order, a separator between menus.
const Row commands[] = {
    {.kind = Row::Menu, .name = "File1", .caption = "&File", .hint = "File Options", .opening = &T::File1Click},
    {.name = "Open1", .in = "File1", .caption = "&Open...", .hint = "Open an image", .key = Ctrl | Qt::Key_O,
     .chosen = &T::Open1Click, .button = {"openb", Glyph::Open, "Open Image|Open an image file"}},
    {.name = "Save1", .in = "File1", .caption = "Sa&ve", .hint = "Save current image to its file",
     .key = Ctrl | Qt::Key_S, .chosen = &T::Save1Click, .flags = Disabled},
    {.kind = Row::Menu, .name = "SaveAs1", .in = "File1", .caption = "&Save As...", .hint = "Save current image"},
    {.name = "Iconico1", .in = "SaveAs1", .caption = "Icon (*.ico)", .chosen = &T::Iconico1Click},
    {.name = "Bitmapbmp1", .in = "SaveAs1", .caption = "Bitmap (*.bmp)", .chosen = &T::Bitmapbmp1Click},
    {.name = "GIFgif1", .in = "SaveAs1", .caption = "GIF (*.gif)", .chosen = &T::GIFgif1Click},
    {.name = "JPEGjpg1", .in = "SaveAs1", .caption = "JPEG (*.jpg)", .chosen = &T::JPEGjpg1Click},
    {.name = "PNGpng1", .in = "SaveAs1", .caption = "PNG (*.png)", .chosen = &T::PNGpng1Click},
    {.kind = Row::Separator, .in = "SaveAs1"},
    {.name = "Options1", .in = "SaveAs1", .caption = "Save Options...", .chosen = &T::Options1Click},
    {.name = "Print1", .in = "File1", .caption = "&Print...", .hint = "Print image", .key = Ctrl | Qt::Key_P,
     .flags = Disabled, .button = {"printb", Glyph::Print, "Print current image|Print current image"}},
    {.kind = Row::Separator, .in = "File1"},
    {.name = "Exit1", .in = "File1", .caption = "E&xit", .hint = "Exit program", .key = Ctrl | Qt::Key_X,
     .chosen = &T::Exit1Click},

    {.kind = Row::Menu, .name = "Edit1", .caption = "&Edit", .hint = "Editing image options", .opening = &T::Edit1Click},
    {.name = "Copy1", .in = "Edit1", .caption = "&Copy", .hint = "Copy to clipboard", .key = Ctrl | Qt::Key_C,
     .chosen = &T::Copy1Click, .flags = Disabled, .button = {"copyb", Glyph::Copy, "Copy|Copy to the clipboard"}},
    {.name = "Paste1", .in = "Edit1", .caption = "&Paste to New", .hint = "Paste clipboard image to new",
     .key = Ctrl | Qt::Key_V, .chosen = &T::Paste1Click, .button = {"pasteb", Glyph::Paste, "Paste|Paste from clipboard"}},
    {.kind = Row::Separator, .in = "Edit1"},
    {.name = "Clearclipboard1", .in = "Edit1", .caption = "Clea&r Clipboard", .chosen = &T::Clearclipboard1Click},

    {.kind = Row::Menu, .name = "CaptureImage1", .caption = "Capture &Image", .hint = "Capture image options"},
    {.name = "GrabScreen", .in = "CaptureImage1", .caption = "Grab &Screen", .hint = "Capture the entire screen",
     .chosen = &T::GrabScreenClick,
     .button = {"screenb", Glyph::Screen, "Grab Screen|Capture the entire screen to an image"}},
    {.name = "GrabRectangle", .in = "CaptureImage1", .caption = "Grab &Rectangular Area",
     .hint = "Capture a rectangular area", .chosen = &T::GrabRectangleClick,
     .button = {"rectb", Glyph::Rectangle, "Grab Rectangular Area|Select a rectangular area to capture"}},
    {.name = "GrabWindow", .in = "CaptureImage1", .caption = "Grab &Window", .hint = "Capture a specific visible window",
     .chosen = &T::GrabWindowClick, .button = {"wndb", Glyph::Window, "Grab Window|Capture specific visible window"}},
    {.kind = Row::Separator, .in = "CaptureImage1"},
    {.name = "GrabActiveWindow1", .in = "CaptureImage1", .caption = "&Grab Active Window",
     .hint = "Capture the active window", .chosen = &T::GrabActiveWindow1Click,
     .button = {"activeb", Glyph::ActiveWindow, "Grab Active Window|Capture an image of the active window."}},
    {.name = "GrabActiveWindowClient1", .in = "CaptureImage1", .caption = "Grab Ac&tive Window Client",
     .hint = "Capture the client area of active window", .chosen = &T::GrabActiveWindow1Click,
     .button = {"AWClientb", Glyph::ActiveClient, "Grab Active Window Client|Capture active window's client area."}},
    {.kind = Row::Separator, .in = "CaptureImage1"},
    {.name = "CustomRegion1", .in = "CaptureImage1", .caption = "&Custom Region...",
     .hint = "Capture a defined pixel rectangle", .chosen = &T::CustomRegion1Click,
     .button = {"Custb", Glyph::CustomRegion, "Custom Region|Capture a user defined custom region"}},
    {.name = "Client", .in = "CaptureImage1", .caption = "Client &Area", .hint = "Capture just the client area of a window",
     .chosen = &T::GrabWindowClick,
     .button = {"Clientb", Glyph::ClientArea, "Client Area|Capture client area of a selected window"}},
    {.kind = Row::Separator, .in = "CaptureImage1"},
    {.name = "RecordAreatoGIF1", .in = "CaptureImage1", .caption = "Record Area to GI&F...",
     .hint = "Record an area of the screen into an animated GIF", .chosen = &T::RecordAreatoGIF1Click},

    {.kind = Row::Menu, .name = "Options2", .caption = "&Options", .hint = "Tools and options", .opening = &T::Options2Click},
    {.name = "CreateAnimatedGIF1", .in = "Options2", .caption = "&Create Animated GIF...",
     .hint = "Use images to create an animated GIF", .chosen = &T::CreateAnimatedGIF1Click},
    {.kind = Row::Separator, .in = "Options2"},
    {.kind = Row::Menu, .name = "CaptureImagesAs1", .in = "Options2", .caption = "Capture Images as",
     .hint = "Color quality of images being captured"},
    {.name = "Monochrome1", .in = "CaptureImagesAs1", .caption = "Monochrome", .flags = Checkable | OneOf},
    {.name = "N16colors1", .in = "CaptureImagesAs1", .caption = "16 colors (4-bit)",
     .hint = "Create 4-bit, 16 color images", .flags = Checkable | OneOf},
    {.name = "N256colors1", .in = "CaptureImagesAs1", .caption = "256 colors (8-bit)",
     .hint = "Create 8-bit, 256 color images", .flags = Checkable | OneOf},
    {.name = "HighestPossible1", .in = "CaptureImagesAs1", .caption = "Highest (best quality)",
     .hint = "Use the best quality possible", .flags = Checkable | OneOf | Checked},
    {.name = "Include1", .in = "Options2", .caption = "&Include Cursor in Images",
     .hint = "Include cursor image in capture", .chosen = &T::IncludeClick, .flags = Checkable},
    {.name = "Autosize1", .in = "Options2", .caption = "&Autosize Windows",
     .hint = "Resize windows to fit the images being created", .flags = Checkable | Checked},
    {.kind = Row::Separator, .in = "Options2"},
    {.kind = Row::Menu, .name = "CreateDuplicateAs1", .in = "Options2", .caption = "Create Duplicate as..."},
    {.name = "Monochrome2", .in = "CreateDuplicateAs1", .caption = "Monochrome", .chosen = &T::Monochrome2Click},
    {.name = "N16colors2", .in = "CreateDuplicateAs1", .caption = "16 colors (4-bit)", .chosen = &T::Monochrome2Click},
    {.name = "N256colors2", .in = "CreateDuplicateAs1", .caption = "256 colors (8-bit)", .chosen = &T::Monochrome2Click},
    {.name = "Insertcursorinimage1", .in = "Options2", .caption = "I&nsert Cursor in image...",
     .chosen = &T::Insertcursorinimage1Click},
    {.kind = Row::Separator, .in = "Options2"},
    {.name = "Configuration1", .in = "Options2", .caption = "Con&figuration...", .hint = "Program configuration",
     .chosen = &T::Configuration1Click},

    {.kind = Row::Menu, .name = "Window1", .caption = "&Window", .hint = "Window options", .opening = &T::Window1Click},
    {.name = "Cascae1", .in = "Window1", .caption = "&Cascade", .hint = "Cascade all the windows", .chosen = &T::Cascae1Click},
    {.name = "Tile1", .in = "Window1", .caption = "&Tile", .hint = "Tile the windows", .chosen = &T::Tile1Click},
    {.name = "ArrangeIcons1", .in = "Window1", .caption = "&Arrange Icons", .hint = "Arrange Icons",
     .chosen = &T::ArrangeIcons1Click},
    {.name = "MinimizeAll1", .in = "Window1", .caption = "&Minimize All", .chosen = &T::MinimizeAll1Click},
    {.kind = Row::Separator, .in = "Window1"},
    {.name = "CloseAll", .in = "Window1", .caption = "C&lose All", .hint = "Close all the windows", .chosen = &T::CloseAllClick},

    {.kind = Row::Menu, .name = "Help1", .caption = "&Help", .hint = "Help with this program"},
    {.name = "Contents1", .in = "Help1", .caption = "&Contents...", .hint = "View help file", .flags = Disabled},
    {.name = "About1", .in = "Help1", .caption = "&About...", .hint = "About this applicaiton", .chosen = &T::About1Click,
     .button = {"Helpb", Glyph::About, "About|About this program"}},
};

template <typename Map>
auto found(const Map &map, std::string_view name, const char *what)
{
    const auto at = map.find(name);
    if (at == map.end())
        throw std::logic_error("the main window has no " + std::string(what) + " named " + std::string(name));
    return at->second;
}

} // namespace

QAction *TScreenfrm::item(std::string_view name) const { return found(items_, name, "menu item or button"); }

QMenu *TScreenfrm::menu(std::string_view name) const { return found(menus_, name, "menu"); }

void TScreenfrm::buildMenus()
{
    std::map<std::string_view, QActionGroup *> groups; // of the OneOf items, by menu
    for (const Row &row : commands) {
        QMenu *in = row.in ? menu(row.in) : nullptr;
        if (row.kind == Row::Separator) {
            in->addSeparator();
            continue;
        }
        const QString caption = QString::fromUtf8(row.caption);
        const QString hint = QString::fromUtf8(row.hint);
        if (row.kind == Row::Menu) {
            QMenu *added = in ? in->addMenu(caption) : menuBar()->addMenu(caption);
            added->setObjectName(QLatin1String(row.name));
            if (in) // a submenu is also found as the item that opens it
                added->menuAction()->setObjectName(QLatin1String(row.name));
            if (!hint.isEmpty())
                applyHint(added->menuAction(), hint);
            if (row.opening)
                bindOpening(added, row.opening);
            menus_.emplace(row.name, added);
            continue;
        }
        QAction *action = in->addAction(caption);
        action->setObjectName(QLatin1String(row.name));
        if (!hint.isEmpty())
            applyHint(action, hint);
        if (row.key.toCombined() != 0)
            action->setShortcut(QKeySequence(row.key));
        action->setEnabled(!(row.flags & Disabled));
        action->setCheckable(row.flags & Checkable);
        if (row.flags & OneOf) {
            QActionGroup *&group = groups[row.in];
            if (!group)
                group = new QActionGroup(this);
            group->addAction(action);
        }
        action->setChecked(row.flags & Checked);
        if (row.chosen)
            bind(action, row.chosen);
        items_.emplace(row.name, action);
    }
}

void TScreenfrm::buildToolBar()
{
    TB = addToolBar(QStringLiteral("TB"));
    TB->setObjectName(QStringLiteral("TB"));
    TB->setMovable(false);
    TB->setIconSize(QSize(16, 16));
    TB->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const char *topMenu = nullptr;     // the menu bar's menu the rows are in
    const char *buttonsMenu = nullptr; // that of the last button placed
    for (const Row &row : commands) {
        if (row.kind == Row::Menu && !row.in)
            topMenu = row.name;
        if (!row.button.name)
            continue;
        if (buttonsMenu && buttonsMenu != topMenu)
            TB->addSeparator();
        buttonsMenu = topMenu;
        const QString hint = QString::fromUtf8(row.button.hint);
        QAction *button = TB->addAction(toolbarGlyph(row.button.glyph), hint.section(QLatin1Char('|'), 0, 0));
        button->setObjectName(QLatin1String(row.button.name));
        applyHint(button, hint);
        button->setEnabled(!(row.flags & Disabled));
        if (QWidget *widget = TB->widgetForAction(button))
            widget->setFixedWidth(25);
        if (row.chosen)
            bind(button, row.chosen);
        items_.emplace(row.button.name, button);
    }
    // The About button is the one that shows no tooltip.
    if (QWidget *widget = TB->widgetForAction(item("Helpb")))
        widget->installEventFilter(this);
}

void TScreenfrm::bind(QAction *action, void (TScreenfrm::*handler)(QObject *))
{
    connect(action, &QAction::triggered, this, asCommand([this, action, handler] {
        struct Running {
            int &count;
            ~Running() { --count; }
        } running{++commandsRunning_};
        (this->*handler)(action);
    }));
}

bool TScreenfrm::busy() const
{
    return commandsRunning_ > 0 || QApplication::activeModalWidget() || QApplication::activePopupWidget();
}

bool TScreenfrm::takeCaptureFromElsewhere(int item)
{
    if (busy()) {
        dialogs().beep();
        return false;
    }
    FlagDuringCommand elsewhere(StartedElsewhere, QGuiApplication::applicationState() != Qt::ApplicationActive);
    captureItems()[item]->trigger();
    return true;
}

void TScreenfrm::bindOpening(QMenu *menu, void (TScreenfrm::*handler)())
{
    connect(menu, &QMenu::aboutToShow, this, asCommand([this, handler] { (this->*handler)(); }));
}

std::array<QAction *, 7> TScreenfrm::captureItems() const
{
    return {item("GrabScreen"), item("GrabRectangle"), item("GrabWindow"), item("GrabActiveWindow1"),
            item("GrabActiveWindowClient1"), item("CustomRegion1"), item("Client")};
}

} // namespace kaptiv
