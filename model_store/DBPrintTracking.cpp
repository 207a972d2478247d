// Mouse-drag steps of a printable model, applied when it is next drawn: move, rotate about its vertical, scale.
#include <algorithm>
#include <cmath>

#include "DBPrint.h"
#include "ModelGl.h"
#include "ViewConversion.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPending = 0x10;
constexpr int kKeepPending = 0x2f;  // clears the step-pending bit
constexpr int kDragging = 0x21;
constexpr int kEnding = 0x22;
constexpr double kLargestScale = 5.0;

// The pivot of the current rotate drag, shared by every model being rotated.
ZELKGePoint3d g_rotatePivot;

void RubberBand(const ZELKGePoint3d& from, const ZELKGePoint3d& to)
{
    const ZELKGePoint3d strip[2] = {from, to};
    zelk::gl::Color255(128, 128, 0);
    zelk::gl::LineStrip(strip, 2);
}

}  // namespace

int ZELKDBPrint::GetTrackViewTransPoint(ZELKGePoint3d& first, ZELKGePoint3d& second)
{
    return zelk::GroundPoints(zelk::GetViewConversion(), m_trackFirst, m_trackSecond, first, second);
}

void ZELKDBPrint::TrackMove()
{
    ZELKGePoint3d g1, g2;
    const int ground = GetTrackViewTransPoint(g1, g2);
    if (m_trackFlags & kPending) {
        if (ground)
            Move(g1, g2);
        m_trackFlags &= kKeepPending;
    }
    if (m_trackFlags == kDragging) {
        if (ground)
            RubberBand(m_trackAnchor, g2);
    } else if (m_trackFlags == kEnding) {
        m_trackMode = 0;
        ApplyPendingTransform();  // the drag is over: the vertices catch up once
    }
}

void ZELKDBPrint::TrackRotate()
{
    ZELKGePoint3d g1, g2;
    const int ground = GetTrackViewTransPoint(g1, g2);
    ZELKGePoint3d c;
    GetCenterPoint(c);
    if (m_trackFlags & kPending) {
        if ((m_trackFlags & 0x0f) == 0 && ground) {
            g_rotatePivot = c;
            m_trackAnchor = g1;
        }
        m_trackFlags &= kKeepPending;
        ZELKGeVector3d u(g1.x - g_rotatePivot.x, g1.y - g_rotatePivot.y, 0.0);
        ZELKGeVector3d v(g2.x - g_rotatePivot.x, g2.y - g_rotatePivot.y, 0.0);
        u.Normalize();
        v.Normalize();
        const double angle = u.AngleTo(v);
        if (ground && angle > 1e-8) {
            ZELKGeMatrix3d r;
            r.Rotation(angle * 180.0 / kPi, u.CrossProduct(v), c);
            TransFromBy(r);
        }
    }
    if (m_trackFlags == 0x20 && ground)
        m_trackAnchor = g1;
    else if (m_trackFlags == kEnding) {
        m_trackMode = 0;
        ApplyPendingTransform();  // the drag is over: the vertices catch up once
    }
    if (m_trackFlags == kDragging && ground)
        DrawRotateSRC(m_trackAnchor, g2, m_trackCenter);
}

void ZELKDBPrint::TrackScale()
{
    ZELKViewConversion* view = zelk::GetViewConversion();
    if ((m_trackFlags & kPending) && view != nullptr) {
        // A new drag starts from the model as it is, whatever an unfinished one left.
        if ((m_trackFlags & 0x0f) == 0)
            m_trackScale.Reset();
        view->TransDCSToWCS(ZELKGePoint3d(m_trackFirst.x, m_trackFirst.y, 0.5), m_trackScaleFirst);
        view->TransDCSToWCS(ZELKGePoint3d(m_trackSecond.x, m_trackSecond.y, 0.5), m_trackScaleSecond);
        const double f = std::min(0.1 * m_trackScaleFirst.DistanceTo(m_trackScaleSecond), kLargestScale);
        if (std::fabs(f) > 1e-5) {
            ZELKGeMatrix3d undo = m_trackScale;
            undo.Inverse();
            TransformMesh(undo);  // the box follows with the new scaling below
            ZELKGePoint3d c;
            GetCenterPoint(c);
            m_trackScale.Scaling(f, c);
            TransFromBy(m_trackScale);
        }
    }
    m_trackFlags &= kKeepPending;
    if (m_trackFlags == kDragging) {
        RubberBand(m_trackScaleFirst, m_trackScaleSecond);
    } else if (m_trackFlags == kEnding) {
        m_trackScale.Reset();
        m_trackMode = 0;
        ApplyPendingTransform();  // the drag is over: the vertices catch up once
    }
}
