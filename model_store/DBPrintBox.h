// The build volume as an entity: eight corners, drawn as a frame, edges, grid and floor.
#pragma once

#include <vector>

#include "DBEntity.h"
#include "GePlane.h"
#include "GePrint.h"

// Cannot be moved, rotated or scaled; owned by the renderer, never stored in
// the entity database. Event type 3.
class ZELKDBPrintBox : public ZELKDBEntity {
public:
    ZELKDBPrintBox();

    void SetPrintBox(const ZELKGePrintBox& box) { m_box = box; }
    ZELKGePrintBox& GetPrintBox() { return m_box; }
    const ZELKGePrintBox& GetPrintBox() const { return m_box; }
    // Stored only; drawing does not use it.
    void SetGrain(unsigned grain) { m_grain = static_cast<int>(grain); }
    int GetGrain() const { return m_grain; }

    void GetMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max) override;
    void GetCenterPoint(ZELKGePoint3d& point) override;
    // The marker frame of the -y face, the twelve edges, the floor grid and
    // the floor. Leaves blending factors (source colour, one minus source colour).
    void Draw() override;

    void Move(ZELKGePoint3d, const ZELKGePoint3d&) override {}
    void Move(const ZELKGePoint3d&) override {}
    void RotateBy(double, const ZELKGeVector3d&, const ZELKGePoint3d&) override {}
    void TransFromBy(const ZELKGeMatrix3d&) override {}
    void Scale(double, Axis_ScaleDirection) override {}
    void Scale(double) override {}

private:
    void DrawBottomGridLines();
    void DrawBottomFace();

    ZELKGePrintBox m_box;
    int m_grain = 0;
};

namespace zelk {

// The floor grid: a line every 10 units from the -x and -y edges, at the
// bottom height, the last one on the far edge when the size is a multiple of 10.
std::vector<ZELKGeLine> PrintBoxGridLines(const ZELKGePrintBox& box);
// The frame 2 units outside the -y face with its notch pointing towards -y.
std::vector<ZELKGePoint3d> PrintBoxFaceMarker(const ZELKGePrintBox& box);

}  // namespace zelk
