// Create Duplicate as: a copy of the active image reduced to 2, 16 or 256 colours, in a window of
// its own. The source window is left as it was.
#include "app/mainSnap.h"
#include "document/ChldSnap.h"
#include "platform/desktop/Desktop.h"
#include "platform/pixels/PixelFormats.h"

namespace kaptiv {

void TScreenfrm::Monochrome2Click(QObject *sender)
{
    TImagefrm *source = active();
    if (!source)
        return;
    const CaptureColors colors = sender == item("Monochrome2") ? CaptureColors::Monochrome
        : sender == item("N16colors2")                         ? CaptureColors::Colors16
                                                       : CaptureColors::Colors256;
    const Bitmap reduced = convertToColors(source->Image->picture().toRgb32(), 32, colors);
    TImagefrm *window = createImageWindow();
    window->setCaption(QStringLiteral("Untitled"));
    // The reduced colours drawn on a picture of the display's own kind, which counts as the
    // colours it was reduced to.
    window->Image->setPicture(inDisplayFormat(reduced.image(), desktop().displayDepth()),
                              source->Image->pictureSize());
    window->ColorCount = GetColorCount(reduced);
    CheckAutosize(*window);
    describe(*window);
}

} // namespace kaptiv
