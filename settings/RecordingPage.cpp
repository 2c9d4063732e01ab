#include "settings/RecordingPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kaptiv {

RecordingPage::RecordingPage(QWidget *parent)
    : QWidget(parent), fps(new QSpinBox), maxLength(new QSpinBox),
      cursor(new QCheckBox(QStringLiteral("Include cursor"))),
      reduceColors(new QCheckBox(QStringLiteral("Reduce colors when needed"))),
      dither(new QCheckBox(QStringLiteral("Dither reduced colors"))), stopKey(new HotKeyEdit), pauseKey(new HotKeyEdit)
{
    fps->setRange(1, 50);
    maxLength->setRange(1, 3600);
    // Dithering only applies to frames whose colours are reduced.
    connect(reduceColors, &QCheckBox::toggled, dither, &QWidget::setEnabled);

    auto *group = new QGroupBox(QStringLiteral("Recording Configuration"));
    auto *grid = new QGridLayout(group);
    grid->setVerticalSpacing(3);
    grid->setHorizontalSpacing(4);
    auto addRow = [&](int row, const char *caption, QWidget *field, const char *unit) {
        auto *label = new QLabel(QString::fromLatin1(caption));
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        if (unit)
            grid->addWidget(new QLabel(QString::fromLatin1(unit)), row, 2);
    };
    addRow(0, "&Frames per second:", fps, nullptr);
    addRow(1, "&Maximum length:", maxLength, "(seconds)");
    grid->addWidget(cursor, 2, 0, 1, 3);
    grid->addWidget(reduceColors, 3, 0, 1, 3);
    grid->addWidget(dither, 4, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("(SHIFT for None)")), 5, 1, 1, 2);
    addRow(6, "S&top key:", stopKey, nullptr);
    addRow(7, "&Pause key:", pauseKey, nullptr);
    stopKey->setToolTip(QStringLiteral("Stops a recording, whichever program has the focus."));
    pauseKey->setToolTip(QStringLiteral("Pauses a recording, and resumes it."));
    for (QWidget *field : {static_cast<QWidget *>(fps), static_cast<QWidget *>(maxLength),
                           static_cast<QWidget *>(stopKey), static_cast<QWidget *>(pauseKey)})
        field->setFixedWidth(98);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(8, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(group);
    setTabOrder(fps, maxLength);
    setTabOrder(maxLength, cursor);
    setTabOrder(cursor, reduceColors);
    setTabOrder(reduceColors, dither);
    setTabOrder(dither, stopKey);
    setTabOrder(stopKey, pauseKey);
}

void RecordingPage::showSettings(const RecordingSettings &s)
{
    fps->setValue(s.framesPerSecond);
    maxLength->setValue(s.maxLengthSeconds);
    cursor->setChecked(s.includeCursor);
    reduceColors->setChecked(s.reduceColors);
    dither->setChecked(s.dither);
    dither->setEnabled(s.reduceColors);
    stopKey->setValue(s.stopKey);
    pauseKey->setValue(s.pauseKey);
}

RecordingSettings RecordingPage::values() const
{
    RecordingSettings s;
    s.framesPerSecond = fps->value();
    s.maxLengthSeconds = maxLength->value();
    s.includeCursor = cursor->isChecked();
    s.reduceColors = reduceColors->isChecked();
    s.dither = dither->isChecked();
    s.stopKey = stopKey->value();
    s.pauseKey = pauseKey->value();
    return s;
}

} // namespace kaptiv
