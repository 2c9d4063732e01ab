#pragma once
// TImagefrm: the image window, one picture inside the main window's multiple-document area.

#include "gif/FrameInfo.h"
#include "gif/GIFImage.h"
#include "platform/pixels/Bitmap.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QScrollArea>

namespace kaptiv {

class ImageHost;

// The picture control: shows its picture one picture pixel on each screen pixel, whatever Qt's
// scale factor, sizes itself to it, and reports the mouse in picture pixels.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget *parent = nullptr);
    const Bitmap &picture() const { return picture_; }
    Bitmap &picture() { return picture_; }
    // Also sizes the control to it. `size` is the picture's own unless given: a cut of no width
    // keeps its height, and the other way round, though it has no pixels.
    void setPicture(Bitmap bitmap, QSize size = {});
    QSize pictureSize() const { return size_; } // in picture pixels
    void refresh();                             // shows the picture again after it was drawn on
    // While Transparent is on, pixels of the transparent colour (a colour value, red in the low
    // byte) are not painted: what lies behind the control shows through.
    bool Transparent() const { return transparent_; }
    void setTransparent(bool on);
    uint32_t transparentColor() const { return transparentColor_; }
    void setTransparentColor(uint32_t color);

signals:
    void mouseMoved(int x, int y);
    void mouseReleased(Qt::MouseButton button, int x, int y);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPoint picturePoint(const QMouseEvent &event) const;
    QPixmap shownPixmap() const;

    Bitmap picture_;
    QSize size_;
    bool transparent_ = false;
    uint32_t transparentColor_ = 0;
};

class TImagefrm : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit TImagefrm(ImageHost &host, QWidget *parent = nullptr);
    ~TImagefrm() override;

    TImage *Image;
    TFrameInfo GifInfo;
    TFrameInfo FrameDefs;
    bool FromGif = false;
    int ColorCount = 0;
    QString Comment;
    QString SavedCaption;
    // What File > Save does. SaveTarget: the file this window wrote, or the single picture it read
    // whole, written again in SaveFormat ("bmp", "gif", "ico", "jpg", "png"). With SaveAsks, Save
    // asks for a name in SaveFormat (an opened icon or GIF: the window holds one part of the file).
    // Neither: a new picture, saved under a name of its own in the pictures folder.
    QString SaveTarget;
    QString SaveFormat;
    bool SaveAsks = false;
    QImage SavedPixels; // as last read or written: while the picture is the same, Save writes nothing
    // The window's hidden GIF player control, which reads back what Save As GIF wrote. Made at its
    // first use: each control keeps a timer thread, and most windows are never saved as GIF.
    TGIFImage &gif();

    QString caption() const { return windowTitle(); }
    void setCaption(const QString &caption) { setWindowTitle(caption); }
    // The status description, shown in the status bar and as the picture's tooltip.
    QString hint() const { return hint_; }
    void setHint(const QString &hint);

    // "Untitled..." captions and frames of an animated GIF ("anim[3]") have not been saved.
    bool isUnsaved() const;
    // The caption without its folders: what follows the last "/".
    QString fileNamePart() const;

    void FormCloseQuery(bool &canClose);
    void ImageMouseMove(int x, int y);
    void ImageMouseUp(Qt::MouseButton button, int x, int y);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // However small the picture, the window stays large enough to show its caption's file-name
    // part and its title-bar buttons, so that it can always be told apart and closed.
    void keepTitleBarShown();
    void FormCreate();
    void FormClose();
    void FormDestroy();

    ImageHost &host_;
    QScrollArea *scroller_;
    TGIFImage *gif_ = nullptr;
    QString hint_;
};

QString fileNamePartOf(const QString &caption);

} // namespace kaptiv
