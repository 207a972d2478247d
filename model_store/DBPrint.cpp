// A printable model: its mesh in world coordinates, its transforms since the last reset, and its fit on the platform.
#include "DBPrint.h"

#include <algorithm>
#include <cmath>

#include "GeBuildVolume.h"
#include "ViewConversion.h"

namespace {

constexpr double kSmallestSize = 3.0;      // a scaled model stays at least this long
constexpr double kNoExtent = 1e-9;         // below this an axis has no size to scale

const ZELKGePoint3d kOrigin(0.0, 0.0, 0.0);

}  // namespace

ZELKDBPrint::ZELKDBPrint(const ZELKGePrint& mesh)
    : ZELKDBEntity(kEntityPrint), m_print(mesh), m_source(std::make_shared<const ZELKGePrint>(mesh))
{
    GetMinMaxPoint();
    m_center = (m_boxMin + m_boxMax) * 0.5;
}

ZELKDBPrint::ZELKDBPrint(ZELKGePrint&& mesh)
    : ZELKDBEntity(kEntityPrint), m_source(std::make_shared<const ZELKGePrint>(std::move(mesh)))
{
    m_print = *m_source;
    GetMinMaxPoint();
    m_center = (m_boxMin + m_boxMax) * 0.5;
}

ZELKDBPrint::~ZELKDBPrint() = default;

void ZELKDBPrint::RefreshRunBoxes() const
{
    const std::size_t facets = m_print.GetGePrint().size();
    if (m_runBoxesCurrent && m_runBoxesRevision == m_meshRevision && m_runBoxesFacets == facets)
        return;
    m_runBoxes.Build(m_print);
    m_runBoxesCurrent = true;
    m_runBoxesRevision = m_meshRevision;
    m_runBoxesFacets = facets;
}

void ZELKDBPrint::GetMinMaxPoint()
{
    RefreshRunBoxes();
    m_runBoxes.TransformedBox(m_print, m_pending, m_boxMin, m_boxMax);
}

void ZELKDBPrint::TransformMesh(const ZELKGeMatrix3d& matrix)
{
    m_pending *= matrix;
    m_hasPending = true;
    m_drawTransform *= matrix;
}

void ZELKDBPrint::Rebase() const
{
    if (!m_sourceStale)
        return;
    m_source = std::make_shared<const ZELKGePrint>(m_print);
    m_baked.Reset();
    m_sourceStale = false;
}

void ZELKDBPrint::DeriveVertices() const
{
    m_print = *m_source;  // the vectors keep their storage: no new allocation
    if (!m_baked.IsIdentity(0.0))
        m_print.TransformBy(m_baked);
}

void ZELKDBPrint::ApplyPendingTransform() const
{
    if (!m_hasPending)
        return;
    // Vertices still equal to their source need no fresh copy of it.
    const bool verticesAreSource = !m_sourceStale && m_baked.IsIdentity(0.0);
    Rebase();
    m_baked *= m_pending;
    if (verticesAreSource && !m_baked.IsIdentity(0.0))
        m_print.TransformBy(m_baked);
    else
        DeriveVertices();
    m_pending.Reset();
    m_hasPending = false;
    m_runBoxesCurrent = false;
    RefreshRunBoxes();  // now rather than at the first step of the next edit
}

void ZELKDBPrint::GetMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max)
{
    min = m_boxMin;
    max = m_boxMax;
}

void ZELKDBPrint::Move(ZELKGePoint3d from, const ZELKGePoint3d& to)
{
    MoveLeavingBox(from, to);
    GetMinMaxPoint();
}

void ZELKDBPrint::MoveLeavingBox(const ZELKGePoint3d& from, const ZELKGePoint3d& to)
{
    ZELKGeMatrix3d t;
    t.Move(from, to);
    TransformMesh(t);
    m_center += to - from;
    m_moveMatrix *= t;
}

void ZELKDBPrint::Move(const ZELKGePoint3d& delta)
{
    Move(kOrigin, delta);
}

void ZELKDBPrint::InitialMove(ZELKGePoint3d from, const ZELKGePoint3d& to)
{
    ZELKGeMatrix3d t;
    t.Move(from, to);
    TransformMesh(t);
    m_center += to - from;
    GetMinMaxPoint();
}

void ZELKDBPrint::RotateBy(double angleDeg, const ZELKGeVector3d& axis, const ZELKGePoint3d& center)
{
    MoveLeavingBox(center, kOrigin);
    ZELKGeMatrix3d r;
    r.Rotation(angleDeg, axis, kOrigin);
    TransformMesh(r);
    MoveLeavingBox(kOrigin, center);
    m_rotateMatrix *= r;
    GetMinMaxPoint();
}

void ZELKDBPrint::ScaleBy(const ZELKGeMatrix3d& scaling)
{
    const ZELKGePoint3d c = m_center;
    MoveLeavingBox(c, kOrigin);
    TransformMesh(scaling);
    MoveLeavingBox(kOrigin, c);
    m_scaleMatrix *= scaling;
    GetMinMaxPoint();
}

void ZELKDBPrint::Scale(double factor)
{
    ZELKGeMatrix3d s;
    s.Scaling(factor, kOrigin);
    ScaleBy(s);
}

void ZELKDBPrint::Scale(double factor, Axis_ScaleDirection axis)
{
    ZELKGeMatrix3d s;
    s.ScalingOnAxis(factor, axis, kOrigin);
    ScaleBy(s);
}

void ZELKDBPrint::TransFromBy(const ZELKGeMatrix3d& matrix)
{
    TransformMesh(matrix);
    GetMinMaxPoint();
}

void ZELKDBPrint::SetPrint(const ZELKGePrint& mesh)
{
    m_source = std::make_shared<const ZELKGePrint>(mesh);
    m_baked.Reset();
    m_sourceStale = false;
    m_print = mesh;
    m_pending.Reset();
    m_hasPending = false;
    ++m_meshRevision;
    GetMinMaxPoint();
}

void ZELKDBPrint::GetCenterPoint(ZELKGePoint3d& point)
{
    point = m_center;
}

void ZELKDBPrint::GetCenterPointBoundingBox(ZELKGePoint3d& point)
{
    point = (m_boxMin + m_boxMax) * 0.5;
}

void ZELKDBPrint::TrackTranslation(ZELKGePoint3d first, ZELKGePoint3d second, int mode, int phase)
{
    m_trackMode = mode;
    m_trackFirst = first;
    m_trackSecond = second;
    m_trackFlags = phase;
    if (m_runBoxesRevision != m_meshRevision)  // the mesh was handed out for change
        GetMinMaxPoint();
    GetCenterPoint(m_trackCenter);
    if (phase == 0) {
        ZELKGePoint3d groundFirst, groundSecond;
        if (zelk::GroundPoints(zelk::GetViewConversion(), first, second, groundFirst, groundSecond))
            m_trackAnchor = groundFirst;
    }
    m_trackFlags |= 0x30;
}

void ZELKDBPrint::ResettingModelMove()
{
    m_moveMatrix.Inverse();
    TransFromBy(m_moveMatrix);
    m_center.TransformBy(m_moveMatrix);
    m_moveMatrix.Reset();
}

void ZELKDBPrint::ResetAboutCenter(ZELKGeMatrix3d& record)
{
    const ZELKGePoint3d c = m_center;
    MoveLeavingBox(c, kOrigin);
    record.Inverse();
    TransformMesh(record);
    record.Reset();
    MoveLeavingBox(kOrigin, c);
    GetMinMaxPoint();
}

void ZELKDBPrint::ResettingModelRotate()
{
    ResetAboutCenter(m_rotateMatrix);
}

void ZELKDBPrint::ResettingModelScalse()
{
    ResetAboutCenter(m_scaleMatrix);
    m_scaleValueAxis[0] = m_scaleValueAxis[1] = m_scaleValueAxis[2] = 100;
    m_scaleValue = 100;
}

int ZELKDBPrint::PrintObjectInPlatform() const
{
    return ZELKGeBuildVolume{m_platformMin, m_platformMax}.Holds(m_boxMin, m_boxMax) ? 1 : 0;
}

int ZELKDBPrint::IsInPlatform()
{
    return PrintObjectInPlatform();
}

int ZELKDBPrint::IsOnPlarform()
{
    return ZELKGeBuildVolume::OnPlate(m_boxMin) ? 1 : 0;
}

void ZELKDBPrint::SetPlatformMinMaxPoint(const ZELKGePoint3d& min, const ZELKGePoint3d& max)
{
    m_platformMin = min;
    m_platformMax = max;
    for (int a = 0; a < 3; ++a) {
        const double size = m_boxMax[a] - m_boxMin[a];
        const double platform = m_platformMax[a] - m_platformMin[a];
        if (size < kNoExtent) {
            // A flat model cannot be scaled along its missing axis: keep it as it is.
            m_scaleRange[2 * a] = m_scaleRange[2 * a + 1] = 1.0;
            continue;
        }
        m_scaleRange[2 * a] = kSmallestSize / size;
        m_scaleRange[2 * a + 1] = platform / size;
    }
}

void ZELKDBPrint::GetXScaleRange(double& min, double& max) const
{
    min = m_scaleRange[0];
    max = m_scaleRange[1];
}

void ZELKDBPrint::GetYScaleRange(double& min, double& max) const
{
    min = m_scaleRange[2];
    max = m_scaleRange[3];
}

void ZELKDBPrint::GetZScaleRange(double& min, double& max) const
{
    min = m_scaleRange[4];
    max = m_scaleRange[5];
}

void ZELKDBPrint::GetScaleRange(double& min, double& max) const
{
    const double platform = m_platformMin.DistanceTo(m_platformMax);
    const double model = m_boxMin.DistanceTo(m_boxMax);
    max = model < kNoExtent ? 1.0 : platform / model;
    // The smallest side of the model stays kSmallestSize long: a model already
    // smaller than that cannot shrink at all.
    double smallest = INFINITY;
    for (int a = 0; a < 3; ++a) {
        const double size = m_boxMax[a] - m_boxMin[a];
        if (size >= kNoExtent)
            smallest = std::min(smallest, size);
    }
    min = std::isinf(smallest) || smallest < kSmallestSize ? 1.0 : kSmallestSize / smallest;
    max = std::max(max, min);
}

void ZELKDBPrint::AxisRange(double lo, double hi, double platformLo, double platformHi, double& min, double& max)
{
    const double half = (hi - lo) / 2.0;
    min = platformLo + half;
    max = platformHi - half;
}

void ZELKDBPrint::GetXMoveRange(double& min, double& max) const
{
    AxisRange(m_boxMin.x, m_boxMax.x, m_platformMin.x, m_platformMax.x, min, max);
}

void ZELKDBPrint::GetYMoveRange(double& min, double& max) const
{
    AxisRange(m_boxMin.y, m_boxMax.y, m_platformMin.y, m_platformMax.y, min, max);
}

void ZELKDBPrint::GetZMoveRange(double& min, double& max) const
{
    AxisRange(m_boxMin.z, m_boxMax.z, m_platformMin.z, m_platformMax.z, min, max);
}

bool ZELKDBPrint::TransformState::SameAs(const TransformState& other) const
{
    auto same = [](const ZELKGeMatrix3d& a, const ZELKGeMatrix3d& b) { return a.MaxDifference(b) == 0.0; };
    auto samePoint = [](const ZELKGePoint3d& a, const ZELKGePoint3d& b) {
        return a.x == b.x && a.y == b.y && a.z == b.z;
    };
    return source == other.source && same(baked, other.baked) && same(pending, other.pending) &&
           hasPending == other.hasPending && same(moveMatrix, other.moveMatrix) &&
           same(rotateMatrix, other.rotateMatrix) && same(scaleMatrix, other.scaleMatrix) &&
           samePoint(center, other.center) && samePoint(boxMin, other.boxMin) && samePoint(boxMax, other.boxMax) &&
           std::equal(degrees, degrees + 3, other.degrees) &&
           std::equal(scaleValueAxis, scaleValueAxis + 3, other.scaleValueAxis) && scaleValue == other.scaleValue;
}

ZELKDBPrint::TransformState ZELKDBPrint::GetTransformState() const
{
    Rebase();
    TransformState state;
    state.source = m_source;
    state.baked = m_baked;
    state.pending = m_pending;
    state.hasPending = m_hasPending;
    state.moveMatrix = m_moveMatrix;
    state.rotateMatrix = m_rotateMatrix;
    state.scaleMatrix = m_scaleMatrix;
    state.center = m_center;
    state.boxMin = m_boxMin;
    state.boxMax = m_boxMax;
    std::copy(m_degrees, m_degrees + 3, state.degrees);
    std::copy(m_scaleValueAxis, m_scaleValueAxis + 3, state.scaleValueAxis);
    state.scaleValue = m_scaleValue;
    return state;
}

void ZELKDBPrint::SetTransformState(const TransformState& state)
{
    if (state.source == nullptr)
        return;
    Rebase();
    if (state.source == m_source && m_baked.MaxDifference(state.baked) == 0.0) {
        // The same vertices: the cached drawing follows by its transform.
        ZELKGeMatrix3d undoPending = m_pending;
        undoPending.Inverse();
        m_drawTransform = m_drawTransform * undoPending * state.pending;
    } else {
        m_source = state.source;
        m_baked = state.baked;
        DeriveVertices();
        m_runBoxesCurrent = false;
        ++m_meshRevision;  // other vertices: the drawing is rebuilt
        m_drawTransform = state.pending;
    }
    m_pending = state.pending;
    m_hasPending = state.hasPending;
    m_moveMatrix = state.moveMatrix;
    m_rotateMatrix = state.rotateMatrix;
    m_scaleMatrix = state.scaleMatrix;
    m_center = state.center;
    std::copy(state.degrees, state.degrees + 3, m_degrees);
    std::copy(state.scaleValueAxis, state.scaleValueAxis + 3, m_scaleValueAxis);
    m_scaleValue = state.scaleValue;
    m_trackMode = 0;
    m_trackFlags = 0;
    m_trackScale.Reset();
    RefreshRunBoxes();
    m_boxMin = state.boxMin;
    m_boxMax = state.boxMax;
}
