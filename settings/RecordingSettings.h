#pragma once
// The settings of Record Area to GIF, in a group of their own ("Recording"): each value is read
// with its default when it is absent or out of range, so a settings file from before recording
// existed loads as it is.

#include "platform/ui/ShortcutCodes.h"

#include <QString>

namespace kaptiv {

inline const QString RecordingKey = QStringLiteral("Software\\Quillmar\\Kaptiv\\Recording");

struct RecordingSettings {
    int framesPerSecond = 15;      // 1 to 50: most viewers slow a delay under 2 hundredths down
    bool includeCursor = false;
    bool reduceColors = true;      // "Reduce colors when needed"; off: such a frame stops the recording
    bool dither = true;
    int maxLengthSeconds = 60;     // 1 to 3600
    ShortcutValue stopKey = scCtrl | scShift | 0x7B;  // Ctrl+Shift+F12
    ShortcutValue pauseKey = scCtrl | scShift | 0x7A; // Ctrl+Shift+F11: pauses, and resumes
};

RecordingSettings loadRecordingSettings();
void saveRecordingSettings(const RecordingSettings &settings);

} // namespace kaptiv
