#include "app/mainSnap.h"

#include "animation/GIFSnap.h"
#include "app/FlagDuringCommand.h"
#include "app/Startup.h"
#include "capture/CaptureOverlay.h"
#include "capture/CustSnap.h"
#include "capture/WndFromPt.h"
#include "document/ChldSnap.h"
#include "gif/GIFImage.h"
#include "platform/ui/Dialogs.h"
#include "platform/x11/DisplaySync.h"
#include "platform/ui/Errors.h"
#include "platform/desktop/WaylandDesktop.h"
#include "settings/ConfigSnap.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>

namespace kaptiv {

void applyHint(QAction *action, const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

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
    if (!item("Autosize1")->isChecked())
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
    if (event->type() == QEvent::ToolTip && watched == TB->widgetForAction(item("Helpb")))
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
    item("printb")->setEnabled(any);
    item("copyb")->setEnabled(any);
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
    item("Copy1")->setEnabled(enabled);
    item("copyb")->setEnabled(enabled);
    item("Save1")->setEnabled(enabled); // Save too has a picture to work on exactly while Copy has
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
    options.colors = item("Monochrome1")->isChecked() ? CaptureColors::Monochrome
        : item("N16colors1")->isChecked()            ? CaptureColors::Colors16
        : item("N256colors1")->isChecked()           ? CaptureColors::Colors256
                                             : CaptureColors::Highest;
    options.includeCursor = item("Include1")->isChecked();
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
    const bool wholeWindow = sender == item("GrabActiveWindow1") || sender == item("activeb");
    if (offerScreenInstead(wholeWindow ? HiddenFromPrograms::ActiveWindow : HiddenFromPrograms::ActiveWindowClient))
        return;
    HiddenDuringCapture hidden(*this, hideProgram());
    FreedOnExit freed{CaptureBitmap};
    const CaptureOptions options = captureOptions();
    waitRefreshDelay(options.refreshDelay);
    Desktop &screen = desktop();
    requireForegroundWindow(screen);
    const QPoint cursorPos = screen.cursorPos();
    const CursorImage cursor = options.includeCursor ? screen.currentCursor() : CursorImage{};
    const WindowId window = requireForegroundWindow(screen);
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
    if (offerScreenInstead(HiddenFromPrograms::PickWindow))
        return;
    HiddenDuringCapture hidden(*this, hideProgram());
    FreedOnExit freed{CaptureBitmap};
    RectangleMode = false;
    FlagDuringCommand whole(WholeWindow, sender == item("GrabWindow") || sender == item("wndb"));
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

// The check mark is the option; a desktop that hides the pointer cannot honour it.
void TScreenfrm::IncludeClick(QObject *)
{
    QAction *include = item("Include1");
    if (!include->isChecked() || desktop().seesOtherWindows())
        return;
    include->setChecked(false);
    offerScreenInstead(HiddenFromPrograms::Cursor);
}

bool TScreenfrm::offerScreenInstead(HiddenFromPrograms what)
{
    if (desktop().seesOtherWindows())
        return false;
    if (dialogs().messageBox(this, hiddenFromProgramsMessage(what) + QStringLiteral("\n\nCapture the whole screen instead?"),
                             QStringLiteral("Kaptiv"), MessageIcon::Information, MessageButtons::YesNo)
        == mrYes)
        GrabScreenClick(item("GrabScreen"));
    return true;
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
