// Icons drawn with lines and ellipses, for systems without the icon font (Windows 7 and Wine
// have no "Segoe MDL2 Assets"): the glyphs the screens use get a simple drawn likeness so that
// no icon vanishes.
#pragma once
#include <cstdint>

#include "ui/canvas.h"

// Whether drawIconShape knows glyph.
bool hasIconShape(wchar_t glyph);

// Draws glyph's likeness in an em box of size units centred in rect; false (nothing drawn)
// for a glyph it does not know.
bool drawIconShape(Canvas& c, wchar_t glyph, RectF rect, float size, std::uint32_t rgb,
                   float opacity);
