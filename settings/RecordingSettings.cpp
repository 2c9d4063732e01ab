#include "settings/RecordingSettings.h"

#include "platform/ui/Errors.h"
#include "platform/store/Registry.h"

namespace kaptiv {

namespace {

// The stored value when it is there and within [low, high]; the default otherwise.
int valueOr(const Registry &access, const char *name, int fallback, int low, int high)
{
    try {
        const int value = access.readInteger(QString::fromLatin1(name));
        return value >= low && value <= high ? value : fallback;
    } catch (const ERegistryError &) {
        return fallback;
    }
}

} // namespace

RecordingSettings loadRecordingSettings()
{
    RecordingSettings s;
    Registry access(RegistryRoot::CurrentUser);
    if (!access.keyExists(RecordingKey) || !access.openKey(RecordingKey, false))
        return s;
    s.framesPerSecond = valueOr(access, "FramesPerSecond", s.framesPerSecond, 1, 50);
    s.includeCursor = valueOr(access, "IncludeCursor", s.includeCursor, 0, 1) != 0;
    s.reduceColors = valueOr(access, "ReduceColors", s.reduceColors, 0, 1) != 0;
    s.dither = valueOr(access, "Dither", s.dither, 0, 1) != 0;
    s.maxLengthSeconds = valueOr(access, "MaxLength", s.maxLengthSeconds, 1, 3600);
    s.stopKey = ShortcutValue(valueOr(access, "StopKey", s.stopKey, 0, 0xFFFF) & scFieldBits);
    s.pauseKey = ShortcutValue(valueOr(access, "PauseKey", s.pauseKey, 0, 0xFFFF) & scFieldBits);
    return s;
}

void saveRecordingSettings(const RecordingSettings &s)
{
    Registry access(RegistryRoot::CurrentUser);
    access.openKey(RecordingKey, true);
    access.writeInteger(QStringLiteral("FramesPerSecond"), s.framesPerSecond);
    access.writeInteger(QStringLiteral("IncludeCursor"), s.includeCursor ? 1 : 0);
    access.writeInteger(QStringLiteral("ReduceColors"), s.reduceColors ? 1 : 0);
    access.writeInteger(QStringLiteral("Dither"), s.dither ? 1 : 0);
    access.writeInteger(QStringLiteral("MaxLength"), s.maxLengthSeconds);
    access.writeInteger(QStringLiteral("StopKey"), s.stopKey);
    access.writeInteger(QStringLiteral("PauseKey"), s.pauseKey);
}

} // namespace kaptiv
