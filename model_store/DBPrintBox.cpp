// The build volume as an entity: eight corners, drawn as a frame, edges, grid and floor.
#include "DBPrintBox.h"

#include <algorithm>
#include <cmath>

#include "ModelGl.h"
#include "ViewConversion.h"

ZELKDBPrintBox::ZELKDBPrintBox() : ZELKDBEntity(kEntityPrintBox) {}

void ZELKDBPrintBox::GetMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max)
{
    min = max = m_box[0];
    for (const ZELKGePoint3d& c : m_box.corner) {
        for (int a = 0; a < 3; ++a) {
            min[a] = std::min(min[a], c[a]);
            max[a] = std::max(max[a], c[a]);
        }
    }
}

void ZELKDBPrintBox::GetCenterPoint(ZELKGePoint3d& point)
{
    point.Set(0, 0, 0);
    for (const ZELKGePoint3d& c : m_box.corner)
        point += c;
    point = point * (1.0 / 8.0);
}

void ZELKDBPrintBox::Draw()
{
    zelk::gl::SmoothLines(1.0);
    zelk::gl::ShadeFlat();
    zelk::gl::BlendAlpha();
    zelk::gl::Color01(1, 0, 0);
    const std::vector<ZELKGePoint3d> marker = zelk::PrintBoxFaceMarker(m_box);
    zelk::gl::LineStrip(marker.data(), marker.size());

    zelk::gl::PushMatrix();
    const int strips[7][4] = {{0, 1, 2, 3}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6},
                              {4, 5, 6, 7}, {3, 0, 4, 7}, {4, 5, 6, 7}};
    for (const auto& s : strips) {
        zelk::gl::Color01(0, 0, 0);
        const ZELKGePoint3d points[4] = {m_box[s[0]], m_box[s[1]], m_box[s[2]], m_box[s[3]]};
        zelk::gl::LineStrip(points, 4);
    }
    zelk::gl::BlendColor();
    DrawBottomGridLines();
    DrawBottomFace();
    zelk::gl::PopMatrix();
}

void ZELKDBPrintBox::DrawBottomGridLines()
{
    for (const ZELKGeLine& line : zelk::PrintBoxGridLines(m_box)) {
        const ZELKGePoint3d strip[2] = {line.start, line.end};
        zelk::gl::LineStrip(strip, 2);
    }
}

void ZELKDBPrintBox::DrawBottomFace()
{
    zelk::gl::ShadeSmooth();
    zelk::gl::FillBothSides();
    zelk::gl::Color255(255, 0, 0);
    // Lit from the viewer's side: towards the world point under the top-left pixel.
    ZELKGeVector3d normal(0, 0, 1);
    if (ZELKViewConversion* view = zelk::GetViewConversion()) {
        ZELKGePoint3d p;
        view->TransDCSToWCS(ZELKGePoint3d(0, 0, 0.1), p);
        normal = ZELKGeVector3d(p);
        normal.Normalize();
    }
    ZELKGePoint3d c[4];
    for (int i = 0; i < 4; ++i)
        c[i].Set(m_box[i].x, m_box[i].y, m_box[i].z - 0.1);
    const ZELKGePoint3d down[4] = {c[3], c[2], c[1], c[0]};
    zelk::gl::Polygon(down, 4, normal);
    zelk::gl::Polygon(c, 4, normal);
}

namespace zelk {

std::vector<ZELKGeLine> PrintBoxGridLines(const ZELKGePrintBox& box)
{
    std::vector<ZELKGeLine> lines;
    const double z = box[0].z;
    const int across = static_cast<int>(std::floor((box[1].x - box[0].x) / 10.0));
    for (int i = 1; i <= across; ++i) {
        const double x = box[0].x + 10.0 * i;
        lines.emplace_back(ZELKGePoint3d(x, box[0].y, z), ZELKGePoint3d(x, box[3].y, z));
    }
    const int along = static_cast<int>(std::floor((box[2].y - box[1].y) / 10.0));
    for (int j = 1; j <= along; ++j) {
        const double y = box[1].y + 10.0 * j;
        lines.emplace_back(ZELKGePoint3d(box[0].x, y, z), ZELKGePoint3d(box[1].x, y, z));
    }
    return lines;
}

std::vector<ZELKGePoint3d> PrintBoxFaceMarker(const ZELKGePrintBox& box)
{
    const ZELKGePoint3d& c0 = box[0];
    const ZELKGePoint3d& c1 = box[1];
    const ZELKGePoint3d& c4 = box[4];
    const ZELKGePoint3d& c5 = box[5];
    const double w = std::fabs(c1.x - c0.x) + 4.0;
    const double y = c1.y - 2.0;
    const double z = c1.z - 2.0;
    const ZELKGePoint3d first(c0.x - 2.0, c0.y - 2.0, c0.z - 2.0);
    return {first,
            {c0.x + 2.0 + 0.47 * w, y, z},
            {c0.x + 2.0 + 0.5 * w, c1.y - 20.0, z},
            {c0.x + 2.0 + 0.53 * w, y, z},
            {c1.x + 2.0, y, z},
            {c5.x + 2.0, c5.y - 2.0, c5.z + 2.0},
            {c4.x - 2.0, c4.y - 2.0, c4.z + 2.0},
            first};
}

}  // namespace zelk
