// The model-editing service: moves, rotates, scales, lands, resets and arranges the models of the entity database.
#pragma once

#include <string>
#include <vector>

#include "GePoint3d.h"

class ZELDBEntityDatabase;
class ZELKDBPrint;

enum EditModelStyle { EDIT_MOVE = 0, EDIT_ROTATE = 1, EDIT_SCALE = 2 };
enum AxisDirection { AXIS_X = 0, AXIS_Y = 1, AXIS_Z = 2, AXIS_ALL = 3 };

// Lowest and highest allowed centre coordinate per axis, in mm.
struct MoveRange {
    double xMin = 0.0, xMax = 0.0;
    double yMin = 0.0, yMax = 0.0;
    double zMin = 0.0, zMax = 0.0;
};

// Allowed factors relative to the size as loaded (1.0 = 100 %): per axis, then uniform.
struct ScaleRange {
    double xMin = 0.0, xMax = 0.0;
    double yMin = 0.0, yMax = 0.0;
    double zMin = 0.0, zMax = 0.0;
    double min = 0.0, max = 0.0;
};

// Works on the selection of the entity database. With several models selected
// they move as one group (the centre is that of their common box); rotations
// and scalings turn each about its own centre. A model that stood on the
// platform before a rotation or scaling is stood on it again afterwards (that
// landing is not a move the user made, so a position reset keeps it).
// Integer results: nonzero success, 0 when nothing is selected or the request
// is not valid. Callers redraw after each change.
class ZELKModelEdit {
public:
    // The service over the process-wide entity database; never null.
    static ZELKModelEdit* GetModelEditObject();

    // A service over the given database, or over the process-wide one when null.
    explicit ZELKModelEdit(ZELDBEntityDatabase* database = nullptr);

    int GetPrintModelNumber();
    // `count` printable models; `path` the model file the slicer reads:
    // "PrintModel/<base name of the first loaded model>.stl" in the program
    // folder (empty when there are none). Returns count.
    int GetPrintModelPathAndCount(std::string& path, int& count);
    int GetPrintModelPathAndCount(std::wstring& path, int& count);

    // Move: value is the new centre coordinate on axis 0-2. Rotate: an angle
    // increment in degrees about axis 0-2 through each model's centre. Scale: a
    // factor (> 0) relative to the current size, axis 3.
    int ModelEdit(EditModelStyle style, double value, AxisDirection axis);
    // Undoes all moves (0), rotations (1, also clearing the shown degrees) or scalings (2).
    int ModelResettingOperation(EditModelStyle style);
    int MoveModelCheckedToPlatfrom();
    // Stands all models on the platform side by side, without overlap, centred.
    int AutoLayout();

    int GetSelectedModelCenterPoint(ZELKGePoint3d& center);
    int GetSelectedModelMoveRange(MoveRange& range);
    int IsSelecttedModelNeedMove(double value, AxisDirection axis);
    // Whole degrees 0-360 per axis as shown; axis 3 sets all three.
    int GetSelectedModelAxisDegrees(AxisDirection axis, int& degrees);
    int SetSelectedModelAxisDegrees(AxisDirection axis, int degrees);
    // Uniform scale in percent of the loaded size as shown.
    int GetSelectedModelAxisScale(int& percent);
    int SetSelectedModelAxisScale(int percent);
    int GetSelectedModelAxisScaleRange(ScaleRange& range);

    // Gaps between models tried by AutoLayout, widest first.
    static constexpr double kLayoutGapsMm[2] = {5.0, 2.0};

private:
    ZELDBEntityDatabase* Database() const;
    std::vector<ZELKDBPrint*> SelectedModels() const;
    std::vector<ZELKDBPrint*> AllModels() const;
    // The common box of the models; false when there are none.
    static bool CommonBox(const std::vector<ZELKDBPrint*>& models, ZELKGePoint3d& lo, ZELKGePoint3d& hi);
    static void PlatformOf(const std::vector<ZELKDBPrint*>& models, ZELKGePoint3d& lo, ZELKGePoint3d& hi);
    int MoveSelection(double value, int axis);
    int TurnOrScaleSelection(EditModelStyle style, double value, int axis);

    static ZELKModelEdit* m_modelEdit;
    ZELDBEntityDatabase* m_database;
};
