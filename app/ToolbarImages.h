#pragma once
// The tool bar's small pictures, drawn by the program itself (16 x 16).

#include <QIcon>

namespace kaptiv {

enum class Glyph { Open, Print, Copy, Paste, Screen, Rectangle, Window, ActiveWindow, ActiveClient,
                   CustomRegion, ClientArea, About };

QIcon toolbarGlyph(Glyph glyph);

} // namespace kaptiv
