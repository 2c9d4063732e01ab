#include "animation/FrameListBox.h"

#include "document/ChldSnap.h"

#include <QMouseEvent>
#include <QSignalBlocker>

namespace kaptiv {

namespace {
constexpr int WindowRole = Qt::UserRole;
}

FrameListBox::FrameListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QSize FrameListBox::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QStringLiteral("Untitled0000.gif")) * 3 / 2, metrics.height() * 10};
}

void FrameListBox::addFrame(TImagefrm &window)
{
    auto *entry = new QListWidgetItem(window.fileNamePart());
    entry->setData(WindowRole, QVariant::fromValue(QPointer<TImagefrm>(&window)));
    addItem(entry);
}

TImagefrm *FrameListBox::window(int row) const
{
    const QListWidgetItem *entry = item(row);
    return entry ? entry->data(WindowRole).value<QPointer<TImagefrm>>().data() : nullptr;
}

void FrameListBox::removeSelected()
{
    const int selected = currentRow();
    if (selected < 0)
        return;
    const QSignalBlocker quiet(this);
    setCurrentRow(selected == count() - 1 ? selected - 1 : selected + 1);
    delete takeItem(selected);
}

void FrameListBox::ImageLBMouseDown(QPoint point)
{
    dragging_ = itemAt(point) != nullptr;
    if (dragging_)
        setCursor(Qt::DragMoveCursor);
}

bool FrameListBox::ImageLBDragOver(QPoint point) const { return dragging_ && viewport()->rect().contains(point); }

void FrameListBox::ImageLBDragDrop(QPoint point)
{
    const int selected = currentRow();
    const QListWidgetItem *target = itemAt(point);
    if (!target || selected < 0)
        return;
    const int t = row(target);
    {
        const QSignalBlocker quiet(this);
        insertItem(t, item(selected)->clone());
        delete takeItem(t <= selected ? selected + 1 : selected);
        setCurrentRow(t);
    }
    emit dropped();
}

void FrameListBox::mousePressEvent(QMouseEvent *event)
{
    QListWidget::mousePressEvent(event); // selects the entry under the pointer
    if (event->button() == Qt::LeftButton)
        ImageLBMouseDown(event->position().toPoint());
}

void FrameListBox::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging_) {
        QListWidget::mouseMoveEvent(event);
        return;
    }
    // The selection stays on the dragged entry while the pointer passes over others.
    setCursor(ImageLBDragOver(event->position().toPoint()) ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
}

void FrameListBox::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const bool accepted = ImageLBDragOver(point);
    dragging_ = false;
    unsetCursor();
    if (accepted)
        ImageLBDragDrop(point);
}

} // namespace kaptiv
