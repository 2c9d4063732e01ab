#pragma once
// The GIF options that go beyond the image format options and the builder's boxes, kept in a
// settings group of their own ([GIF Options] of the settings file). Each value is read with its
// default when the group or the value is absent, so a settings file from before them loads as it
// did; they are written when the dialog's OK or the builder's Save is pressed.

#include "platform/store/Registry.h"

#include <QString>

namespace kaptiv {

inline const QString GifOptionsKey = QStringLiteral("Software\\Quillmar\\Kaptiv\\GIF Options");

struct GifOptions {
    // "Reduce colors to fit": a picture of more than 256 colours gets an adaptive table (with
    // dithering) instead of being refused.
    bool ReduceColors = false;          // Save As GIF, from the image format options
    bool AnimationReduceColors = false; // the animation builder's
    // "Optimize file size": the builder stores each frame as what it changes on screen.
    bool AnimationOptimize = false;
};

// The stored options; defaults for any value absent or not a number (and, without a registry
// access of the caller's, for a settings file that cannot be read).
GifOptions LoadGifOptions();
GifOptions LoadGifOptions(Registry &access);
// Raises ERegistryError naming the file when it cannot be written.
void SaveGifOptions(const GifOptions &options);
void SaveGifOptions(Registry &access, const GifOptions &options);

} // namespace kaptiv
