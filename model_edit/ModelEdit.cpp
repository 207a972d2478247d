// The model-editing service: moves, rotates, scales, lands, resets and arranges the models of the entity database.
#include "ModelEdit.h"

#include <algorithm>
#include <cmath>

#include "DBPrint.h"
#include "EditHistory.h"
#include "EntityDatabase.h"
#include "FileIni.h"
#include "Layout.h"
#include "ProgramFolder.h"
#include "StringConvert.h"

namespace {

constexpr double kRestingTolerance = 0.01;  // how close to z = 0 counts as standing on the platform
constexpr double kSameCoordinate = 1e-6;

double MinZ(ZELKDBPrint* model)
{
    ZELKGePoint3d lo, hi;
    model->GetMinMaxPoint(lo, hi);
    return lo.z;
}

bool IsResting(ZELKDBPrint* model)
{
    return std::fabs(MinZ(model)) <= kRestingTolerance;
}

// Puts the lowest point on z = 0 without recording a user move.
void StandOnPlatform(ZELKDBPrint* model)
{
    model->InitialMove(ZELKGePoint3d(0, 0, MinZ(model)), ZELKGePoint3d(0, 0, 0));
}

ZELKGeVector3d AxisVector(int axis)
{
    ZELKGeVector3d v;
    v[axis] = 1.0;
    return v;
}

// The profile's platform size, as the loader reads it.
void PlatformFromProfile(ZELKGePoint3d& lo, ZELKGePoint3d& hi)
{
    double size[3] = {zelk::kDefaultPlatformMm, zelk::kDefaultPlatformMm, zelk::kDefaultPlatformMm};
    if (ZELKFileIni* ini = ZELKFileIni::GetFileIniObject())
        zelk::ReadPlatformSize(*ini, size[0], size[1], size[2]);
    lo.Set(-size[0] / 2, -size[1] / 2, 0);
    hi.Set(size[0] / 2, size[1] / 2, size[2]);
}

// The uniform factor recorded since the last scale reset (the cube root of the volume change).
double RecordedScale(ZELKDBPrint* model)
{
    const double det = model->GetScaleMatrix().Determinant3x3();
    return det > 0.0 ? std::cbrt(det) : 1.0;
}

std::string BaseNameWithoutExtension(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        base.erase(dot);
    return base.empty() ? std::string("model") : base;
}

}  // namespace

ZELKModelEdit* ZELKModelEdit::m_modelEdit = nullptr;

ZELKModelEdit* ZELKModelEdit::GetModelEditObject()
{
    // Constructed once; a static object cannot fail to exist, so callers never see null.
    static ZELKModelEdit service(nullptr);
    m_modelEdit = &service;
    return m_modelEdit;
}

ZELKModelEdit::ZELKModelEdit(ZELDBEntityDatabase* database, zelk::EditHistory* history)
    : m_database(database), m_history(history)
{
}

ZELKModelEdit::~ZELKModelEdit() = default;

zelk::EditHistory& ZELKModelEdit::History()
{
    if (m_history != nullptr)
        return *m_history;
    if (m_database == nullptr || m_database == ZELDBEntityDatabase::GetInterFace())
        return zelk::EditHistory::ProcessWide();
    if (m_ownHistory == nullptr)
        m_ownHistory = std::make_unique<zelk::EditHistory>(m_database);
    return *m_ownHistory;
}

void ZELKModelEdit::RecordAddedModels(const std::vector<int>& ids)
{
    History().RecordAdded(ids);
}

int ZELKModelEdit::RemoveSelectedModels()
{
    return History().Remove(IdsOf(SelectedModels()));
}

std::vector<int> ZELKModelEdit::IdsOf(const std::vector<ZELKDBPrint*>& models)
{
    std::vector<int> ids;
    for (const ZELKDBPrint* m : models)
        ids.push_back(m->GetEventId());
    return ids;
}

ZELDBEntityDatabase* ZELKModelEdit::Database() const
{
    return m_database != nullptr ? m_database : ZELDBEntityDatabase::GetInterFace();
}

std::vector<ZELKDBPrint*> ZELKModelEdit::SelectedModels() const
{
    std::vector<ZELKDBPrint*> models;
    if (ZELDBEntityDatabase* db = Database())
        for (const auto& [id, entity] : db->GetSelectEntity())
            if (entity != nullptr && entity->GetEventType() == kEntityPrint)
                models.push_back(static_cast<ZELKDBPrint*>(entity));
    return models;
}

std::vector<ZELKDBPrint*> ZELKModelEdit::AllModels() const
{
    std::vector<ZELKDBEntity*> entities;
    if (ZELDBEntityDatabase* db = Database())
        db->FindEntity(kEntityPrint, entities);
    std::vector<ZELKDBPrint*> models;
    for (ZELKDBEntity* e : entities)
        models.push_back(static_cast<ZELKDBPrint*>(e));
    return models;
}

bool ZELKModelEdit::CommonBox(const std::vector<ZELKDBPrint*>& models, ZELKGePoint3d& lo, ZELKGePoint3d& hi)
{
    if (models.empty())
        return false;
    models.front()->GetMinMaxPoint(lo, hi);
    for (ZELKDBPrint* m : models) {
        ZELKGePoint3d a, b;
        m->GetMinMaxPoint(a, b);
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], a[k]);
            hi[k] = std::max(hi[k], b[k]);
        }
    }
    return true;
}

void ZELKModelEdit::PlatformOf(const std::vector<ZELKDBPrint*>& models, ZELKGePoint3d& lo, ZELKGePoint3d& hi)
{
    if (!models.empty()) {
        models.front()->GetPlatformMinMaxPoint(lo, hi);
        if (hi.x - lo.x >= 1.0 && hi.y - lo.y >= 1.0 && hi.z - lo.z >= 1.0)
            return;
    }
    PlatformFromProfile(lo, hi);
}

int ZELKModelEdit::GetPrintModelNumber()
{
    ZELDBEntityDatabase* db = Database();
    return db != nullptr ? db->GetCount(kEntityPrint) : 0;
}

int ZELKModelEdit::GetPrintModelPathAndCount(std::string& path, int& count)
{
    const std::vector<ZELKDBPrint*> models = AllModels();  // in id order: the first is the first loaded
    count = static_cast<int>(models.size());
    path.clear();
    const std::string folder = count > 0 ? zelk::WorkingFolder() : std::string();
    if (!folder.empty())
        path = folder + BaseNameWithoutExtension(models.front()->GetName()) + ".stl";
    return count;
}

int ZELKModelEdit::GetPrintModelPathAndCount(std::wstring& path, int& count)
{
    std::string narrow;
    GetPrintModelPathAndCount(narrow, count);
    path = ZELKCAD::MultiByteToWideChar_ZELK(narrow.c_str());
    return count;
}

int ZELKModelEdit::MoveSelection(double value, int axis)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    ZELKGePoint3d lo, hi;
    if (!CommonBox(models, lo, hi) || axis < 0 || axis > 2 || !std::isfinite(value))
        return 0;
    ZELKGePoint3d delta;
    delta[axis] = value - (lo[axis] + hi[axis]) / 2.0;
    for (ZELKDBPrint* m : models)
        m->Move(delta);
    return 1;
}

int ZELKModelEdit::TurnOrScaleSelection(EditModelStyle style, double value, int axis)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (models.empty() || !std::isfinite(value))
        return 0;
    if (style == EDIT_ROTATE && (axis < 0 || axis > 2))
        return 0;
    if (style == EDIT_SCALE && (axis != AXIS_ALL || value <= 0.0))
        return 0;
    // A group turns or scales about the centre of its common box: each model
    // about its own centre, then moved to where the group's transform takes that centre.
    ZELKGePoint3d groupCentre;
    const bool group = models.size() > 1 && GetSelectedModelCenterPoint(groupCentre) != 0;
    ZELKGeMatrix3d groupTransform;
    if (style == EDIT_ROTATE)
        groupTransform.Rotation(value, AxisVector(axis), groupCentre);
    else
        groupTransform.Scaling(value, groupCentre);
    for (ZELKDBPrint* m : models) {
        const bool resting = IsResting(m);
        ZELKGePoint3d c;
        m->GetCenterPoint(c);
        if (style == EDIT_ROTATE)
            m->RotateBy(value, AxisVector(axis), c);
        else
            m->Scale(value);
        if (group) {
            const ZELKGePoint3d orbit = groupTransform.TransformPoint(c);
            m->Move(c, orbit);
        }
        if (resting)
            StandOnPlatform(m);
    }
    return 1;
}

int ZELKModelEdit::ModelEdit(EditModelStyle style, double value, AxisDirection axis)
{
    const zelk::EditKind kind = style == EDIT_MOVE     ? zelk::EditKind::Move
                                : style == EDIT_ROTATE ? zelk::EditKind::Rotate
                                                       : zelk::EditKind::Scale;
    zelk::EditHistory::Edit step(History(), kind, IdsOf(SelectedModels()));
    int done = 0;
    switch (style) {
    case EDIT_MOVE: done = MoveSelection(value, axis); break;
    case EDIT_ROTATE:
    case EDIT_SCALE: done = TurnOrScaleSelection(style, value, axis); break;
    }
    if (done != 0)
        step.Commit();
    return done;
}

int ZELKModelEdit::ModelResettingOperation(EditModelStyle style)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (models.empty() || style < EDIT_MOVE || style > EDIT_SCALE)
        return 0;
    zelk::EditHistory::Edit step(History(), zelk::EditKind::Reset, IdsOf(models));
    for (ZELKDBPrint* m : models) {
        if (style == EDIT_MOVE) {
            m->ResettingModelMove();
            continue;
        }
        const bool resting = IsResting(m);
        if (style == EDIT_ROTATE) {
            m->ResettingModelRotate();
            m->SetDegreesXAxis(0);
            m->SetDegreesYAxis(0);
            m->SetDegreesZAxis(0);
        } else {
            m->ResettingModelScalse();
        }
        if (resting)
            StandOnPlatform(m);
    }
    step.Commit();
    return 1;
}

int ZELKModelEdit::MoveModelCheckedToPlatfrom()
{
    ZELDBEntityDatabase* db = Database();
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (db == nullptr || models.empty())
        return 0;
    zelk::EditHistory::Edit step(History(), zelk::EditKind::Land, IdsOf(models));
    db->MoveToXYPlane(db->GetSelectEntity());
    step.Commit();
    return 1;
}

int ZELKModelEdit::AutoLayout()
{
    const std::vector<ZELKDBPrint*> models = AllModels();
    if (models.empty())
        return 0;
    ZELKGePoint3d platformLo, platformHi;
    PlatformOf(models, platformLo, platformHi);
    std::vector<zelk::Footprint> footprints;
    for (ZELKDBPrint* m : models) {
        ZELKGePoint3d lo, hi;
        m->GetMinMaxPoint(lo, hi);
        footprints.push_back({hi.x - lo.x, hi.y - lo.y});
    }
    const double sizeX = platformHi.x - platformLo.x, sizeY = platformHi.y - platformLo.y;
    zelk::LayoutResult layout;
    for (double gap : kLayoutGapsMm) {
        layout = zelk::ArrangeOnPlatform(footprints, sizeX, sizeY, gap);
        if (layout.fits)
            break;
    }
    const double centerX = (platformLo.x + platformHi.x) / 2.0, centerY = (platformLo.y + platformHi.y) / 2.0;
    zelk::EditHistory::Edit step(History(), zelk::EditKind::AutoLayout, IdsOf(models));
    for (std::size_t i = 0; i < models.size(); ++i) {
        ZELKGePoint3d lo, hi;
        models[i]->GetMinMaxPoint(lo, hi);
        const ZELKGePoint3d from((lo.x + hi.x) / 2.0, (lo.y + hi.y) / 2.0, lo.z);
        const ZELKGePoint3d to(centerX + layout.placements[i].centerX, centerY + layout.placements[i].centerY, 0.0);
        models[i]->Move(from, to);
    }
    step.Commit();
    return 1;
}

int ZELKModelEdit::GetSelectedModelCenterPoint(ZELKGePoint3d& center)
{
    ZELKGePoint3d lo, hi;
    if (!CommonBox(SelectedModels(), lo, hi))
        return 0;
    center = (lo + hi) * 0.5;
    return 1;
}

int ZELKModelEdit::GetSelectedModelMoveRange(MoveRange& range)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    ZELKGePoint3d lo, hi, platformLo, platformHi;
    if (!CommonBox(models, lo, hi))
        return 0;
    PlatformOf(models, platformLo, platformHi);
    double bounds[6];
    for (int a = 0; a < 3; ++a) {
        const double half = (hi[a] - lo[a]) / 2.0;
        bounds[2 * a] = platformLo[a] + half;
        bounds[2 * a + 1] = platformHi[a] - half;
        if (bounds[2 * a] > bounds[2 * a + 1])  // larger than the platform: only its middle is left
            bounds[2 * a] = bounds[2 * a + 1] = (platformLo[a] + platformHi[a]) / 2.0;
    }
    range = {bounds[0], bounds[1], bounds[2], bounds[3], bounds[4], bounds[5]};
    return 1;
}

int ZELKModelEdit::IsSelecttedModelNeedMove(double value, AxisDirection axis)
{
    ZELKGePoint3d center;
    if (axis < AXIS_X || axis > AXIS_Z || !GetSelectedModelCenterPoint(center))
        return 0;
    return std::fabs(center[axis] - value) > kSameCoordinate ? 1 : 0;
}

int ZELKModelEdit::GetSelectedModelAxisDegrees(AxisDirection axis, int& degrees)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (models.empty() || axis < AXIS_X || axis > AXIS_Z)
        return 0;
    const ZELKDBPrint* m = models.front();
    degrees = axis == AXIS_X ? m->GetDegreesXAxis() : axis == AXIS_Y ? m->GetDegreesYAxis() : m->GetDegreesZAxis();
    return 1;
}

int ZELKModelEdit::SetSelectedModelAxisDegrees(AxisDirection axis, int degrees)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (models.empty() || axis < AXIS_X || axis > AXIS_ALL)
        return 0;
    auto wrap = [](int d) { return d < 0 || d > 360 ? ((d % 360) + 360) % 360 : d; };
    degrees = wrap(degrees);
    if (axis == AXIS_ALL) {
        for (ZELKDBPrint* m : models) {
            m->SetDegreesXAxis(degrees);
            m->SetDegreesYAxis(degrees);
            m->SetDegreesZAxis(degrees);
        }
    } else {
        // The first model shows `degrees`; the others turned by as much.
        int first = 0;
        GetSelectedModelAxisDegrees(axis, first);
        for (ZELKDBPrint* m : models) {
            const int own = axis == AXIS_X ? m->GetDegreesXAxis() : axis == AXIS_Y ? m->GetDegreesYAxis()
                                                                                     : m->GetDegreesZAxis();
            const int shown = m == models.front() ? degrees : wrap(own + degrees - first);
            if (axis == AXIS_X)
                m->SetDegreesXAxis(shown);
            else if (axis == AXIS_Y)
                m->SetDegreesYAxis(shown);
            else
                m->SetDegreesZAxis(shown);
        }
    }
    // The panel sets the angle just after it turned the models: part of that step.
    History().RetakeNewest(IdsOf(models));
    return 1;
}

int ZELKModelEdit::GetSelectedModelAxisScale(int& percent)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (models.empty())
        return 0;
    percent = models.front()->GetScaleValue();
    return 1;
}

int ZELKModelEdit::SetSelectedModelAxisScale(int percent)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (models.empty() || percent <= 0)
        return 0;
    const int first = models.front()->GetScaleValue();
    for (ZELKDBPrint* m : models) {
        if (m == models.front() || first <= 0) {
            m->SetScaleValue(percent);
            continue;
        }
        // The others keep their ratio to the first model.
        const long scaled = std::lround(static_cast<double>(m->GetScaleValue()) * percent / first);
        m->SetScaleValue(static_cast<int>(std::max(1L, scaled)));
    }
    // The panel sets the percent just after it scaled the models: part of that step.
    History().RetakeNewest(IdsOf(models));
    return 1;
}

int ZELKModelEdit::GetSelectedModelAxisScaleRange(ScaleRange& range)
{
    const std::vector<ZELKDBPrint*> models = SelectedModels();
    if (models.empty())
        return 0;
    ZELKDBPrint* first = models.front();
    first->GetXScaleRange(range.xMin, range.xMax);
    first->GetYScaleRange(range.yMin, range.yMax);
    first->GetZScaleRange(range.zMin, range.zMax);
    // The model's own uniform range is relative to its current size; the panel
    // works in factors of the loaded size, so both bounds are carried over.
    range.min = 0.0;
    range.max = INFINITY;
    if (models.size() == 1) {
        double lo, hi;
        first->GetScaleRange(lo, hi);
        range.min = lo * RecordedScale(first);
        range.max = hi * RecordedScale(first);
    } else {
        // One factor scales the whole group, and the panel shows the first
        // model's percent: every model's own range, and the group's box
        // against the platform (as one model's box is), in the first's terms.
        double lo = 0.0, hi = INFINITY;
        for (ZELKDBPrint* m : models) {
            double mLo, mHi;
            m->GetScaleRange(mLo, mHi);
            lo = std::max(lo, mLo);
            hi = std::min(hi, mHi);
        }
        ZELKGePoint3d boxLo, boxHi, platformLo, platformHi;
        CommonBox(models, boxLo, boxHi);
        PlatformOf(models, platformLo, platformHi);
        const double groupSize = boxLo.DistanceTo(boxHi);
        if (groupSize > 1e-9)
            hi = std::min(hi, platformLo.DistanceTo(platformHi) / groupSize);
        range.min = lo * RecordedScale(first);
        range.max = hi * RecordedScale(first);
    }
    range.max = std::max(range.max, range.min);
    return 1;
}
