#pragma once
// What the user sees of a recording while it runs: a thin frame around the area, drawn outside it
// so it is never recorded, and a small control beside it (elapsed time, frames, bytes, "Pause" or
// "Resume", "Stop"). An area that reaches an edge of the screen leaves no room outside it: then
// neither is shown, and the stop key or the maximum length ends the recording.

#include "platform/desktop/Desktop.h"
#include "record/Recorder.h"

#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPushButton;

namespace kaptiv {

class RecordingControl : public QWidget {
    Q_OBJECT
public:
    // `area` in the screen's own pixels; `screen` the screen's size in them.
    RecordingControl(record::Recorder &recorder, const ScreenRect &area, QSize screen);
    ~RecordingControl() override;

    // Shows the frame and control (where there is room) and runs the program's events until the
    // recording has ended, by Stop, a key, its maximum length or a failure.
    void runUntilFinished();

    // False when the area left no room for them.
    bool shown() const { return room_; }

    void togglePause();
    void stop();

    QLabel *ElapsedLabel, *FramesLabel, *BytesLabel;
    QPushButton *PauseButton, *StopButton;

private:
    void refresh();

    record::Recorder &recorder_;
    bool room_ = false;
    std::vector<std::unique_ptr<QWidget>> frame_; // four strips around the area
};

// "1.2 MB", "830 KB", "512 bytes".
QString byteCountText(std::uint64_t bytes);

} // namespace kaptiv
