#pragma once
// The "Recording" page of Program Configuration: the settings of Record Area to GIF, shown as
// they are stored (or their defaults) and stored again only on OK.

#include "settings/HotKeyEdit.h"
#include "settings/RecordingSettings.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QWidget>

namespace kaptiv {

class RecordingPage : public QWidget {
    Q_OBJECT
public:
    explicit RecordingPage(QWidget *parent = nullptr);

    QSpinBox *fps;              // frames per second, 1 to 50
    QSpinBox *maxLength;        // seconds, 1 to 3600
    QCheckBox *cursor;          // "Include cursor"
    QCheckBox *reduceColors;    // "Reduce colors when needed"
    QCheckBox *dither;          // "Dither reduced colors"
    HotKeyEdit *stopKey, *pauseKey;

    void showSettings(const RecordingSettings &settings);
    RecordingSettings values() const;
};

} // namespace kaptiv
