// Rectangles of windows: moving by an absolute or relative geometry, the rectangle text
// ("RectSpec"), and the geometry of a rectangle drawn by the user.
#pragma once

#include <cstdint>

#include "raw/string.h"
#include "tool/options.h"
#include "tool/selection.h"

namespace ToolLayer {

// The rectangle a window with rectangle `current` gets from the geometry:
// x puts the left edge at x keeping the width, X moves both edges by X (y / Y alike);
// w makes right = left + w, W makes right = left + (width before the move) + W (h / H
// alike). Sums are taken in 64 bits and held at the 32-bit limits.
RawRect ApplyGeometry(const ToolGeometry& geometry, const RawRect& current);

// "-x <left> -y <top> -w <width> -h <height>", a negative number written "#" and its
// absolute value: "-x #8 -y 0 -w 1936 -h 1056".
RawString RectSpecText(const RawRect& rect);

// Sets the absolute geometry of a drawn rectangle's placement (PlaceDrawnRect); false,
// leaving the geometry, when the drawing is to be ignored.
[[nodiscard]] bool ApplyDrawnPlacement(const GuiDrawnPlacement& placement, ToolGeometry& geometry);

}  // namespace ToolLayer
