#include "settings/GifOptions.h"

#include "platform/ui/Errors.h"

namespace kaptiv {

namespace {

const QString ReduceColorsValue = QStringLiteral("Reduce Colors");
const QString AnimationReduceColorsValue = QStringLiteral("Animation Reduce Colors");
const QString AnimationOptimizeValue = QStringLiteral("Animation Optimize");

bool readFlag(const Registry &access, const QString &name, bool absent)
{
    try {
        return access.readInteger(name) != 0;
    } catch (const ERegistryError &) {
        return absent; // not there yet, or not a number: the default stands
    }
}

} // namespace

GifOptions LoadGifOptions(Registry &access)
{
    GifOptions options;
    if (!access.openKey(GifOptionsKey, false))
        return options;
    options.ReduceColors = readFlag(access, ReduceColorsValue, options.ReduceColors);
    options.AnimationReduceColors = readFlag(access, AnimationReduceColorsValue, options.AnimationReduceColors);
    options.AnimationOptimize = readFlag(access, AnimationOptimizeValue, options.AnimationOptimize);
    access.closeKey();
    return options;
}

GifOptions LoadGifOptions()
{
    // A settings file that cannot be read at all is reported by the settings' own loading; these
    // options then keep their defaults rather than stop the window that shows them.
    try {
        Registry access;
        return LoadGifOptions(access);
    } catch (const ERegistryError &) {
        return {};
    }
}

void SaveGifOptions(Registry &access, const GifOptions &options)
{
    access.openKey(GifOptionsKey, true);
    access.writeInteger(ReduceColorsValue, options.ReduceColors ? 1 : 0);
    access.writeInteger(AnimationReduceColorsValue, options.AnimationReduceColors ? 1 : 0);
    access.writeInteger(AnimationOptimizeValue, options.AnimationOptimize ? 1 : 0);
    access.closeKey();
}

void SaveGifOptions(const GifOptions &options)
{
    Registry access;
    SaveGifOptions(access, options);
}

} // namespace kaptiv
