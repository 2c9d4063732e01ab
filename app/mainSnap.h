#pragma once
// TScreenfrm: the main window. A multiple-document frame whose children are image windows, with
// the menu, the tool bar, the status bar and the capture commands.

#include "capture/Capture.h"
#include "capture/CaptureHost.h"
#include "document/ImageHost.h"
#include "platform/pixels/Bitmap.h"
#include "platform/ui/FileDialog.h"
#include "record/Recorder.h"

#include <QActionGroup>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QToolBar>

#include <map>
#include <optional>
#include <string_view>

class QEventLoop;

namespace kaptiv {

enum class HiddenFromPrograms;
class TImagefrm;
class TConfigfrm;
class TGIFImage;
struct SaveAsFormat;

class TScreenfrm : public QMainWindow, public ImageHost, public CaptureHost {
    Q_OBJECT
public:
    explicit TScreenfrm(QWidget *parent = nullptr);
    ~TScreenfrm() override;

    // The menu items and tool bar buttons ("Open1", "openb") and the menus ("File1", "SaveAs1") by
    // the names the commands know them by; a name that is not there is a programming error
    // (std::logic_error).
    QAction *item(std::string_view name) const;
    QMenu *menu(std::string_view name) const;
    QToolBar *toolBar() const { return TB; }

    QLabel *infoPanels[2];
    QMdiArea *mdi;
    // The file dialogs; each keeps its last file name from one use to the next.
    FileDialog open, save;
    FileDialog OpenCur; // Insert Cursor's
    TGIFImage *iGif; // hidden; reads the GIF files Open opens

    // The capture items in menu order (Screen, Rectangle, Window, Active Window, AW Client,
    // Custom Region, Client Area): the hot keys become their shortcuts.
    std::array<QAction *, 7> captureItems() const;

    // Image windows in the main window's order: the active one first, then down the stacking order.
    QList<TImagefrm *> imageWindows() const;
    // The active image window (first in that order); null when none is open.
    TImagefrm *active() const { return imageWindows().value(0); }

    int GetColorCount(const Bitmap &bitmap) const;
    void CheckAutosize(TImagefrm &image);
    void DisplayHint(const QString &hint);

    // Commands.
    void GrabScreenClick(QObject *sender);
    void GrabActiveWindow1Click(QObject *sender);
    void GrabRectangleClick(QObject *sender);
    void GrabWindowClick(QObject *sender);
    void CustomRegion1Click(QObject *sender);
    void IncludeClick(QObject *sender);
    // On a desktop that hides other windows from programs (a Wayland session), says that `what`
    // cannot be done there and offers the whole screen instead, captured on Yes. True when it
    // did so: the command asking for `what` ends there. False, and nothing shown, elsewhere.
    bool offerScreenInstead(HiddenFromPrograms what);
    // Record Area to GIF (RecordAreaCommand.cpp) and the player window of what it recorded.
    void RecordAreatoGIF1Click(QObject *sender);
    void showRecording(const QString &path, const record::RecordingStats &stats);
    // The area Record Area to GIF records, chosen on the frozen screen (a clicked window gives its
    // rectangle) and cut to the screen; nothing when cancelled or empty.
    std::optional<ScreenRect> chooseRecordingArea(Desktop &screen);
    void Exit1Click(QObject *sender);
    // The image file commands (ImageFileCommands.cpp).
    void Open1Click(QObject *sender);
    void Save1Click(QObject *sender);
    void Iconico1Click(QObject *sender);
    void Bitmapbmp1Click(QObject *sender);
    void GIFgif1Click(QObject *sender);
    void JPEGjpg1Click(QObject *sender);
    void PNGpng1Click(QObject *sender);
    void Options1Click(QObject *sender);
    void Configuration1Click(QObject *sender);
    void CreateAnimatedGIF1Click(QObject *sender);
    // Insert Cursor (InsertCursor.cpp).
    void Insertcursorinimage1Click(QObject *sender);
    // The Edit menu's clipboard commands (ClipboardCommands.cpp) and the duplicates (DuplicateCommand.cpp).
    void Copy1Click(QObject *sender);
    void Paste1Click(QObject *sender);
    void Clearclipboard1Click(QObject *sender);
    void Edit1Click();
    void Monochrome2Click(QObject *sender);
    // The Window menu, the menus' enabling and the about box (WindowCommands.cpp).
    void Cascae1Click(QObject *sender);
    void Tile1Click(QObject *sender);
    void ArrangeIcons1Click(QObject *sender);
    void MinimizeAll1Click(QObject *sender);
    void CloseAllClick(QObject *sender);
    void Window1Click();
    void File1Click();
    void Options2Click();
    void About1Click(QObject *sender);
    // Whether the main window may close: every image window is asked first, in the main window's
    // order, and the first refusal keeps everything open; then, while images are open, the user
    // is asked once more whether to exit.
    void FormCloseQuery(bool &canClose);

    // Busy: a modal dialog (an overlay among them) or a menu is open, or a command is under way.
    bool busy() const;
    // Runs the capture item asked for from outside the program (a hot key pressed in another
    // program, a second kaptiv command); while busy it beeps instead and gives false. An overlay
    // it starts while another program is active takes the keyboard and the pointer.
    bool takeCaptureFromElsewhere(int item);

    // The capture settings the commands read at the moment they run.
    CaptureOptions captureOptions() const override;
    bool hideProgram() const;

    // ImageHost
    void setStatusPanel(int panel, const QString &text) override;
    void hintChanged(const QObject *window, const QString &hint) override;
    void setCopyEnabled(bool enabled) override;
    int imageWindowCount() const override;
    bool anyOtherImageWindow(const QObject *self) const override;
    bool closingAll() const override { return ClosingAll; }
    bool confirmClosing() const override;
    bool placingCursorIn(const QObject *window) const override { return PlacingCursor && window == cursorPlacementWindow; }
    void endPlacingCursor() override;
    const CursorImage &stampCursor() const override { return StampCursor; }
    void releaseStampCursor() override { StampCursor = {}; }

    // CaptureHost: what the selection overlay reads while it runs.
    bool rectangleMode() const override { return RectangleMode; }
    bool customRegionMode() const override { return CustomRegionMode; }
    bool wholeWindow() const override { return WholeWindow; }
    bool showCoordinates() const override;
    QSize customRegionSize() const override;
    std::optional<Bitmap> &captureBitmap() override { return CaptureBitmap; }
    bool takesInput() const override { return StartedElsewhere; }

    // Mode flags and state shared with the area captures and the image windows.
    std::optional<Bitmap> CaptureBitmap;
    bool RectangleMode = false;
    bool CustomRegionMode = false;
    bool WholeWindow = false;
    bool ClosingAll = false;
    bool PlacingCursor = false;
    const QObject *cursorPlacementWindow = nullptr; // the image window PlacingCursor is about
    CursorImage StampCursor;
    bool StartedElsewhere = false; // the capture under way was asked for while another program was active

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Runs `handler` with the item as its sender whenever the item is chosen.
    void bind(QAction *action, void (TScreenfrm::*handler)(QObject *));
    // Runs `handler` each time the menu opens.
    void bindOpening(QMenu *menu, void (TScreenfrm::*handler)());
    // Both from one table of the commands (MainMenu.cpp).
    void buildMenus();
    void buildToolBar();
    std::map<std::string_view, QAction *> items_;
    std::map<std::string_view, QMenu *> menus_;
    QToolBar *TB = nullptr;
    void buildStatusBar();
    void buildImageWindowKeys();
    void FormShow();
    void fitToPicture(TImagefrm &image);
    void FormMouseMove();
    // Fills a new image window from CaptureBitmap and frees it. `size` is the picture's own
    // unless given: a cut of no width keeps its height, and the other way round.
    void FinishImageWindow(QSize size = {});
    TImagefrm *createImageWindow();
    void fillImageWindow(TImagefrm &window, const Bitmap &bitmap, QSize size = {});
    // Cuts `area` out of the frozen screen in CaptureBitmap and makes an image window of it.
    void cutAndFinish(const ScreenRect &area);
    void centreOverMainWindow(QWidget &dialog) const;
    // Sets the status description of a window's picture from its caption, size and ColorCount.
    void describe(TImagefrm &window);
    void openGifFrames(const QString &path);
    void openPicture(const QString &path, const Bitmap &picture);
    // Save As of the active image window in one format (ImageFileCommands.cpp).
    void saveActiveAs(const SaveAsFormat &format);
    // Shows `save` for the active image window; the chosen path, or empty when cancelled.
    QString askSaveName(const QString &filter, const QString &defaultExt);
    // After a save: the window shows the picture read back from `path` (at `size` when given)
    // and takes the path as its caption.
    void showSaved(TImagefrm &window, const QString &path, const Bitmap &readBack, QSize size = {});
    TConfigfrm &configuration() const;
    // Runs the Save As item of `format` ("png", ...) for the active window; with `path` given, the
    // name is not asked for (QuickSave.cpp).
    void saveActiveIn(const QString &format, const QString &path);
    QString presetSaveName_;  // answers askSaveName instead of the dialog while Save writes
    QString savingFormat_;    // the format of the Save As item under way, for showSaved
    // Runs the program's events until the cursor placement in `window` ends: stamped, the window
    // gone, or the program ending (InsertCursor.cpp).
    void waitWhilePlacingCursor(TImagefrm &window);
    QEventLoop *cursorPlacementLoop_ = nullptr; // while that wait runs

    QList<QPointer<TImagefrm>> fitAfterShow_;
    int commandsRunning_ = 0; // autosized once the hidden main window is shown
};

// Hides the main window for a capture when asked to, and shows it again however the command ends.
class HiddenDuringCapture {
public:
    HiddenDuringCapture(QWidget &window, bool hide);
    ~HiddenDuringCapture();
    HiddenDuringCapture(const HiddenDuringCapture &) = delete;
    HiddenDuringCapture &operator=(const HiddenDuringCapture &) = delete;

private:
    QWidget &window_;
    bool hidden_;
};

// Applies a hint written as "tooltip|status text" (the whole text serves both without a "|").
void applyHint(QAction *action, const QString &hint);

} // namespace kaptiv
