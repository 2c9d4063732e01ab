#include "capture/RecordingWindow.h"

#include "platform/desktop/DevicePixels.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace kaptiv {

namespace {

constexpr int FrameWidth = 2;  // in Qt's pixels
constexpr int ControlGap = 4;

const Qt::WindowFlags floating
    = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint;

std::unique_ptr<QWidget> strip(const QRect &geometry)
{
    auto widget = std::make_unique<QWidget>(nullptr, floating | Qt::WindowDoesNotAcceptFocus);
    widget->setAttribute(Qt::WA_ShowWithoutActivating);
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor(220, 30, 30));
    widget->setPalette(palette);
    widget->setGeometry(geometry);
    widget->setWindowTitle(QStringLiteral("Kaptiv recording frame"));
    return widget;
}

QString elapsedText(std::int64_t ms)
{
    const std::int64_t seconds = ms / 1000;
    return QStringLiteral("%1:%2.%3").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')).arg((ms % 1000) / 100);
}

} // namespace

QString byteCountText(std::uint64_t bytes)
{
    if (bytes >= 1000 * 1000)
        return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
    if (bytes >= 1000)
        return QStringLiteral("%1 KB").arg(bytes / 1000);
    return QStringLiteral("%1 bytes").arg(bytes);
}

RecordingControl::RecordingControl(record::Recorder &recorder, const ScreenRect &area, QSize screen)
    : QWidget(nullptr, floating), recorder_(recorder)
{
    setWindowTitle(QStringLiteral("Kaptiv - Recording"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    ElapsedLabel = new QLabel(elapsedText(0), this);
    FramesLabel = new QLabel(QStringLiteral("0 frames"), this);
    BytesLabel = new QLabel(byteCountText(0), this);
    PauseButton = new QPushButton(QStringLiteral("Pause"), this);
    StopButton = new QPushButton(QStringLiteral("Stop"), this);
    for (QLabel *label : {ElapsedLabel, FramesLabel, BytesLabel}) {
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("0000 frames")));
        layout->addWidget(label);
    }
    layout->addWidget(PauseButton);
    layout->addWidget(StopButton);
    connect(PauseButton, &QPushButton::clicked, this, &RecordingControl::togglePause);
    connect(StopButton, &QPushButton::clicked, this, &RecordingControl::stop);
    setAutoFillBackground(true);

    room_ = area.Left > 0 && area.Top > 0 && area.Right < screen.width() && area.Bottom < screen.height();
    if (!room_)
        return;
    // The strips lie around the Qt pixels that cover the area, so a scale factor's rounding never
    // puts them on it.
    const qreal ratio = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->devicePixelRatio() : 1.0;
    const QRect inner = coveringIndependentPixels(QRect(area.Left, area.Top, area.width(), area.height()), ratio);
    const QRect outer = inner.adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth);
    frame_.push_back(strip({outer.left(), outer.top(), outer.width(), FrameWidth}));
    frame_.push_back(strip({outer.left(), inner.bottom() + 1, outer.width(), FrameWidth}));
    frame_.push_back(strip({outer.left(), inner.top(), FrameWidth, inner.height()}));
    frame_.push_back(strip({inner.right() + 1, inner.top(), FrameWidth, inner.height()}));

    // Below the area where it fits, else above, else beside it.
    adjustSize();
    const QSize size = sizeHint();
    const QRect screenRect(QPoint(0, 0), coveringIndependentPixels(screen, ratio));
    const QPoint candidates[] = {
        {outer.left(), outer.bottom() + 1 + ControlGap},
        {outer.left(), outer.top() - ControlGap - size.height()},
        {outer.right() + 1 + ControlGap, outer.top()},
        {outer.left() - ControlGap - size.width(), outer.top()},
    };
    for (QPoint at : candidates) {
        QRect place(at, size);
        if (place.right() > screenRect.right())
            place.moveRight(screenRect.right());
        if (place.left() < 0)
            place.moveLeft(0);
        if (screenRect.contains(place) && !place.intersects(outer)) {
            setGeometry(place);
            return;
        }
    }
    room_ = false; // nowhere outside the area: neither frame nor control
    frame_.clear();
}

RecordingControl::~RecordingControl() = default;

void RecordingControl::togglePause()
{
    if (recorder_.paused())
        recorder_.resume();
    else
        recorder_.pause();
    refresh();
}

void RecordingControl::stop() { recorder_.stop(); }

void RecordingControl::refresh()
{
    const record::RecordingStats stats = recorder_.stats();
    ElapsedLabel->setText(elapsedText(stats.elapsedMs));
    FramesLabel->setText(QStringLiteral("%1 frames").arg(stats.framesWritten));
    BytesLabel->setText(byteCountText(stats.bytes));
    PauseButton->setText(recorder_.paused() ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

void RecordingControl::runUntilFinished()
{
    if (room_) {
        for (auto &part : frame_)
            part->show();
        show();
        raise();
    }
    QEventLoop loop;
    QTimer ticks;
    // The read-out follows the recording a few times a second; its end is seen the same way.
    connect(&ticks, &QTimer::timeout, this, [this, &loop] {
        refresh();
        if (recorder_.waitFor(std::chrono::milliseconds(0)))
            loop.quit();
    });
    ticks.start(100);
    loop.exec();
    hide();
    frame_.clear();
}

} // namespace kaptiv
