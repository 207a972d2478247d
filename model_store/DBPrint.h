// A printable model: its mesh in world coordinates, its transforms since the last reset, and its fit on the platform.
#pragma once

#include <memory>

#include "DBEntity.h"
#include "GePrint.h"
#include "MeshCache.h"
#include "MeshRunBoxes.h"

// Owns the mesh and keeps its box current after every transform. Moves,
// rotations and scalings are recorded in three matrices so that each kind can
// be undone on its own. Event type 1.
//
// Transforms are not applied to the vertices at once: they gather in a
// pending matrix that drawing applies to the cached buffers, while the box is
// found exactly from the untouched vertices (MeshRunBoxes). The vertices are
// transformed once, when a drag ends or when someone asks for the mesh.
//
// The vertices are always derived from the source mesh (the mesh as it was at
// construction, SetPrint or the last hand-out for change, kept unchanged and
// shared) by one transform, the baked one: so the same source and baked
// transform give the same vertices bit for bit, and a model taken back to an
// earlier TransformState has exactly the vertices it had then.
class ZELKDBPrint : public ZELKDBEntity {
public:
    // Everything an edit changes, without the mesh: the shared source mesh,
    // the transforms baked into the vertices and still pending, the records,
    // the centre, the box and the shown degrees and scale values.
    struct TransformState {
        std::shared_ptr<const ZELKGePrint> source;
        ZELKGeMatrix3d baked;
        ZELKGeMatrix3d pending;
        bool hasPending = false;
        ZELKGeMatrix3d moveMatrix;
        ZELKGeMatrix3d rotateMatrix;
        ZELKGeMatrix3d scaleMatrix;
        ZELKGePoint3d center;
        // The box as it was found then (found again it may differ in the last
        // bit, having been found before the vertices caught up).
        ZELKGePoint3d boxMin;
        ZELKGePoint3d boxMax;
        int degrees[3] = {0, 0, 0};
        int scaleValueAxis[3] = {100, 100, 100};
        int scaleValue = 100;

        // Equal in every bit (the source by identity).
        bool SameAs(const TransformState& other) const;
    };

    explicit ZELKDBPrint(const ZELKGePrint& mesh);
    // The same, the mesh moved in as the source (one copy fewer).
    explicit ZELKDBPrint(ZELKGePrint&& mesh);
    ~ZELKDBPrint() override;

    void GetMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max) override;
    // Applies a pending drag step, then draws the selection box (when selected)
    // and the triangles, green inside the build volume and purple outside.
    void Draw() override;
    void Move(ZELKGePoint3d from, const ZELKGePoint3d& to) override;
    void Move(const ZELKGePoint3d& delta) override;
    // Turns the mesh about the axis through `center`; recorded in the rotate matrix.
    void RotateBy(double angleDeg, const ZELKGeVector3d& axis, const ZELKGePoint3d& center) override;
    // Applies the matrix to the mesh only: neither a record nor the centre changes.
    void TransFromBy(const ZELKGeMatrix3d& matrix) override;
    // Scales about the model centre; recorded in the scale matrix.
    void Scale(double factor, Axis_ScaleDirection axis) override;
    void Scale(double factor) override;
    void GetCenterPoint(ZELKGePoint3d& point) override;
    // Records one drag step for the next redraw (the step itself is applied then).
    void TrackTranslation(ZELKGePoint3d first, ZELKGePoint3d second, int mode, int phase) override;
    int IsInPlatform() override;

    // The placement made when loading: moves like Move(from, to) but is never undone.
    void InitialMove(ZELKGePoint3d from, const ZELKGePoint3d& to);
    void SetPrint(const ZELKGePrint& mesh);
    // The mutable mesh: the caller may change it, so its drawing is rebuilt
    // and it becomes the source of later transforms.
    // Both forms hand out the mesh with every transform applied.
    ZELKGePrint& GetPrint()
    {
        ApplyPendingTransform();
        ++m_meshRevision;
        m_sourceStale = true;
        return m_print;
    }
    const ZELKGePrint& GetPrint() const
    {
        ApplyPendingTransform();
        return m_print;
    }
    // Transforms the vertices by the transforms gathered since they were last
    // transformed (the drawing and the box already show them).
    void ApplyPendingTransform() const;
    // Builds the arrays the next draw would build (the vertices caught up
    // first), without OpenGL: a model read on another thread comes ready to
    // draw. The model belongs to that thread until it is handed over.
    // `secondThread`: whether a large mesh's arrays may be built on two.
    void PrepareDrawing(bool secondThread = true);
    // Whether the next draw uses the arrays as they are, without building them.
    bool IsDrawingPrepared() const;
    bool HasPendingTransform() const { return m_hasPending; }
    std::size_t GetFacetCount() const { return m_print.GetGePrint().size(); }
    // Counts replacements of the mesh (a new mesh, or one handed out for
    // change); the cached drawing is rebuilt when it moves.
    unsigned GetMeshRevision() const { return m_meshRevision; }
    // The transforms applied to the mesh since the cached drawing was built;
    // drawing applies it to the cached geometry instead of rebuilding.
    const ZELKGeMatrix3d& GetDrawTransform() const { return m_drawTransform; }

    // The state now. After a hand-out for change the changed mesh first becomes
    // the source (one copy), so that the state can give it back.
    TransformState GetTransformState() const;
    // Takes the model back to a state taken from it: the vertices come back bit
    // for bit (derived again from the source when the baked transform
    // differs), the box exactly as it was.
    void SetTransformState(const TransformState& state);
    // The source the vertices are derived from (shared, never changed).
    const std::shared_ptr<const ZELKGePrint>& GetSourceMesh() const
    {
        Rebase();
        return m_source;
    }

    void ResettingModelMove();
    void ResettingModelRotate();
    // Also sets the four stored scale values back to 100.
    void ResettingModelScalse();

    void GetCenterPointBoundingBox(ZELKGePoint3d& point);
    int IsOnPlarform();
    void SetPlatformMinMaxPoint(const ZELKGePoint3d& min, const ZELKGePoint3d& max);
    void GetPlatformMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max) const
    {
        min = m_platformMin;
        max = m_platformMax;
    }
    void GetXScaleRange(double& min, double& max) const;
    void GetYScaleRange(double& min, double& max) const;
    void GetZScaleRange(double& min, double& max) const;
    // Uniform scale factors allowed now, relative to the current size.
    void GetScaleRange(double& min, double& max) const;
    // Allowed positions of the box centre on each axis.
    void GetXMoveRange(double& min, double& max) const;
    void GetYMoveRange(double& min, double& max) const;
    void GetZMoveRange(double& min, double& max) const;

    void SetDegreesXAxis(int degrees) { m_degrees[0] = degrees; }
    void SetDegreesYAxis(int degrees) { m_degrees[1] = degrees; }
    void SetDegreesZAxis(int degrees) { m_degrees[2] = degrees; }
    int GetDegreesXAxis() const { return m_degrees[0]; }
    int GetDegreesYAxis() const { return m_degrees[1]; }
    int GetDegreesZAxis() const { return m_degrees[2]; }
    void SetScaleValueXAxis(int percent) { m_scaleValueAxis[0] = percent; }
    void SetScaleValueYAxis(int percent) { m_scaleValueAxis[1] = percent; }
    void SetScaleValueZAxis(int percent) { m_scaleValueAxis[2] = percent; }
    int GetScaleValueXAxis() const { return m_scaleValueAxis[0]; }
    int GetScaleValueYAxis() const { return m_scaleValueAxis[1]; }
    int GetScaleValueZAxis() const { return m_scaleValueAxis[2]; }
    void SetScaleValue(int percent) { m_scaleValue = percent; }
    int GetScaleValue() const { return m_scaleValue; }

    // The records, for callers that show or check them.
    const ZELKGeMatrix3d& GetMoveMatrix() const { return m_moveMatrix; }
    const ZELKGeMatrix3d& GetRotateMatrix() const { return m_rotateMatrix; }
    const ZELKGeMatrix3d& GetScaleMatrix() const { return m_scaleMatrix; }
    // The recorded drag step (mode 0 none, 1 move, 2 rotate, 3 scale; flags: phase | 0x10 pending | 0x20 active).
    int GetTrackMode() const { return m_trackMode; }
    int GetTrackFlags() const { return m_trackFlags; }
    const ZELKGePoint3d& GetTrackAnchor() const { return m_trackAnchor; }

private:
    // Refreshes the box from the mesh under the pending transform.
    void GetMinMaxPoint();
    // Rebuilds the run boxes unless they are those of m_print as it is.
    void RefreshRunBoxes() const;
    // Makes m_print the source when it was handed out for change.
    void Rebase() const;
    // m_print = the source transformed by the baked transform.
    void DeriveVertices() const;
    // Transforms the mesh (through the pending transform), and its drawing with it.
    void TransformMesh(const ZELKGeMatrix3d& matrix);
    // Move without refreshing the box, for steps of a larger transform.
    void MoveLeavingBox(const ZELKGePoint3d& from, const ZELKGePoint3d& to);
    void DrawMaxBox();
    void DrawLine(ZELKGePoint3d a, ZELKGePoint3d b);
    int DrawRotateSRC(const ZELKGePoint3d& anchor, const ZELKGePoint3d& current, const ZELKGePoint3d& centre);
    void DrawBottom();
    void DrawTriangles(const GLColor& color);
    void TrackMove();
    void TrackRotate();
    void TrackScale();
    // The ground points of the two window points of the step; 0 without a view.
    int GetTrackViewTransPoint(ZELKGePoint3d& first, ZELKGePoint3d& second);
    int PrintObjectInPlatform() const;
    // Applies `undo` about the model centre, then forgets the record.
    void ResetAboutCenter(ZELKGeMatrix3d& record);
    void ScaleBy(const ZELKGeMatrix3d& scaling);
    static void AxisRange(double lo, double hi, double platformLo, double platformHi, double& min, double& max);

    // The vertices as last transformed; m_pending takes them to the model as it is.
    mutable ZELKGePrint m_print;
    // m_print is m_source transformed by m_baked, unless m_sourceStale (the
    // mesh was handed out for change and is its own source until Rebase).
    mutable std::shared_ptr<const ZELKGePrint> m_source;
    mutable ZELKGeMatrix3d m_baked;
    mutable bool m_sourceStale = false;
    mutable ZELKGeMatrix3d m_pending;
    mutable bool m_hasPending = false;
    // Run boxes of m_print, for the mesh revision and facet count they were built for.
    mutable zelk::MeshRunBoxes m_runBoxes;
    mutable bool m_runBoxesCurrent = false;
    mutable unsigned m_runBoxesRevision = 0;
    mutable std::size_t m_runBoxesFacets = 0;
    ZELKGePoint3d m_platformMin;
    ZELKGePoint3d m_platformMax;
    ZELKGePoint3d m_boxMin;
    ZELKGePoint3d m_boxMax;
    int m_trackMode = 0;
    ZELKGePoint3d m_trackFirst;
    ZELKGePoint3d m_trackSecond;
    ZELKGePoint3d m_trackAnchor;
    int m_trackFlags = 0;
    ZELKGePoint3d m_trackCenter;
    ZELKGeMatrix3d m_moveMatrix;
    ZELKGeMatrix3d m_rotateMatrix;
    ZELKGeMatrix3d m_scaleMatrix;
    int m_degrees[3] = {0, 0, 0};
    ZELKGePoint3d m_center;
    int m_scaleValueAxis[3] = {100, 100, 100};
    int m_scaleValue = 100;
    double m_scaleRange[6] = {0, 0, 0, 0, 0, 0};
    // The scaling of the current scale drag and the world points of its last
    // step; kept per model, so that each selected model undoes only its own.
    ZELKGeMatrix3d m_trackScale;
    ZELKGePoint3d m_trackScaleFirst;
    ZELKGePoint3d m_trackScaleSecond;
    unsigned m_meshRevision = 0;
    ZELKGeMatrix3d m_drawTransform;
    zelk::MeshVertexArray m_vertexArray;
    zelk::MeshBuffers m_buffers;
};
