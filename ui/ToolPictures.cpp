// Draws the tool pictures with a graphics context: rounded tiles with a white
// symbol, dark when unchecked and blue when checked.
#include "ToolPictures.h"

#include <cmath>
#include <map>
#include <memory>

#include <wx/graphics.h>
#include <wx/image.h>

namespace zelk {
namespace {

using Gc = wxGraphicsContext;

const wxColour kTileUnchecked(58, 64, 66);
const wxColour kTileChecked(32, 128, 214);
const wxColour kSymbol(255, 255, 255);

void Tile(Gc& gc, const wxColour& fill, const wxColour& border)
{
    gc.SetPen(wxPen(border, 2));
    gc.SetBrush(wxBrush(fill));
    gc.DrawRoundedRectangle(2, 2, 44, 44, 8);
}

void SymbolPen(Gc& gc, double width = 3.0)
{
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(kSymbol, width).Cap(wxCAP_ROUND).Join(wxJOIN_ROUND)));
    gc.SetBrush(*wxTRANSPARENT_BRUSH);
}

// A filled arrow head at (x, y) pointing along angle (radians).
void ArrowHead(Gc& gc, double x, double y, double angle, double size = 7.0)
{
    wxGraphicsPath path = gc.CreatePath();
    path.MoveToPoint(x + std::cos(angle) * size * 0.6, y + std::sin(angle) * size * 0.6);
    path.AddLineToPoint(x + std::cos(angle + 2.4) * size, y + std::sin(angle + 2.4) * size);
    path.AddLineToPoint(x + std::cos(angle - 2.4) * size, y + std::sin(angle - 2.4) * size);
    path.CloseSubpath();
    gc.SetBrush(wxBrush(kSymbol));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.FillPath(path);
}

void Line(Gc& gc, double x1, double y1, double x2, double y2) { gc.StrokeLine(x1, y1, x2, y2); }

// An isometric cube; `face` 0 none, 1 top, 2 front, 3 side is filled with the accent.
void Cube(Gc& gc, int face, const wxColour& accent)
{
    const wxPoint2DDouble top[] = {{24, 8}, {39, 16}, {24, 24}, {9, 16}};
    const wxPoint2DDouble front[] = {{9, 16}, {24, 24}, {24, 41}, {9, 33}};
    const wxPoint2DDouble side[] = {{24, 24}, {39, 16}, {39, 33}, {24, 41}};
    const wxPoint2DDouble* faces[] = {top, front, side};
    for (int i = 0; i < 3; ++i) {
        gc.SetBrush(wxBrush(i + 1 == face ? accent : wxColour(90, 98, 100)));
        gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(kSymbol, 2).Join(wxJOIN_ROUND)));
        gc.DrawLines(4, faces[i]);
        wxGraphicsPath path = gc.CreatePath();
        path.MoveToPoint(faces[i][0]);
        for (int k = 1; k < 4; ++k)
            path.AddLineToPoint(faces[i][k]);
        path.CloseSubpath();
        gc.DrawPath(path);
    }
}

void DrawView(Gc& gc)
{
    // An eye.
    SymbolPen(gc);
    wxGraphicsPath path = gc.CreatePath();
    path.MoveToPoint(9, 24);
    path.AddQuadCurveToPoint(24, 8, 39, 24);
    path.AddQuadCurveToPoint(24, 40, 9, 24);
    gc.StrokePath(path);
    gc.SetBrush(wxBrush(kSymbol));
    gc.DrawEllipse(18.5, 18.5, 11, 11);
}

void DrawMove(Gc& gc)
{
    SymbolPen(gc);
    Line(gc, 24, 10, 24, 38);
    Line(gc, 10, 24, 38, 24);
    ArrowHead(gc, 24, 9, -M_PI / 2);
    ArrowHead(gc, 24, 39, M_PI / 2);
    ArrowHead(gc, 9, 24, M_PI);
    ArrowHead(gc, 39, 24, 0);
}

void DrawRotate(Gc& gc)
{
    SymbolPen(gc);
    wxGraphicsPath path = gc.CreatePath();
    path.AddArc(24, 24, 12, -M_PI / 2 + 0.5, M_PI * 1.45, true);
    gc.StrokePath(path);
    const double end = M_PI * 1.45;
    ArrowHead(gc, 24 + 12 * std::cos(end) + 1, 24 + 12 * std::sin(end) - 1, end + M_PI / 2, 8);
}

void DrawScale(Gc& gc)
{
    SymbolPen(gc, 2);
    gc.DrawRectangle(10, 26, 12, 12);
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(kSymbol, 2).Style(wxPENSTYLE_SHORT_DASH)));
    gc.DrawRectangle(10, 10, 28, 28);
    SymbolPen(gc, 3);
    Line(gc, 20, 28, 34, 14);
    ArrowHead(gc, 35, 13, -M_PI / 4, 8);
}

void DrawGCode(Gc& gc)
{
    // Three stacked layers.
    for (int i = 0; i < 3; ++i) {
        const double y = 14 + i * 8;
        wxGraphicsPath path = gc.CreatePath();
        path.MoveToPoint(24, y - 5);
        path.AddLineToPoint(39, y + 1);
        path.AddLineToPoint(24, y + 7);
        path.AddLineToPoint(9, y + 1);
        path.CloseSubpath();
        gc.SetBrush(wxBrush(i == 0 ? kSymbol : wxColour(255, 255, 255, 140)));
        gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(kSymbol, 1.5).Join(wxJOIN_ROUND)));
        gc.DrawPath(path);
    }
}

void DrawMachineControl(Gc& gc)
{
    // Jog pad: four arrows around a home dot.
    ArrowHead(gc, 24, 10, -M_PI / 2, 9);
    ArrowHead(gc, 24, 38, M_PI / 2, 9);
    ArrowHead(gc, 10, 24, M_PI, 9);
    ArrowHead(gc, 38, 24, 0, 9);
    gc.SetBrush(wxBrush(kSymbol));
    gc.DrawEllipse(19, 19, 10, 10);
}

void DrawImport(Gc& gc)
{
    // Open folder with an arrow going in.
    SymbolPen(gc, 2.5);
    wxGraphicsPath folder = gc.CreatePath();
    folder.MoveToPoint(9, 18);
    folder.AddLineToPoint(9, 37);
    folder.AddLineToPoint(39, 37);
    folder.AddLineToPoint(39, 21);
    folder.AddLineToPoint(23, 21);
    folder.AddLineToPoint(20, 18);
    folder.CloseSubpath();
    gc.StrokePath(folder);
    SymbolPen(gc, 3);
    Line(gc, 24, 7, 24, 27);
    ArrowHead(gc, 24, 29, M_PI / 2, 9);
}

void DrawExport(Gc& gc)
{
    // Tray with an arrow leaving it.
    SymbolPen(gc, 2.5);
    wxGraphicsPath tray = gc.CreatePath();
    tray.MoveToPoint(9, 26);
    tray.AddLineToPoint(9, 38);
    tray.AddLineToPoint(39, 38);
    tray.AddLineToPoint(39, 26);
    gc.StrokePath(tray);
    SymbolPen(gc, 3);
    Line(gc, 24, 31, 24, 12);
    ArrowHead(gc, 24, 10, -M_PI / 2, 9);
}

void DrawStart(Gc& gc)
{
    wxGraphicsPath path = gc.CreatePath();
    path.MoveToPoint(17, 11);
    path.AddLineToPoint(37, 24);
    path.AddLineToPoint(17, 37);
    path.CloseSubpath();
    gc.SetBrush(wxBrush(kSymbol));
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(kSymbol, 2).Join(wxJOIN_ROUND)));
    gc.DrawPath(path);
}

void DrawStop(Gc& gc)
{
    gc.SetBrush(wxBrush(kSymbol));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawRoundedRectangle(14, 14, 20, 20, 3);
}

// A plug and a socket, joined or apart.
void DrawConnection(Gc& gc, bool connected)
{
    const double gap = connected ? 0 : 6;
    SymbolPen(gc, 3);
    // Cable ends.
    Line(gc, 6, 24, 14 - gap, 24);
    Line(gc, 34 + gap, 24, 42, 24);
    // Plug body with two pins.
    gc.SetBrush(wxBrush(kSymbol));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawRoundedRectangle(13 - gap, 16, 9, 16, 2);
    gc.DrawRectangle(22 - gap, 19, 5, 3);
    gc.DrawRectangle(22 - gap, 26, 5, 3);
    // Socket.
    gc.DrawRoundedRectangle(27 + gap, 16, 8, 16, 2);
    if (!connected) {
        SymbolPen(gc, 2);
        Line(gc, 21, 38, 27, 42);
        Line(gc, 27, 38, 21, 42);
    }
}

// Two bars: the print stands.
void DrawPause(Gc& gc)
{
    gc.SetBrush(wxBrush(kSymbol));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawRoundedRectangle(15, 13, 7, 22, 2);
    gc.DrawRoundedRectangle(26, 13, 7, 22, 2);
}

// A thermometer beside a rising line.
void DrawTemperature(Gc& gc)
{
    SymbolPen(gc, 2.5);
    gc.DrawRoundedRectangle(11, 9, 8, 23, 4);
    gc.SetBrush(wxBrush(wxColour(235, 90, 60)));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawEllipse(9, 29, 12, 12);
    gc.DrawRectangle(13.5, 20, 3, 11);
    SymbolPen(gc, 2.5);
    wxGraphicsPath path = gc.CreatePath();
    path.MoveToPoint(24, 37);
    path.AddCurveToPoint(28, 20, 32, 15, 40, 14);
    gc.StrokePath(path);
}

// Stacked layers of a zigzag path, the top one highlighted.
void DrawToolpath(Gc& gc)
{
    for (int layer = 0; layer < 3; ++layer) {
        const double y = 35 - layer * 9;
        gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(layer == 2 ? wxColour(255, 170, 60) : kSymbol, 2.5)
                                   .Cap(wxCAP_ROUND)
                                   .Join(wxJOIN_ROUND)));
        const wxPoint2DDouble zigzag[] = {{9, y}, {15, y - 5}, {21, y}, {27, y - 5}, {33, y}, {39, y - 5}};
        gc.StrokeLines(6, zigzag);
    }
}

using Drawer = void (*)(Gc&);

wxBitmap Draw(unsigned id)
{
    wxImage image(kToolPictureSize, kToolPictureSize);
    image.InitAlpha();
    std::fill_n(image.GetAlpha(), kToolPictureSize * kToolPictureSize, 0);
    {
        std::unique_ptr<Gc> gc(wxGraphicsContext::Create(image));
        if (!gc)
            return wxBitmap();
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
        if (id >= kPicViewTop && id <= kPicViewSide) {
            const int face = id == kPicViewTop ? 1 : id == kPicViewFront ? 2 : 3;
            Cube(*gc, face, kTileChecked);
        } else if (id >= kPicView && id <= kPicMachineControl + 1) {
            const bool checked = (id - kPicView) % 2 == 1;
            Tile(*gc, checked ? kTileChecked : kTileUnchecked, checked ? wxColour(170, 215, 255) : wxColour(120, 128, 130));
            static const Drawer tools[] = {DrawView, DrawMove, DrawRotate, DrawScale, DrawGCode, DrawMachineControl};
            tools[(id - kPicView) / 2](*gc);
        } else {
            switch (id) {
            case kPicImport:
                Tile(*gc, kTileUnchecked, wxColour(120, 128, 130));
                DrawImport(*gc);
                break;
            case kPicExport:
                Tile(*gc, kTileUnchecked, wxColour(120, 128, 130));
                DrawExport(*gc);
                break;
            case kPicStart:
                Tile(*gc, wxColour(46, 160, 67), wxColour(150, 220, 160));
                DrawStart(*gc);
                break;
            case kPicStop:
                Tile(*gc, wxColour(200, 50, 45), wxColour(240, 160, 150));
                DrawStop(*gc);
                break;
            case kPicDisconnected:
                Tile(*gc, kTileUnchecked, wxColour(120, 128, 130));
                DrawConnection(*gc, false);
                break;
            case kPicConnected:
                Tile(*gc, wxColour(46, 160, 67), wxColour(150, 220, 160));
                DrawConnection(*gc, true);
                break;
            case kPicPause:
                Tile(*gc, wxColour(214, 140, 30), wxColour(245, 205, 140));
                DrawPause(*gc);
                break;
            case kPicResume:
                Tile(*gc, wxColour(214, 140, 30), wxColour(245, 205, 140));
                DrawStart(*gc);
                break;
            case kPicTemperature:
            case kPicTemperature + 1:
            case kPicToolpath:
            case kPicToolpath + 1: {
                const bool checked = id == kPicTemperature + 1 || id == kPicToolpath + 1;
                Tile(*gc, checked ? kTileChecked : kTileUnchecked,
                     checked ? wxColour(170, 215, 255) : wxColour(120, 128, 130));
                if (id <= kPicTemperature + 1)
                    DrawTemperature(*gc);
                else
                    DrawToolpath(*gc);
                break;
            }
            default:
                return wxBitmap();
            }
        }
    }
    return wxBitmap(image);
}

}  // namespace

wxBitmap LoadToolPicture(unsigned id)
{
    static std::map<unsigned, wxBitmap> cache;
    const auto found = cache.find(id);
    if (found != cache.end())
        return found->second;
    wxBitmap bitmap = Draw(id);
    if (bitmap.IsOk())
        cache.emplace(id, bitmap);
    return bitmap;
}

}  // namespace zelk
