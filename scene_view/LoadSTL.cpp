// Loading STL files into the model database: the file dialog, the loader, the placement beside the models present.
#include "LoadSTL.h"

#include <wx/filedlg.h>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "EntityReset.h"
#include "FileIni.h"
#include "ModelEdit.h"
#include "PrintMode.h"
#include "ViewUi.h"

namespace ZELKCAD {

namespace {

constexpr double kGapMm = 2.0;

std::vector<std::string> AskForStlFiles()
{
    // Models, and the G-code and X3G files the program prints as they are.
    wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxString(), wxString(),
                        "Models and print files (*.stl, *.gcode, *.x3g)|*.stl;*.STL;*.gcode;*.GCODE;*.gco;*.x3g;*.X3G|"
                        "Models (*.stl)|*.stl;*.STL|G-code (*.gcode)|*.gcode;*.GCODE;*.gco|X3G (*.x3g)|*.x3g;*.X3G",
                        wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
    std::vector<std::string> paths;
    if (dialog.ShowModal() != wxID_OK)
        return paths;
    wxArrayString chosen;
    dialog.GetPaths(chosen);
    for (const wxString& path : chosen)
        paths.push_back(path.utf8_string());
    return paths;
}

StlFileDialogFunction& DialogHook()
{
    static StlFileDialogFunction hook = AskForStlFiles;
    return hook;
}

// The build volume's corners from the profile, as the renderer draws it.
void PlatformCorners(ZELKFileIniBase* profile, ZELKGePoint3d& lo, ZELKGePoint3d& hi)
{
    double length = zelk::kDefaultPlatformMm, width = zelk::kDefaultPlatformMm, height = zelk::kDefaultPlatformMm;
    if (profile != nullptr)
        zelk::ReadPlatformSize(*profile, length, width, height);
    lo.Set(-length / 2, -width / 2, 0);
    hi.Set(length / 2, width / 2, height);
}

// Stands the model centred on the origin.
void CentreOnOrigin(ZELKDBPrint& model)
{
    ZELKGePoint3d a, b;
    model.GetMinMaxPoint(a, b);
    model.InitialMove(ZELKGePoint3d((a.x + b.x) / 2, (a.y + b.y) / 2, a.z), ZELKGePoint3d(0, 0, 0));
}

// Stands the model centred on the origin, then, when models are already
// there, moves it 2 mm beyond their +X side.
void PlaceModel(ZELKDBPrint& model, ZELDBEntityDatabase& database)
{
    CentreOnOrigin(model);
    if (database.GetCount(kEntityPrint) <= 0)
        return;
    ZELKGePoint3d a, b;
    ZELKGePoint3d boxA, boxB;
    database.GetDatabaseModelMaxBox(boxA, boxB);
    model.GetMinMaxPoint(a, b);
    model.InitialMove(ZELKGePoint3d((a.x + b.x) / 2, (a.y + b.y) / 2 + kGapMm, 0),
                      ZELKGePoint3d(boxB.x + b.x + kGapMm, boxA.y, 0));
}

}  // namespace

StlFileDialogFunction SetStlFileDialogFunction(StlFileDialogFunction function)
{
    StlFileDialogFunction previous = std::move(DialogHook());
    DialogHook() = function ? std::move(function) : StlFileDialogFunction(AskForStlFiles);
    return previous;
}

void LoadSTL()
{
    const std::vector<std::string> paths = AskStlFiles();
    if (!paths.empty())
        LoadSTLFiles(paths);
}

std::vector<std::string> AskStlFiles()
{
    return DialogHook()();
}

StlFileRead ReadStlFile(const std::string& path, bool secondThread)
{
    StlFileRead read;
    read.path = path;
    zelk::StlReadOptions options;
    options.secondThread = secondThread;
    read.ok = zelk::LoadStlFile(path, read.mesh, read.error, options);
    if (read.ok && read.mesh.GetGePrint().empty()) {
        read.ok = false;
        read.error = path + ": the file holds no triangles";
    }
    return read;
}

int LoadSTLFiles(const std::vector<std::string>& paths, const StlLoadTargets& targets)
{
    std::vector<StlFileRead> files;
    files.reserve(paths.size());
    for (const std::string& path : paths)
        files.push_back(ReadStlFile(path));
    return AddStlModels(files, targets);
}

void PrepareStlModel(StlFileRead& file, bool secondThread)
{
    if (!file.ok || file.model != nullptr)
        return;
    file.model = std::make_unique<ZELKDBPrint>(std::move(file.mesh));
    file.mesh = ZELKGePrint();
    CentreOnOrigin(*file.model);
    file.model->PrepareDrawing(secondThread);
}

namespace {

// Adds the files' models in order; `take` says whether prepared models may be
// taken over (else they are left to the caller and made again).
int AddModels(const std::vector<StlFileRead>& files, bool take, const StlLoadTargets& targets)
{
    ZELDBEntityDatabase* database = targets.database != nullptr ? targets.database : ZELDBEntityDatabase::GetInterFace();
    ZELKDBEntityReset* store = targets.resetStore != nullptr ? targets.resetStore : ZELKDBEntityReset::getInstance();
    ZELKFileIniBase* profile = targets.profile != nullptr ? targets.profile : ZELKFileIni::GetFileIniObject();
    ZELKGePoint3d platformLo, platformHi;
    PlatformCorners(profile, platformLo, platformHi);

    ZELKViewUi* ui = GetViewUi();
    int added = 0;
    std::vector<int> ids;
    wxString failures;
    for (const StlFileRead& file : files) {
        if (!file.ok) {
            failures += wxString::FromUTF8(file.error.empty() ? file.path + ": cannot be read" : file.error) + "\n";
            continue;
        }
        ZELKDBPrint* model = nullptr;
        if (file.model != nullptr && take && database->GetCount(kEntityPrint) <= 0) {
            // Placed as it would be here, and its drawing built.
            model = const_cast<StlFileRead&>(file).model.release();
            model->SetName(file.path);
            model->SetPlatformMinMaxPoint(platformLo, platformHi);
        } else {
            model = new ZELKDBPrint(file.model != nullptr ? *file.model->GetSourceMesh() : file.mesh);
            model->SetName(file.path);
            model->SetPlatformMinMaxPoint(platformLo, platformHi);
            PlaceModel(*model, *database);
        }
        int id = 0;
        database->Add(model, id);
        database->ClearSelect();
        database->AddSelect(id);
        if (ui != nullptr)
            ui->ShowWnd(1);
        // The mesh as read, shared with the model (which never changes it).
        store->Add(id, model->GetSourceMesh());
        ids.push_back(id);
        ++added;
    }
    // One load is one step to undo.
    if (!ids.empty()) {
        ZELKModelEdit(database).RecordAddedModels(ids);
        if (ui != nullptr)
            ui->OnModelsChanged();
    }
    // Headed in the window's language; each file's reason follows its name.
    if (!failures.empty() && ui != nullptr)
        ui->ShowMessageText(ui->GetTranslateString("id_message_modelNotRead") + "\n" + failures.Trim());
    return added;
}

}  // namespace

int AddStlModels(std::vector<StlFileRead>&& files, const StlLoadTargets& targets)
{
    return AddModels(files, true, targets);
}

int AddStlModels(const std::vector<StlFileRead>& files, const StlLoadTargets& targets)
{
    return AddModels(files, false, targets);
}

}  // namespace ZELKCAD
