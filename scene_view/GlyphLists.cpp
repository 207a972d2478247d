// Bitmap glyph display lists for the axis labels: four font sizes of 128 characters each, drawn with wx.
#include "GlyphLists.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/image.h>
#include <GL/gl.h>

#include <vector>

#include "GlCheck.h"

namespace zelk {

namespace {

const int kFontHeights[kGlyphFonts] = {11, 15, 22, 30};

// One glyph as a glBitmap: rows bottom-up, one bit per pixel, byte-aligned rows.
void CompileGlyph(wxMemoryDC& dc, const wxFont& font, wxChar c, unsigned list)
{
    wxCoord w = 0, h = 0, descent = 0;
    wxBitmap measure(1, 1, 24);
    dc.SelectObject(measure);
    dc.SetFont(font);
    dc.GetTextExtent(wxString(c), &w, &h, &descent);
    dc.SelectObject(wxNullBitmap);
    glNewList(list, GL_COMPILE);
    if (w > 0 && h > 0) {
        wxBitmap bitmap(w, h, 24);
        dc.SelectObject(bitmap);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        dc.SetFont(font);
        dc.SetTextForeground(*wxWHITE);
        dc.DrawText(wxString(c), 0, 0);
        dc.SelectObject(wxNullBitmap);
        const wxImage image = bitmap.ConvertToImage();
        const int rowBytes = (w + 7) / 8;
        std::vector<GLubyte> bits(static_cast<std::size_t>(rowBytes) * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (image.GetGreen(x, h - 1 - y) > 127)
                    bits[y * rowBytes + x / 8] |= static_cast<GLubyte>(0x80 >> (x % 8));
        glBitmap(w, h, 0.0f, static_cast<GLfloat>(descent), static_cast<GLfloat>(w), 0.0f, bits.data());
    }
    glEndList();
}

}  // namespace

unsigned BuildGlyphLists(unsigned base)
{
    if (base != 0 && glIsList(base))
        glDeleteLists(base, kGlyphFonts * kGlyphsPerFont);
    base = glGenLists(kGlyphFonts * kGlyphsPerFont);
    if (base == 0)
        return 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    wxMemoryDC dc;
    for (int i = 0; i < kGlyphFonts; ++i) {
        wxFont font(wxFontInfo(wxSize(0, kFontHeights[i])).Family(wxFONTFAMILY_SWISS));
        for (int c = 0; c < kGlyphsPerFont; ++c) {
            const unsigned list = base + kGlyphsPerFont * i + c;
            if (c < 32 || c == 127) {
                glNewList(list, GL_COMPILE);
                glEndList();
            } else {
                CompileGlyph(dc, font, static_cast<wxChar>(c), list);
            }
        }
    }
    ZELK_GL_CHECK();
    return base;
}

}  // namespace zelk
