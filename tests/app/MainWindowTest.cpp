#include "AppFixture.h"

#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

namespace kaptiv::testing {
namespace {

using MainWindow = AppFixture;

struct MenuEntry {
    QString caption, statusHint = {}, shortcut = {};
    bool enabled = true, checkable = false, checked = false;
};

// The whole menu tree, position by position; "-" is a separator.
std::vector<std::pair<QString, std::vector<MenuEntry>>> expectedMenus()
{
    return {
        {"&File",
         {{"&Open...", "Open an image", "Ctrl+O"}, {"Sa&ve", "Save current image to its file", "Ctrl+S", false},
          {"&Save As...", "Save current image"},
          {"&Print...", "Print image", "Ctrl+P", false}, {"-"}, {"E&xit", "Exit program", "Ctrl+X"}}},
        {"&Edit",
         {{"&Copy", "Copy to clipboard", "Ctrl+C", false}, {"&Paste to New", "Paste clipboard image to new", "Ctrl+V"},
          {"-"}, {"Clea&r Clipboard"}}},
        {"Capture &Image",
         // The hot keys of a first start.
         {{"Grab &Screen", "Capture the entire screen", "Ctrl+Shift+S"},
          {"Grab &Rectangular Area", "Capture a rectangular area", "Ctrl+Shift+R"},
          {"Grab &Window", "Capture a specific visible window", "Ctrl+Shift+W"}, {"-"},
          {"&Grab Active Window", "Capture the active window", "Ctrl+Shift+G"},
          {"Grab Ac&tive Window Client", "Capture the client area of active window", "Ctrl+Shift+T"}, {"-"},
          {"&Custom Region...", "Capture a defined pixel rectangle", "Ctrl+Shift+C"},
          {"Client &Area", "Capture just the client area of a window", "Ctrl+Shift+A"}, {"-"},
          {"Record Area to GI&F...", "Record an area of the screen into an animated GIF"}}},
        {"&Options",
         {{"&Create Animated GIF...", "Use images to create an animated GIF"}, {"-"},
          {"Capture Images as", "Color quality of images being captured"},
          {"&Include Cursor in Images", "Include cursor image in capture", "", true, true, false},
          {"&Autosize Windows", "Resize windows to fit the images being created", "", true, true, true}, {"-"},
          {"Create Duplicate as..."}, {"I&nsert Cursor in image..."}, {"-"},
          {"Con&figuration...", "Program configuration"}}},
        {"&Window",
         {{"&Cascade", "Cascade all the windows"}, {"&Tile", "Tile the windows"}, {"&Arrange Icons", "Arrange Icons"},
          {"&Minimize All"}, {"-"}, {"C&lose All", "Close all the windows"}}},
        {"&Help", {{"&Contents...", "View help file", "", false}, {"&About...", "About this applicaiton"}}},
    };
}

void expectEntries(QMenu *menu, const std::vector<MenuEntry> &expected)
{
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), qsizetype(expected.size())) << menu->title().toStdString();
    for (size_t i = 0; i < expected.size(); ++i) {
        const QAction *a = actions[qsizetype(i)];
        const MenuEntry &e = expected[i];
        SCOPED_TRACE(::testing::Message() << menu->title().toStdString() << " position " << i);
        if (e.caption == "-") {
            EXPECT_TRUE(a->isSeparator());
            continue;
        }
        EXPECT_EQ(a->text(), e.caption);
        EXPECT_EQ(a->statusTip(), e.statusHint);
        EXPECT_EQ(a->shortcut().toString(), e.shortcut);
        EXPECT_EQ(a->isEnabled(), e.enabled);
        EXPECT_EQ(a->isCheckable(), e.checkable);
        EXPECT_EQ(a->isChecked(), e.checked);
    }
}

TEST_F(MainWindow, MenuTreeStandsAsDesigned)
{
    const QList<QAction *> top = main->menuBar()->actions();
    const auto expected = expectedMenus();
    ASSERT_EQ(top.size(), qsizetype(expected.size()));
    const char *topHints[] = {"File Options", "Editing image options", "Capture image options", "Tools and options",
                              "Window options", "Help with this program"};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(top[qsizetype(i)]->text(), expected[i].first);
        EXPECT_EQ(top[qsizetype(i)]->statusTip(), QString::fromLatin1(topHints[i]));
        expectEntries(top[qsizetype(i)]->menu(), expected[i].second);
    }
    expectEntries(main->menu("SaveAs1"), {{"Icon (*.ico)"}, {"Bitmap (*.bmp)"}, {"GIF (*.gif)"}, {"JPEG (*.jpg)"},
                                  {"PNG (*.png)"}, {"-"}, {"Save Options..."}});
    expectEntries(main->menu("CaptureImagesAs1"),
                  {{"Monochrome", "", "", true, true, false},
                   {"16 colors (4-bit)", "Create 4-bit, 16 color images", "", true, true, false},
                   {"256 colors (8-bit)", "Create 8-bit, 256 color images", "", true, true, false},
                   {"Highest (best quality)", "Use the best quality possible", "", true, true, true}});
    expectEntries(main->menu("CreateDuplicateAs1"), {{"Monochrome"}, {"16 colors (4-bit)"}, {"256 colors (8-bit)"}});
}

TEST_F(MainWindow, ColourDepthItemsAreOneRadioGroup)
{
    main->item("N16colors1")->trigger();
    EXPECT_TRUE(main->item("N16colors1")->isChecked());
    EXPECT_FALSE(main->item("HighestPossible1")->isChecked());
    main->item("Monochrome1")->trigger();
    EXPECT_FALSE(main->item("N16colors1")->isChecked());
    main->item("Include1")->trigger();
    main->item("Autosize1")->trigger();
    EXPECT_TRUE(main->item("Include1")->isChecked());
    EXPECT_FALSE(main->item("Autosize1")->isChecked());
}

TEST_F(MainWindow, ToolBarPositionsAndHints)
{
    struct Button {
        const char *name, *tooltip, *status;
        bool enabled;
    } expected[] = {
        {"openb", "Open Image", "Open an image file", true},
        {"printb", "Print current image", "Print current image", false},
        {"-", "", "", true},
        {"copyb", "Copy", "Copy to the clipboard", false},
        {"pasteb", "Paste", "Paste from clipboard", true},
        {"-", "", "", true},
        {"screenb", "Grab Screen", "Capture the entire screen to an image", true},
        {"rectb", "Grab Rectangular Area", "Select a rectangular area to capture", true},
        {"wndb", "Grab Window", "Capture specific visible window", true},
        {"activeb", "Grab Active Window", "Capture an image of the active window.", true},
        {"AWClientb", "Grab Active Window Client", "Capture active window's client area.", true},
        {"Custb", "Custom Region", "Capture a user defined custom region", true},
        {"Clientb", "Client Area", "Capture client area of a selected window", true},
        {"-", "", "", true},
        {"Helpb", "About", "About this program", true},
    };
    const QList<QAction *> actions = main->toolBar()->actions();
    ASSERT_EQ(actions.size(), 15);
    for (int i = 0; i < 15; ++i) {
        SCOPED_TRACE(i);
        const Button &b = expected[i];
        if (QString::fromLatin1(b.name) == "-") {
            EXPECT_TRUE(actions[i]->isSeparator());
            continue;
        }
        EXPECT_EQ(actions[i]->objectName(), QString::fromLatin1(b.name));
        EXPECT_EQ(actions[i]->toolTip(), QString::fromLatin1(b.tooltip));
        EXPECT_EQ(actions[i]->statusTip(), QString::fromLatin1(b.status));
        EXPECT_EQ(actions[i]->isEnabled(), b.enabled);
        EXPECT_FALSE(actions[i]->icon().isNull());
    }
}

TEST_F(MainWindow, AnItemOrMenuThatIsNotThereIsAProgrammingError)
{
    EXPECT_THROW(main->item("Open"), std::logic_error);
    EXPECT_THROW(main->item("File1"), std::logic_error); // a menu of the bar is not an item
    EXPECT_THROW(main->menu("Open1"), std::logic_error);
    EXPECT_EQ(main->menu("SaveAs1")->menuAction()->objectName(), QStringLiteral("SaveAs1"));
}

TEST_F(MainWindow, WindowStatusPanelsAndHints)
{
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Kaptiv v1.0 BETA"));
    EXPECT_EQ(main->size(), QSize(516, 381));
    EXPECT_GE(main->infoPanels[0]->width(), 270);
    EXPECT_EQ(main->infoPanels[1]->width(), 50);

    main->item("GrabRectangle")->showStatusText(main->menuBar());
    EXPECT_EQ(main->infoPanels[0]->text(), QStringLiteral("Capture a rectangular area"));
    main->item("screenb")->showStatusText(main->toolBar());
    EXPECT_EQ(main->infoPanels[0]->text(), QStringLiteral("Capture the entire screen to an image"));
}

TEST_F(MainWindow, CaptionsCountTheOpenImageWindows)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    main->GrabScreenClick(main->item("screenb"));
    EXPECT_EQ(captions(), (QStringList{"Untitled2", "Untitled1"}));
    main->imageWindows().last()->close(); // Untitled1
    settle();
    main->GrabScreenClick(main->item("GrabScreen"));
    EXPECT_EQ(captions(), (QStringList{"Untitled2", "Untitled2"}));
}

TEST_F(MainWindow, GrabScreenGivesTheScreenAtEachDepthWithItsDescription)
{
    struct Case {
        QAction *item;
        int displayDepth;
        int depth;
        int colors;
    } cases[] = {
        {main->item("Monochrome1"), 24, 1, 2},         {main->item("N16colors1"), 24, 4, 16},
        {main->item("N256colors1"), 24, 8, 256},       {main->item("HighestPossible1"), 24, 24, 16777216},
        {main->item("HighestPossible1"), 16, 16, 65536},
    };
    for (const Case &c : cases) {
        fake.depth = c.displayDepth;
        fake.screen = positionalScreen(640, 480).convertToFormat(c.displayDepth == 16 ? QImage::Format_RGB16
                                                                                      : QImage::Format_RGB32);
        c.item->trigger();
        main->GrabScreenClick(main->item("GrabScreen"));
        TImagefrm *window = active();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->Image->picture().depth(), c.depth);
        EXPECT_EQ(window->ColorCount, c.colors);
        EXPECT_EQ(window->hint(), QStringLiteral("%1 - Width: 640, Height: 480, Colors: %2")
                                      .arg(window->caption())
                                      .arg(c.colors));
        EXPECT_EQ(window->Image->size(), QSize(640, 480));
    }
    // At full depth the picture is the screen itself.
    EXPECT_EQ(active()->Image->picture().image().convertToFormat(QImage::Format_RGB32),
              fake.screen.convertToFormat(QImage::Format_RGB32));
    EXPECT_FALSE(main->CaptureBitmap.has_value());
}

TEST_F(MainWindow, MonochromeOfAScreenWithoutWhiteIsAllBlack)
{
    fake.screen.fill(qRgb(250, 250, 250));
    main->item("Monochrome1")->trigger();
    main->GrabScreenClick(main->item("GrabScreen"));
    const QImage &picture = active()->Image->picture().image();
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            ASSERT_EQ(picture.pixel(x, y), qRgb(0, 0, 0));
    EXPECT_TRUE(active()->hint().endsWith(QLatin1String("Colors: 2")));
}

TEST_F(MainWindow, IncludeCursorStampsTheCursorAtThePointer)
{
    fake.screen.fill(Qt::white);
    fake.cursor.image = QImage(3, 3, QImage::Format_ARGB32_Premultiplied);
    fake.cursor.image.fill(qRgb(0, 0, 255));
    fake.cursor.hotSpot = {1, 1};
    fake.pointer = {100, 50};
    main->GrabScreenClick(main->item("GrabScreen"));
    EXPECT_EQ(active()->Image->picture().image().pixel(100, 50), qRgb(255, 255, 255));
    main->item("Include1")->trigger();
    main->GrabScreenClick(main->item("GrabScreen"));
    const QImage &stamped = active()->Image->picture().image();
    EXPECT_EQ(stamped.pixel(100, 50), qRgb(0, 0, 255)); // top-left at the pointer, hot spot ignored
    EXPECT_EQ(stamped.pixel(102, 52), qRgb(0, 0, 255));
    EXPECT_EQ(stamped.pixel(99, 49), qRgb(255, 255, 255));
}

TEST_F(MainWindow, ActiveWindowTakesItsFrameOrClientArea)
{
    const WindowId window = fake.addWindow({100, 50, 300, 200}, {104, 70, 296, 196});
    fake.foreground = window;
    struct Case {
        QAction *sender;
        ScreenRect rect;
    } cases[] = {
        {main->item("GrabActiveWindow1"), {100, 50, 300, 200}},
        {main->item("activeb"), {100, 50, 300, 200}},
        {main->item("GrabActiveWindowClient1"), {104, 70, 296, 196}},
        {main->item("AWClientb"), {104, 70, 296, 196}},
    };
    for (const Case &c : cases) {
        main->GrabActiveWindow1Click(c.sender);
        const QImage picture = active()->Image->picture().image();
        ASSERT_EQ(picture.size(), QSize(c.rect.width(), c.rect.height()));
        EXPECT_EQ(picture, fake.screen.copy(c.rect.Left, c.rect.Top, c.rect.width(), c.rect.height()));
        EXPECT_EQ(active()->hint(), QStringLiteral("%1 - Width: %2, Height: %3, Colors: 16777216")
                                        .arg(active()->caption())
                                        .arg(c.rect.width())
                                        .arg(c.rect.height()));
    }
}

TEST_F(MainWindow, ActiveClientCursorIsPlacedRelativeToTheClientArea)
{
    fake.screen.fill(Qt::white);
    fake.foreground = fake.addWindow({100, 50, 300, 200}, {104, 70, 296, 196});
    fake.cursor.image = QImage(4, 4, QImage::Format_ARGB32_Premultiplied);
    fake.cursor.image.fill(qRgb(255, 0, 0));
    main->item("Include1")->trigger();
    fake.pointer = {102, 68}; // two pixels up and left of the client area: partly clipped
    main->GrabActiveWindow1Click(main->item("AWClientb"));
    const QImage picture = active()->Image->picture().image();
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(2, 2), qRgb(255, 255, 255));
}

TEST_F(MainWindow, NoActiveWindowIsReportedAndCreatesNothing)
{
    const struct {
        const char *what;
        WindowId foreground;
    } cases[] = {
        {"none is active", 0},
        {"the active one closed before it was read", 4242}, // named active, gone from the desktop
    };
    for (const auto &c : cases) {
        fake.foreground = c.foreground;
        dialogs.shown.clear();
        main->item("GrabActiveWindow1")->trigger();
        settle();
        ASSERT_EQ(dialogs.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("There is currently no active window.")) << c.what;
        EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Kaptiv"));
        EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok);
        EXPECT_TRUE(main->imageWindows().isEmpty()) << c.what;
    }
}

TEST_F(MainWindow, ARaisedErrorIsShownAndTheProgramGoesOn)
{
    config().Delay->setText(QString());
    config().hideprog->setChecked(true);
    main->item("screenb")->trigger(); // as the user starts it: through the command's own catch point
    settle();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("'' is not a valid integer value"));
    EXPECT_TRUE(main->isVisible()); // shown again on the failing path too
    EXPECT_TRUE(main->imageWindows().isEmpty());
    EXPECT_FALSE(main->CaptureBitmap.has_value());

    config().Delay->setText(QStringLiteral("0"));
    main->GrabScreenClick(main->item("GrabScreen"));
    EXPECT_EQ(captions(), QStringList{"Untitled1"});
}

// Records whether the main window was visible when the screen was read.
struct WatchingDesktop : FakeDesktop {
    using FakeDesktop::FakeDesktop;
    QWidget *watched = nullptr;
    std::vector<bool> visibleAtGrab;
    QImage grabScreen(const ScreenRect &area) override
    {
        visibleAtGrab.push_back(watched->isVisible());
        return FakeDesktop::grabScreen(area);
    }
};

TEST_F(MainWindow, HideProgramHidesDuringTheGrabOnly)
{
    WatchingDesktop watching(positionalScreen(320, 200));
    watching.watched = main;
    watching.foreground = watching.addWindow({0, 0, 10, 10}, {1, 1, 9, 9});
    ScopedFakeDesktop use(watching);
    for (bool hide : {true, false}) {
        config().hideprog->setChecked(hide);
        main->GrabScreenClick(main->item("GrabScreen"));
        EXPECT_TRUE(main->isVisible());
        main->GrabActiveWindow1Click(main->item("GrabActiveWindow1"));
        EXPECT_TRUE(main->isVisible());
    }
    EXPECT_EQ(watching.visibleAtGrab, (std::vector<bool>{false, false, true, true}));
    setDesktopForTesting(&fake);
}

TEST_F(MainWindow, AutosizeFitsTheWindowToThePicture)
{
    main->GrabScreenClick(main->item("GrabScreen"));
    EXPECT_EQ(active()->widget()->size(), QSize(640, 480));
    main->item("Autosize1")->trigger();
    fake.screen = positionalScreen(50, 40);
    main->GrabScreenClick(main->item("GrabScreen"));
    EXPECT_NE(active()->widget()->size(), QSize(50, 40));
}

TEST_F(MainWindow, AWindowMadeWhileHiddenShowsThePicturesTopLeft)
{
    config().hideprog->setChecked(true);
    fake.screen = positionalScreen(1600, 900); // far larger than the document area
    main->GrabScreenClick(main->item("GrabScreen"));
    settle();
    EXPECT_EQ(active()->pos(), QPoint(0, 0));
    EXPECT_EQ(active()->widget()->size(), QSize(1600, 900));
}

TEST_F(MainWindow, PrintAndCopyFollowTheImageWindowsWhenShown)
{
    // Each showing sets both buttons from the windows open, whatever they said before.
    for (bool withImage : {false, true}) {
        SCOPED_TRACE(withImage);
        if (withImage)
            main->GrabScreenClick(main->item("GrabScreen"));
        main->hide();
        main->item("printb")->setEnabled(!withImage);
        main->item("copyb")->setEnabled(!withImage);
        main->show();
        EXPECT_EQ(main->item("printb")->isEnabled(), withImage);
        EXPECT_EQ(main->item("copyb")->isEnabled(), withImage);
    }
}

} // namespace
} // namespace kaptiv::testing
