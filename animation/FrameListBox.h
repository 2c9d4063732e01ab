#pragma once
// ImageLB, the builder's list of frames: one entry per image window, showing the file-name part of
// its caption and holding the window itself, so that windows of one name stay apart. The user
// reorders entries by dragging one onto another.

#include <QListWidget>
#include <QPointer>

namespace kaptiv {

class TImagefrm;

class FrameListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FrameListBox(QWidget *parent = nullptr);
    QSize sizeHint() const override; // room for a capture's name or a short file name

    void addFrame(TImagefrm &window);
    // The window of entry `row`; null outside the list or when the window has gone.
    TImagefrm *window(int row) const;
    // The selection moves to the neighbour (the previous one for the last entry), then the entry
    // goes. The current-row signal is not sent: the caller loads what it needs.
    void removeSelected();

    // Reordering: a left press on an entry starts a drag of the selected entry at once; the drag
    // is accepted anywhere over the list; a release on an entry drops it there.
    void ImageLBMouseDown(QPoint point);
    bool ImageLBDragOver(QPoint point) const;
    // The selected entry goes just before the entry at `point`, which then becomes the selected
    // index, and `dropped` is sent. Below the last entry nothing happens.
    void ImageLBDragDrop(QPoint point);

signals:
    // An entry was dropped: the list's order and selection are new.
    void dropped();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool dragging_ = false;
};

} // namespace kaptiv
