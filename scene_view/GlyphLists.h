// Bitmap glyph display lists for the axis labels: four font sizes of 128 characters each, drawn with wx.
#pragma once

namespace zelk {

constexpr int kGlyphFonts = 4;
constexpr int kGlyphsPerFont = 128;

// Deletes the lists at `base` when it names one, then builds 512 new lists:
// font i (pixel heights 11, 15, 22, 30) holds character c at base + 128 i + c
// as a glBitmap that advances the raster position by the glyph's width.
// Needs a current context; returns the new base (0 when none could be made).
unsigned BuildGlyphLists(unsigned base);

}  // namespace zelk
