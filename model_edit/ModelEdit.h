// The model-editing service: moves, rotates, scales, lands, resets and arranges the models of the entity database.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GePoint3d.h"

class ZELDBEntityDatabase;
class ZELKDBPrint;

namespace zelk {
class EditHistory;
}

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
// they are edited as one group about the centre of their common box: a move
// shifts all by the same vector, a rotation turns the group about that centre
// and a scaling scales it about that centre (each model turns or scales about
// its own centre and moves by what the group's centre makes of it). A model
// that stood on the platform before a rotation or scaling is stood on it
// again afterwards (that landing is not a move the user made, so a position
// reset keeps it). Every edit that changes a model is one step of History().
// Integer results: nonzero success, 0 when nothing is selected or the request
// is not valid. Callers redraw after each change.
class ZELKModelEdit {
public:
    // The service over the process-wide entity database; never null.
    static ZELKModelEdit* GetModelEditObject();

    // A service over the given database, or over the process-wide one when
    // null. Its edits go into `history` when given; else into the process-wide
    // history when the database is the process-wide one, else into a history
    // of this service's own.
    explicit ZELKModelEdit(ZELDBEntityDatabase* database = nullptr, zelk::EditHistory* history = nullptr);
    ~ZELKModelEdit();
    ZELKModelEdit(const ZELKModelEdit&) = delete;
    ZELKModelEdit& operator=(const ZELKModelEdit&) = delete;

    // The undo and redo history the edits are recorded in.
    zelk::EditHistory& History();
    // Records models just added to the database (by the loader) as one step.
    void RecordAddedModels(const std::vector<int>& ids);
    // Removes the selected models as one step that can be undone (the models
    // are kept by the history, not deleted). Returns how many went.
    int RemoveSelectedModels();

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
    // Whole degrees 0-360 per axis as shown, those of the first selected
    // model. Setting one axis gives the first model `degrees` and turns the
    // others' by as much; axis 3 sets all three of every model.
    int GetSelectedModelAxisDegrees(AxisDirection axis, int& degrees);
    int SetSelectedModelAxisDegrees(AxisDirection axis, int degrees);
    // Uniform scale in percent of the loaded size as shown, that of the first
    // selected model; setting it scales the others' percent by the same ratio.
    int GetSelectedModelAxisScale(int& percent);
    int SetSelectedModelAxisScale(int percent);
    int GetSelectedModelAxisScaleRange(ScaleRange& range);

    // Gaps between models tried by AutoLayout, widest first.
    static constexpr double kLayoutGapsMm[2] = {5.0, 2.0};

private:
    ZELDBEntityDatabase* Database() const;
    std::vector<ZELKDBPrint*> SelectedModels() const;
    static std::vector<int> IdsOf(const std::vector<ZELKDBPrint*>& models);
    std::vector<ZELKDBPrint*> AllModels() const;
    // The common box of the models; false when there are none.
    static bool CommonBox(const std::vector<ZELKDBPrint*>& models, ZELKGePoint3d& lo, ZELKGePoint3d& hi);
    static void PlatformOf(const std::vector<ZELKDBPrint*>& models, ZELKGePoint3d& lo, ZELKGePoint3d& hi);
    int MoveSelection(double value, int axis);
    int TurnOrScaleSelection(EditModelStyle style, double value, int axis);

    static ZELKModelEdit* m_modelEdit;
    ZELDBEntityDatabase* m_database;
    zelk::EditHistory* m_history;
    std::unique_ptr<zelk::EditHistory> m_ownHistory;
};
