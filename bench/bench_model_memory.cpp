// bench_model_memory: resident memory over ten loads and removals of a million-triangle model.
//
// Each cycle loads a generated binary STL of 1,000,000 facets through the
// STL loader (model, reset store copy), draws it (arrays and GL buffers),
// edits it by the model-editing service (a move, a rotation and a scaling,
// each drawn) and removes it, then draws the empty scene. Resident memory
// (/proc/self/statm) is read after each removal; the target is that after
// the tenth it is at most 110 % of what it was after the first. Run under a
// display (tests/support/with-display.sh starts Xvfb when there is none).
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/init.h>
#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "EntityDatabase.h"
#include "EntityReset.h"
#include "FileIni.h"
#include "LoadSTL.h"
#include "ModelEdit.h"
#include "StlShapes.h"
#include "ZelkOpenGL.h"

namespace {

constexpr int kCycles = 10;
constexpr double kTargetShare = 1.10;

double ResidentMb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv)
{
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "bench_model_memory: no display\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench_model_memory");
    frame->SetClientSize(800, 600);
    auto* canvas = new wxGLCanvas(frame, attributes, wxID_ANY, wxDefaultPosition, wxSize(800, 600));
    frame->Show();

    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("bench_model_memory." + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "sphere.stl").string();
    if (!stlshapes::WriteBinaryStl(path, stlshapes::Sphere(0, 0, 40, 1000000))) {
        std::fprintf(stderr, "bench_model_memory: cannot write %s\n", path.c_str());
        return 1;
    }

    ZELDBEntityDatabase database;
    ZELKDBEntityReset resetStore;
    database.SetResetStore(&resetStore);
    ZELKFileIniBase noProfile("");  // the default 150 mm volume
    int failures = 0;
    {
        CZelkOpenGL renderer(&database);
        renderer.InitDC(canvas);
        renderer.GLResize(800, 600);
        renderer.CreatePrintPlatform(noProfile);
        renderer.SetFrameObserver([] { glFinish(); });
        if (!renderer.HasContext()) {
            std::fprintf(stderr, "bench_model_memory: no OpenGL context\n");
            return 1;
        }
        renderer.SetStandardView();
        ZELKModelEdit edit(&database);
        std::printf("resident memory after each removal of a 1,000,000-facet model (MB)\n");
        std::printf("before the first load: %.1f\n", ResidentMb());
        std::vector<double> after;
        for (int cycle = 1; cycle <= kCycles; ++cycle) {
            ZELKCAD::StlLoadTargets targets;
            targets.database = &database;
            targets.resetStore = &resetStore;
            targets.profile = &noProfile;
            if (ZELKCAD::LoadSTLFiles({path}, targets) != 1) {
                std::fprintf(stderr, "bench_model_memory: the model did not load\n");
                ++failures;
                break;
            }
            renderer.Render(GL_RENDER);
            const double loaded = ResidentMb();
            edit.ModelEdit(EDIT_MOVE, 5.0, AXIS_X);
            renderer.Render(GL_RENDER);
            edit.ModelEdit(EDIT_ROTATE, 30.0, AXIS_Y);
            renderer.Render(GL_RENDER);
            edit.ModelEdit(EDIT_SCALE, 1.1, AXIS_ALL);
            renderer.Render(GL_RENDER);
            database.UnLoadCheckedEntity();
            renderer.Render(GL_RENDER);
            after.push_back(ResidentMb());
            std::printf("cycle %2d: loaded %8.1f   removed %8.1f   (reset store %d, models %d)\n", cycle, loaded,
                        after.back(), resetStore.GetCount(), database.GetCount());
        }
        if (!after.empty()) {
            const double share = after.back() / after.front();
            std::printf("after removal %d / after removal 1: %.3f   (target <= %.2f): %s\n",
                        static_cast<int>(after.size()), share, kTargetShare, share <= kTargetShare ? "met" : "NOT met");
        }
        database.RemoveAll();
        renderer.Destroy();
    }
    std::filesystem::remove_all(folder);
    frame->Destroy();
    wxEntryCleanup();
    return failures == 0 ? 0 : 1;
}
