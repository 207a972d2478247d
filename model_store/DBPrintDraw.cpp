// How a printable model draws itself: pending drag step, selection box, then its triangles.
#include <cmath>

#include "DBPrint.h"
#include "ModelGl.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
const GLColor kOutsideColor{200.0f, 0.0f, 200.0f};
const GLColor kBoxEdgeColor{128.0f, 0.0f, 128.0f};
const GLColor kGaugeColor{128.0f, 128.0f, 0.0f};
constexpr double kGaugeRadius = 50.0;

}  // namespace

void ZELKDBPrint::Draw()
{
    if (m_trackFlags & 0x20) {
        switch (m_trackMode) {
        case 1: TrackMove(); break;
        case 2: TrackRotate(); break;
        case 3: TrackScale(); break;
        default: break;
        }
    }
    GLColor color = m_color;
    if (m_selectState == 1)
        DrawMaxBox();
    if (!PrintObjectInPlatform())
        color = kOutsideColor;
    if (m_showType == 0)
        return;
    DrawTriangles(color);
}

void ZELKDBPrint::DrawTriangles(const GLColor& color)
{
    zelk::gl::PushMatrix();
    zelk::gl::ShadeSmooth();
    zelk::gl::Color255(color);
    if (zelk::GetMeshDrawing() == zelk::MeshDrawing::Immediate) {
        ApplyPendingTransform();
        zelk::gl::TrianglesImmediate(m_print);
    } else {
        PrepareDrawing();
        zelk::gl::MultMatrix(m_drawTransform);
        zelk::gl::Triangles(m_vertexArray, m_buffers);
    }
    zelk::gl::PopMatrix();
}

bool ZELKDBPrint::IsDrawingPrepared() const
{
    // The cache follows transforms through the drawing transform; a new
    // mesh, or a mirroring (which swaps the vertex order), rebuilds it.
    return m_vertexArray.IsCurrent(m_meshRevision) && m_drawTransform.Determinant3x3() >= 0;
}

void ZELKDBPrint::PrepareDrawing(bool secondThread)
{
    if (IsDrawingPrepared())
        return;
    ApplyPendingTransform();
    m_vertexArray.Build(m_print, m_meshRevision, secondThread);
    m_drawTransform.Reset();
}

void ZELKDBPrint::DrawMaxBox()
{
    const ZELKGePoint3d& a = m_boxMin;
    const ZELKGePoint3d& b = m_boxMax;
    const ZELKGePoint3d c[8] = {{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z},
                                {a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}};
    const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                              {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    zelk::gl::PushMatrix();
    zelk::gl::BlendAlpha();
    for (const auto& e : edges)
        DrawLine(c[e[0]], c[e[1]]);
    zelk::gl::BlendOff();
    zelk::gl::PopMatrix();
}

void ZELKDBPrint::DrawLine(ZELKGePoint3d a, ZELKGePoint3d b)
{
    zelk::gl::SmoothLines();
    zelk::gl::Color255(kBoxEdgeColor);
    zelk::gl::LineSingle(a, b);
}

int ZELKDBPrint::DrawRotateSRC(const ZELKGePoint3d&, const ZELKGePoint3d& current, const ZELKGePoint3d& centre)
{
    zelk::gl::Color255(kGaugeColor);
    ZELKGeVector3d direction(current.x - centre.x, current.y - centre.y, 0.0);
    direction.Normalize();
    const ZELKGePoint3d ray[2] = {{centre.x, centre.y, 0.0},
                                  {centre.x + kGaugeRadius * direction.x, centre.y + kGaugeRadius * direction.y, 0.0}};
    zelk::gl::LineStrip(ray, 2);
    ZELKGePoint3d circle[359];
    for (int i = 1; i <= 359; ++i) {
        const double r = i * kPi / 180.0;
        circle[i - 1].Set(centre.x + kGaugeRadius * std::sin(r), centre.y + kGaugeRadius * std::cos(r), 0.0);
    }
    zelk::gl::LineStrip(circle, 359);
    return 0;
}

void ZELKDBPrint::DrawBottom()
{
    const ZELKGePoint3d quad[4] = {{m_boxMin.x, m_boxMin.y, 0.1},
                                   {m_boxMin.x, m_boxMax.y, 0.1},
                                   {m_boxMax.x, m_boxMax.y, 0.1},
                                   {m_boxMax.x, m_boxMin.y, 0.1}};
    zelk::gl::PushMatrix();
    zelk::gl::Color255(255, 0, 0);
    zelk::gl::Quad(quad);
    zelk::gl::PopMatrix();
}
