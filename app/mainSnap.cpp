#include "app/mainSnap.h"

#include "animation/GIFSnap.h"
#include "app/FlagDuringCommand.h"
#include "app/Startup.h"
#include "app/ToolbarImages.h"
#include "capture/CaptureOverlay.h"
#include "capture/CustSnap.h"
#include "capture/WndFromPt.h"
#include "document/ChldSnap.h"
#include "gif/GIFImage.h"
#include "platform/Dialogs.h"
#include "platform/DisplaySync.h"
#include "platform/Errors.h"
#include "settings/ConfigSnap.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>

namespace kaptiv {

void applyHint(QAction *action, const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

namespace {

QAction *item(QMenu *menu, const char *name, const QString &caption, const QString &hint = {},
              const QKeySequence &shortcut = {})
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        applyHint(action, hint);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

QMenu *submenu(QMenu *parent, const char *name, const QString &caption, const QString &hint = {})
{
    QMenu *menu = parent->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        applyHint(menu->menuAction(), hint);
    return menu;
}

} // namespace

TScreenfrm::TScreenfrm(QWidget *parent) : QMainWindow(parent), mdi(new QMdiArea), iGif(new TGIFImage(this))
{
    iGif->setObjectName(QStringLiteral("iGif"));
    iGif->setGeometry(0, 0, 1, 1);
    iGif->hide();
    setObjectName(QStringLiteral("Screenfrm"));
    setWindowTitle(QStringLiteral("Kaptiv v1.0 BETA"));
    setCentralWidget(mdi);
    mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi->viewport()->setMouseTracking(true);
    mdi->viewport()->installEventFilter(this);
    // The picture that becomes active is described at once, not only once the mouse moves over it.
    connect(mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *window) {
        if (auto *image = qobject_cast<TImagefrm *>(window))
            DisplayHint(image->hint());
    });
    buildMenus();
    buildToolBar();
    buildStatusBar();
    buildImageWindowKeys();
    resize(516, 381);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - 516) / 2, area.top() + (area.height() - 381) / 2);
    }
}

TScreenfrm::~TScreenfrm()
{
    // The image windows ask this window things while they go; let them go while it still can answer.
    ClosingAll = true;
    const QList<QMdiSubWindow *> children = mdi->subWindowList();
    for (QMdiSubWindow *child : children)
        delete child;
}

void TScreenfrm::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto top = [&](const char *name, const QString &caption, const QString &hint) {
        QMenu *menu = bar->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        applyHint(menu->menuAction(), hint);
        return menu;
    };

    File1 = top("File1", QStringLiteral("&File"), QStringLiteral("File Options"));
    Open1 = item(File1, "Open1", QStringLiteral("&Open..."), QStringLiteral("Open an image"),
                 QKeySequence(Qt::CTRL | Qt::Key_O));
    Save1 = item(File1, "Save1", QStringLiteral("Sa&ve"), QStringLiteral("Save current image to its file"),
                 QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveAs1 = submenu(File1, "SaveAs1", QStringLiteral("&Save As..."), QStringLiteral("Save current image"));
    Iconico1 = item(SaveAs1, "Iconico1", QStringLiteral("Icon (*.ico)"));
    Bitmapbmp1 = item(SaveAs1, "Bitmapbmp1", QStringLiteral("Bitmap (*.bmp)"));
    GIFgif1 = item(SaveAs1, "GIFgif1", QStringLiteral("GIF (*.gif)"));
    JPEGjpg1 = item(SaveAs1, "JPEGjpg1", QStringLiteral("JPEG (*.jpg)"));
    PNGpng1 = item(SaveAs1, "PNGpng1", QStringLiteral("PNG (*.png)"));
    SaveAs1->addSeparator();
    Options1 = item(SaveAs1, "Options1", QStringLiteral("Save Options..."));
    Print1 = item(File1, "Print1", QStringLiteral("&Print..."), QStringLiteral("Print image"),
                  QKeySequence(Qt::CTRL | Qt::Key_P));
    Print1->setEnabled(false);
    File1->addSeparator();
    Exit1 = item(File1, "Exit1", QStringLiteral("E&xit"), QStringLiteral("Exit program"),
                 QKeySequence(Qt::CTRL | Qt::Key_X));

    Edit1 = top("Edit1", QStringLiteral("&Edit"), QStringLiteral("Editing image options"));
    Copy1 = item(Edit1, "Copy1", QStringLiteral("&Copy"), QStringLiteral("Copy to clipboard"),
                 QKeySequence(Qt::CTRL | Qt::Key_C));
    Copy1->setEnabled(false);
    Paste1 = item(Edit1, "Paste1", QStringLiteral("&Paste to New"), QStringLiteral("Paste clipboard image to new"),
                  QKeySequence(Qt::CTRL | Qt::Key_V));
    Edit1->addSeparator();
    Clearclipboard1 = item(Edit1, "Clearclipboard1", QStringLiteral("Clea&r Clipboard"));

    CaptureImage1 = top("CaptureImage1", QStringLiteral("Capture &Image"), QStringLiteral("Capture image options"));
    GrabScreen = item(CaptureImage1, "GrabScreen", QStringLiteral("Grab &Screen"), QStringLiteral("Capture the entire screen"));
    GrabRectangle = item(CaptureImage1, "GrabRectangle", QStringLiteral("Grab &Rectangular Area"),
                         QStringLiteral("Capture a rectangular area"));
    GrabWindow = item(CaptureImage1, "GrabWindow", QStringLiteral("Grab &Window"),
                      QStringLiteral("Capture a specific visible window"));
    CaptureImage1->addSeparator();
    GrabActiveWindow1 = item(CaptureImage1, "GrabActiveWindow1", QStringLiteral("&Grab Active Window"),
                             QStringLiteral("Capture the active window"));
    GrabActiveWindowClient1 = item(CaptureImage1, "GrabActiveWindowClient1", QStringLiteral("Grab Ac&tive Window Client"),
                                   QStringLiteral("Capture the client area of active window"));
    CaptureImage1->addSeparator();
    CustomRegion1 = item(CaptureImage1, "CustomRegion1", QStringLiteral("&Custom Region..."),
                         QStringLiteral("Capture a defined pixel rectangle"));
    Client = item(CaptureImage1, "Client", QStringLiteral("Client &Area"),
                  QStringLiteral("Capture just the client area of a window"));
    CaptureImage1->addSeparator();
    RecordAreatoGIF1 = item(CaptureImage1, "RecordAreatoGIF1", QStringLiteral("Record Area to GI&F..."),
                            QStringLiteral("Record an area of the screen into an animated GIF"));

    Options2 = top("Options2", QStringLiteral("&Options"), QStringLiteral("Tools and options"));
    CreateAnimatedGIF1 = item(Options2, "CreateAnimatedGIF1", QStringLiteral("&Create Animated GIF..."),
                              QStringLiteral("Use images to create an animated GIF"));
    Options2->addSeparator();
    CaptureImagesAs1 = submenu(Options2, "CaptureImagesAs1", QStringLiteral("Capture Images as"),
                               QStringLiteral("Color quality of images being captured"));
    Monochrome1 = item(CaptureImagesAs1, "Monochrome1", QStringLiteral("Monochrome"));
    N16colors1 = item(CaptureImagesAs1, "N16colors1", QStringLiteral("16 colors (4-bit)"),
                      QStringLiteral("Create 4-bit, 16 color images"));
    N256colors1 = item(CaptureImagesAs1, "N256colors1", QStringLiteral("256 colors (8-bit)"),
                       QStringLiteral("Create 8-bit, 256 color images"));
    HighestPossible1 = item(CaptureImagesAs1, "HighestPossible1", QStringLiteral("Highest (best quality)"),
                            QStringLiteral("Use the best quality possible"));
    auto *depthGroup = new QActionGroup(this);
    for (QAction *a : {Monochrome1, N16colors1, N256colors1, HighestPossible1}) {
        a->setCheckable(true);
        depthGroup->addAction(a);
    }
    HighestPossible1->setChecked(true);
    Include1 = item(Options2, "Include1", QStringLiteral("&Include Cursor in Images"),
                    QStringLiteral("Include cursor image in capture"));
    Include1->setCheckable(true);
    Autosize1 = item(Options2, "Autosize1", QStringLiteral("&Autosize Windows"),
                     QStringLiteral("Resize windows to fit the images being created"));
    Autosize1->setCheckable(true);
    Autosize1->setChecked(true);
    Options2->addSeparator();
    CreateDuplicateAs1 = submenu(Options2, "CreateDuplicateAs1", QStringLiteral("Create Duplicate as..."));
    Monochrome2 = item(CreateDuplicateAs1, "Monochrome2", QStringLiteral("Monochrome"));
    N16colors2 = item(CreateDuplicateAs1, "N16colors2", QStringLiteral("16 colors (4-bit)"));
    N256colors2 = item(CreateDuplicateAs1, "N256colors2", QStringLiteral("256 colors (8-bit)"));
    Insertcursorinimage1 = item(Options2, "Insertcursorinimage1", QStringLiteral("I&nsert Cursor in image..."));
    Options2->addSeparator();
    Configuration1 = item(Options2, "Configuration1", QStringLiteral("Con&figuration..."),
                          QStringLiteral("Program configuration"));

    Window1 = top("Window1", QStringLiteral("&Window"), QStringLiteral("Window options"));
    Cascae1 = item(Window1, "Cascae1", QStringLiteral("&Cascade"), QStringLiteral("Cascade all the windows"));
    Tile1 = item(Window1, "Tile1", QStringLiteral("&Tile"), QStringLiteral("Tile the windows"));
    ArrangeIcons1 = item(Window1, "ArrangeIcons1", QStringLiteral("&Arrange Icons"), QStringLiteral("Arrange Icons"));
    MinimizeAll1 = item(Window1, "MinimizeAll1", QStringLiteral("&Minimize All"));
    Window1->addSeparator();
    CloseAll = item(Window1, "CloseAll", QStringLiteral("C&lose All"), QStringLiteral("Close all the windows"));

    Help1 = top("Help1", QStringLiteral("&Help"), QStringLiteral("Help with this program"));
    Contents1 = item(Help1, "Contents1", QStringLiteral("&Contents..."), QStringLiteral("View help file"));
    Contents1->setEnabled(false);
    About1 = item(Help1, "About1", QStringLiteral("&About..."), QStringLiteral("About this applicaiton"));

    bind(GrabScreen, &TScreenfrm::GrabScreenClick);
    bind(GrabActiveWindow1, &TScreenfrm::GrabActiveWindow1Click);
    bind(GrabActiveWindowClient1, &TScreenfrm::GrabActiveWindow1Click);
    bind(GrabRectangle, &TScreenfrm::GrabRectangleClick);
    bind(GrabWindow, &TScreenfrm::GrabWindowClick);
    bind(Client, &TScreenfrm::GrabWindowClick);
    bind(RecordAreatoGIF1, &TScreenfrm::RecordAreatoGIF1Click);
    bind(CustomRegion1, &TScreenfrm::CustomRegion1Click);
    bind(Exit1, &TScreenfrm::Exit1Click);
    bind(Open1, &TScreenfrm::Open1Click);
    bind(Save1, &TScreenfrm::Save1Click);
    bind(Iconico1, &TScreenfrm::Iconico1Click);
    bind(Bitmapbmp1, &TScreenfrm::Bitmapbmp1Click);
    bind(GIFgif1, &TScreenfrm::GIFgif1Click);
    bind(JPEGjpg1, &TScreenfrm::JPEGjpg1Click);
    bind(PNGpng1, &TScreenfrm::PNGpng1Click);
    bind(Options1, &TScreenfrm::Options1Click);
    bind(Configuration1, &TScreenfrm::Configuration1Click);
    bind(CreateAnimatedGIF1, &TScreenfrm::CreateAnimatedGIF1Click);
    bind(Insertcursorinimage1, &TScreenfrm::Insertcursorinimage1Click);
    bind(Copy1, &TScreenfrm::Copy1Click);
    bind(Paste1, &TScreenfrm::Paste1Click);
    bind(Clearclipboard1, &TScreenfrm::Clearclipboard1Click);
    for (QAction *duplicate : {Monochrome2, N16colors2, N256colors2})
        bind(duplicate, &TScreenfrm::Monochrome2Click);
    bind(Cascae1, &TScreenfrm::Cascae1Click);
    bind(Tile1, &TScreenfrm::Tile1Click);
    bind(ArrangeIcons1, &TScreenfrm::ArrangeIcons1Click);
    bind(MinimizeAll1, &TScreenfrm::MinimizeAll1Click);
    bind(CloseAll, &TScreenfrm::CloseAllClick);
    bind(About1, &TScreenfrm::About1Click);
    bindOpening(File1, &TScreenfrm::File1Click);
    bindOpening(Edit1, &TScreenfrm::Edit1Click);
    bindOpening(Options2, &TScreenfrm::Options2Click);
    bindOpening(Window1, &TScreenfrm::Window1Click);
}

void TScreenfrm::buildToolBar()
{
    TB = addToolBar(QStringLiteral("TB"));
    TB->setObjectName(QStringLiteral("TB"));
    TB->setMovable(false);
    TB->setIconSize(QSize(16, 16));
    TB->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto button = [&](const char *name, Glyph glyph, const QString &hint) {
        QAction *action = TB->addAction(toolbarGlyph(glyph), hint.section(QLatin1Char('|'), 0, 0));
        action->setObjectName(QLatin1String(name));
        applyHint(action, hint);
        if (QWidget *widget = TB->widgetForAction(action))
            widget->setFixedWidth(25);
        return action;
    };
    openb = button("openb", Glyph::Open, QStringLiteral("Open Image|Open an image file"));
    printb = button("printb", Glyph::Print, QStringLiteral("Print current image|Print current image"));
    printb->setEnabled(false);
    TB->addSeparator();
    copyb = button("copyb", Glyph::Copy, QStringLiteral("Copy|Copy to the clipboard"));
    copyb->setEnabled(false);
    pasteb = button("pasteb", Glyph::Paste, QStringLiteral("Paste|Paste from clipboard"));
    TB->addSeparator();
    screenb = button("screenb", Glyph::Screen, QStringLiteral("Grab Screen|Capture the entire screen to an image"));
    rectb = button("rectb", Glyph::Rectangle, QStringLiteral("Grab Rectangular Area|Select a rectangular area to capture"));
    wndb = button("wndb", Glyph::Window, QStringLiteral("Grab Window|Capture specific visible window"));
    activeb = button("activeb", Glyph::ActiveWindow,
                     QStringLiteral("Grab Active Window|Capture an image of the active window."));
    AWClientb = button("AWClientb", Glyph::ActiveClient,
                       QStringLiteral("Grab Active Window Client|Capture active window's client area."));
    Custb = button("Custb", Glyph::CustomRegion, QStringLiteral("Custom Region|Capture a user defined custom region"));
    Clientb = button("Clientb", Glyph::ClientArea, QStringLiteral("Client Area|Capture client area of a selected window"));
    TB->addSeparator();
    Helpb = button("Helpb", Glyph::About, QStringLiteral("About|About this program"));
    // The About button is the one that shows no tooltip.
    if (QWidget *widget = TB->widgetForAction(Helpb))
        widget->installEventFilter(this);

    bind(openb, &TScreenfrm::Open1Click);
    bind(screenb, &TScreenfrm::GrabScreenClick);
    bind(activeb, &TScreenfrm::GrabActiveWindow1Click);
    bind(AWClientb, &TScreenfrm::GrabActiveWindow1Click);
    bind(rectb, &TScreenfrm::GrabRectangleClick);
    bind(wndb, &TScreenfrm::GrabWindowClick);
    bind(Clientb, &TScreenfrm::GrabWindowClick);
    bind(Custb, &TScreenfrm::CustomRegion1Click);
    bind(copyb, &TScreenfrm::Copy1Click);
    bind(pasteb, &TScreenfrm::Paste1Click);
    bind(Helpb, &TScreenfrm::About1Click);
}

void TScreenfrm::buildStatusBar()
{
    QStatusBar *info = statusBar();
    info->setObjectName(QStringLiteral("info"));
    info->setSizeGripEnabled(true);
    for (int i = 0; i < 2; ++i) {
        infoPanels[i] = new QLabel;
        infoPanels[i]->setObjectName(QStringLiteral("infoPanel%1").arg(i));
        infoPanels[i]->setFrameShape(QFrame::Panel);
        infoPanels[i]->setFrameShadow(QFrame::Sunken);
    }
    // The descriptions are often longer than panel 0's 270 pixels: it takes all the width the bar
    // has beside panel 1, and a long text never widens the window itself.
    infoPanels[0]->setMinimumWidth(270);
    infoPanels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    info->addWidget(infoPanels[0], 1);
    infoPanels[1]->setFixedWidth(50);
    info->addWidget(infoPanels[1]);
}

// The keys every multiple-document program has, beside the menus rather than in them.
void TScreenfrm::buildImageWindowKeys()
{
    auto key = [this](const char *name, const QKeySequence &keys, void (QMdiArea::*slot)()) {
        auto *action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        addAction(action);
        connect(action, &QAction::triggered, mdi, slot);
    };
    key("closeActiveImage", QKeySequence(Qt::CTRL | Qt::Key_F4), &QMdiArea::closeActiveSubWindow);
    key("nextImage", QKeySequence(Qt::CTRL | Qt::Key_Tab), &QMdiArea::activateNextSubWindow);
}

void TScreenfrm::bind(QAction *action, void (TScreenfrm::*handler)(QObject *))
{
    connect(action, &QAction::triggered, this, asCommand([this, action, handler] { (this->*handler)(action); }));
}

void TScreenfrm::bindOpening(QMenu *menu, void (TScreenfrm::*handler)())
{
    connect(menu, &QMenu::aboutToShow, this, asCommand([this, handler] { (this->*handler)(); }));
}

std::array<QAction *, 7> TScreenfrm::captureItems() const
{
    return {GrabScreen, GrabRectangle, GrabWindow, GrabActiveWindow1, GrabActiveWindowClient1, CustomRegion1, Client};
}

QList<TImagefrm *> TScreenfrm::imageWindows() const
{
    QList<TImagefrm *> result;
    const QList<QMdiSubWindow *> stacking = mdi->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stacking.crbegin(); it != stacking.crend(); ++it)
        if (auto *window = qobject_cast<TImagefrm *>(*it))
            result.append(window);
    return result;
}

int TScreenfrm::imageWindowCount() const { return int(imageWindows().size()); }

bool TScreenfrm::anyOtherImageWindow(const QObject *self) const
{
    const QList<TImagefrm *> windows = imageWindows();
    return std::any_of(windows.begin(), windows.end(), [self](const TImagefrm *w) { return w != self; });
}

int TScreenfrm::GetColorCount(const Bitmap &bitmap) const { return colorCountOfDepth(bitmap.depth()); }

void TScreenfrm::CheckAutosize(TImagefrm &image)
{
    if (!Autosize1->isChecked())
        return;
    // The document area places windows added while it is hidden only when it is shown again, and
    // would push a window already grown to a large picture off to the left; fit it after that.
    if (!isVisible()) {
        fitAfterShow_.append(&image);
        return;
    }
    fitToPicture(image);
}

void TScreenfrm::fitToPicture(TImagefrm &image)
{
    // The client area is what the window shows inside its frame; make it the picture's size.
    const QSize frame = image.size() - image.widget()->size();
    image.resize(frame.width() + image.Image->width(), frame.height() + image.Image->height());
}

void TScreenfrm::DisplayHint(const QString &hint) { setStatusPanel(0, hint); }

bool TScreenfrm::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        DisplayHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool TScreenfrm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && watched == TB->widgetForAction(Helpb))
        return true;
    if (event->type() == QEvent::MouseMove && watched == mdi->viewport())
        FormMouseMove();
    return QMainWindow::eventFilter(watched, event);
}

void TScreenfrm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TScreenfrm::FormShow()
{
    for (const QPointer<TImagefrm> &image : std::exchange(fitAfterShow_, {}))
        if (image)
            fitToPicture(*image);
    const bool any = imageWindowCount() > 0;
    printb->setEnabled(any);
    copyb->setEnabled(any);
}

void TScreenfrm::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TScreenfrm::FormCloseQuery(bool &canClose)
{
    canClose = true;
    for (TImagefrm *image : imageWindows()) {
        image->FormCloseQuery(canClose);
        if (!canClose)
            return;
    }
    if (imageWindowCount() > 0)
        canClose = askConfirmation(this, QStringLiteral("If you have not saved, all your current images will be lost.  "
                                                        "Are you sure you want to exit?"));
}

void TScreenfrm::FormMouseMove() { setStatusPanel(1, QString()); }

void TScreenfrm::setStatusPanel(int panel, const QString &text) { infoPanels[panel]->setText(text); }

void TScreenfrm::hintChanged(const QObject *window, const QString &hint)
{
    if (window == active())
        DisplayHint(hint);
}

void TScreenfrm::setCopyEnabled(bool enabled)
{
    Copy1->setEnabled(enabled);
    copyb->setEnabled(enabled);
}

TConfigfrm &TScreenfrm::configuration() const { return *appWindows().Configfrm; }

bool TScreenfrm::confirmClosing() const { return configuration().confirm->isChecked(); }

bool TScreenfrm::hideProgram() const { return configuration().hideprog->isChecked(); }

bool TScreenfrm::showCoordinates() const { return configuration().coords->isChecked(); }

QSize TScreenfrm::customRegionSize() const
{
    const TCustfrm &custom = *appWindows().Custfrm;
    return {custom.widthb->value(), custom.heightb->value()};
}

CaptureOptions TScreenfrm::captureOptions() const
{
    CaptureOptions options;
    options.refreshDelay = configuration().Delay->text();
    options.colors = Monochrome1->isChecked() ? CaptureColors::Monochrome
        : N16colors1->isChecked()            ? CaptureColors::Colors16
        : N256colors1->isChecked()           ? CaptureColors::Colors256
                                             : CaptureColors::Highest;
    options.includeCursor = Include1->isChecked();
    return options;
}

TImagefrm *TScreenfrm::createImageWindow()
{
    auto *window = new TImagefrm(*this);
    mdi->addSubWindow(window);
    window->show();
    mdi->setActiveSubWindow(window);
    window->setCaption(QStringLiteral("Untitled%1").arg(imageWindowCount()));
    return window;
}

void TScreenfrm::fillImageWindow(TImagefrm &window, const Bitmap &bitmap, QSize size)
{
    window.Image->setPicture(bitmap, size);
    window.ColorCount = GetColorCount(window.Image->picture());
    CheckAutosize(window);
    describe(window);
}

void TScreenfrm::describe(TImagefrm &window)
{
    window.setHint(QStringLiteral("%1 - Width: %2, Height: %3, Colors: %4")
                       .arg(window.fileNamePart())
                       .arg(window.Image->pictureSize().width())
                       .arg(window.Image->pictureSize().height())
                       .arg(window.ColorCount));
}

void TScreenfrm::FinishImageWindow(QSize size)
{
    TImagefrm *window = createImageWindow();
    fillImageWindow(*window, *CaptureBitmap, size);
    CaptureBitmap.reset();
}

HiddenDuringCapture::HiddenDuringCapture(QWidget &window, bool hide) : window_(window), hidden_(hide)
{
    if (!hidden_)
        return;
    window_.hide();
    // The hide must have reached the display before the command looks at the screen or asks for
    // the active window: on a loaded machine the display can otherwise still show the window.
    waitForWindowRequests();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

HiddenDuringCapture::~HiddenDuringCapture()
{
    if (hidden_)
        window_.show();
}

namespace {

// CaptureBitmap lives only while its command runs, however the command ends.
struct FreedOnExit {
    std::optional<Bitmap> &bitmap;
    ~FreedOnExit() { bitmap.reset(); }
};

} // namespace

void TScreenfrm::GrabScreenClick(QObject *)
{
    HiddenDuringCapture hidden(*this, hideProgram());
    FreedOnExit freed{CaptureBitmap};
    CaptureBitmap = CaptureScreen(desktop(), captureOptions());
    FinishImageWindow();
}

void TScreenfrm::GrabActiveWindow1Click(QObject *sender)
{
    HiddenDuringCapture hidden(*this, hideProgram());
    FreedOnExit freed{CaptureBitmap};
    const CaptureOptions options = captureOptions();
    waitRefreshDelay(options.refreshDelay);
    Desktop &screen = desktop();
    requireForegroundWindow(screen);
    const QPoint cursorPos = screen.cursorPos();
    const CursorImage cursor = options.includeCursor ? screen.currentCursor() : CursorImage{};
    const WindowId window = requireForegroundWindow(screen);
    const bool wholeWindow = sender == GrabActiveWindow1 || sender == activeb;
    CaptureBitmap = captureWindowArea(screen, window, wholeWindow, options, cursorPos, cursor).bitmap;
    FinishImageWindow(); // only now: a window that closed while it was read leaves no empty one
}

// RectangleMode stays set afterwards; the window-picking commands clear it themselves.
void TScreenfrm::GrabRectangleClick(QObject *)
{
    HiddenDuringCapture hidden(*this, hideProgram());
    FreedOnExit freed{CaptureBitmap};
    RectangleMode = true;
    TCapturefrm overlay(*this, desktop()); // waits the delay and freezes the screen
    if (dialogs().execModal(overlay) != mrOk)
        return;
    cutAndFinish(overlay.Selection);
}

void TScreenfrm::GrabWindowClick(QObject *sender)
{
    HiddenDuringCapture hidden(*this, hideProgram());
    FreedOnExit freed{CaptureBitmap};
    RectangleMode = false;
    FlagDuringCommand whole(WholeWindow, sender == GrabWindow || sender == wndb);
    Desktop &screen = desktop();
    TCapturefrm overlay(*this, screen);
    WindowListHeld windows(windowLookup(), screen, overlay.windowId()); // after the delay
    if (dialogs().execModal(overlay) != mrOk)
        return;
    cutAndFinish(overlay.Selection);
}

void TScreenfrm::CustomRegion1Click(QObject *)
{
    TCustfrm &custom = *appWindows().Custfrm;
    Desktop &screen = desktop();
    custom.setScreenSize(screen.screenSize());
    centreOverMainWindow(custom);
    if (dialogs().execModal(custom) != mrOk)
        return;
    HiddenDuringCapture hidden(*this, hideProgram());
    FreedOnExit freed{CaptureBitmap};
    FlagDuringCommand region(CustomRegionMode, true);
    TCapturefrm overlay(*this, screen);
    if (dialogs().execModal(overlay) != mrOk)
        return;
    const QSize size = customRegionSize();
    const ScreenRect &at = overlay.Selection;
    cutAndFinish({at.Left, at.Top, at.Left + size.width(), at.Top + size.height()});
}

void TScreenfrm::cutAndFinish(const ScreenRect &area)
{
    CaptureBitmap = cropFrozenScreen(*CaptureBitmap, area);
    FinishImageWindow(QSize(std::max(area.width(), 0), std::max(area.height(), 0)));
}

void TScreenfrm::centreOverMainWindow(QWidget &dialog) const
{
    const QRect main = frameGeometry();
    const QRect box = dialog.frameGeometry();
    dialog.move(main.left() + main.width() / 2 - box.width() / 2, main.top() + main.height() / 2 - box.height() / 2);
}

void TScreenfrm::Exit1Click(QObject *) { QApplication::exit(0); }

void TScreenfrm::Configuration1Click(QObject *)
{
    // Centred over this window; the dialog itself picks the screen's centre at its first showing.
    TConfigfrm &dialog = configuration();
    centreOverMainWindow(dialog);
    dialogs().execModal(dialog);
}

void TScreenfrm::CreateAnimatedGIF1Click(QObject *)
{
    // The builder centres itself on the screen each time it is shown.
    dialogs().execModal(*appWindows().Animationfrm);
}

} // namespace kaptiv
