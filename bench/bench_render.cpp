// bench_render: frame time of the 3D view with models drawn from their cached arrays against immediate mode.
//
// Two scenes in an 800 x 600 view: one mesh of about a million triangles, and
// ten meshes of 100,000. For each, frames drawn from the cached arrays,
// frames drawn triangle by triangle in immediate mode, and frames that follow
// a move of every model, and frames that follow a zoom step (a new view, so
// the set of facets that can paint is chosen again), taken in alternating
// rounds in one run. Run under a display (tests/support/with-display.sh
// starts Xvfb when there is none).
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/init.h>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "BenchSupport.h"
#include "DBPrint.h"
#include "EntityDatabase.h"
#include "FileIni.h"
#include "MeshCache.h"
#include "ZelkOpenGL.h"

namespace {

constexpr int kRounds = 5;

using bench::Median;
using bench::Milliseconds;
using bench::Sphere;

struct Times {
    std::vector<double> cached, immediate, moved, zoomed;
};

void RunScene(const char* name, CZelkOpenGL& renderer, ZELDBEntityDatabase& database)
{
    std::vector<ZELKDBPrint*> models;
    for (ZELKDBEntity* e = database.FirstDBEntity(); e != nullptr; e = database.NextDBEntity())
        models.push_back(static_cast<ZELKDBPrint*>(e));
    renderer.SetStandardView();
    zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
    const double firstFrame = Milliseconds([&] { renderer.Render(GL_RENDER); });
    Times t;
    double step = 0.5;
    for (int round = 0; round < kRounds; ++round) {
        zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
        t.cached.push_back(Milliseconds([&] { renderer.Render(GL_RENDER); }));
        zelk::SetMeshDrawing(zelk::MeshDrawing::Immediate);
        t.immediate.push_back(Milliseconds([&] { renderer.Render(GL_RENDER); }));
        zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
        t.moved.push_back(Milliseconds([&] {
            for (ZELKDBPrint* m : models)
                m->Move(ZELKGePoint3d(step, 0, 0));
            renderer.Render(GL_RENDER);
        }));
        t.zoomed.push_back(Milliseconds([&] {
            renderer.ViewScale(step > 0 ? 1.01 : 1 / 1.01);
            renderer.Render(GL_RENDER);
        }));
        step = -step;
    }
    const double cached = Median(t.cached), immediate = Median(t.immediate), moved = Median(t.moved);
    const double zoomed = Median(t.zoomed);
    std::printf("%s\n", name);
    std::printf("  first frame (arrays built)      %9.1f ms\n", firstFrame);
    std::printf("  frame from cached arrays        %9.1f ms\n", cached);
    std::printf("  frame in immediate mode         %9.1f ms\n", immediate);
    std::printf("  move of every model + frame     %9.1f ms\n", moved);
    std::printf("  zoom step + frame               %9.1f ms\n", zoomed);
    std::printf("  immediate / cached              %9.2f   (target >= 10)\n", immediate / cached);
    std::printf("  immediate / (move + frame)      %9.2f   (target >= 1)\n", immediate / moved);
    std::printf("  immediate / (zoom + frame)      %9.2f\n", immediate / zoomed);
}

}  // namespace

int main(int argc, char** argv)
{
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "bench_render: no display\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench_render");
    frame->SetClientSize(800, 600);
    auto* canvas = new wxGLCanvas(frame, attributes, wxID_ANY, wxDefaultPosition, wxSize(800, 600));
    frame->Show();

    ZELDBEntityDatabase database;
    {
        CZelkOpenGL renderer(&database);
        renderer.InitDC(canvas);
        renderer.GLResize(800, 600);
        ZELKFileIniBase noProfile("");  // the default 150 mm volume
        renderer.CreatePrintPlatform(noProfile);
        renderer.SetFrameObserver([] { glFinish(); });
        if (!renderer.HasContext()) {
            std::fprintf(stderr, "bench_render: no OpenGL context\n");
            return 1;
        }
        std::printf("800 x 600 view; medians of %d alternating rounds\n\n", kRounds);

        int id = 0;
        database.Add(new ZELKDBPrint(Sphere({0, 0, 40}, 40, 500, 1000)), id);
        RunScene("one mesh of 1,000,000 triangles", renderer, database);
        database.RemoveAll();

        for (int k = 0; k < 10; ++k) {
            const ZELKGePoint3d centre(-56 + 28 * (k % 5), k < 5 ? -25 : 25, 12);
            database.Add(new ZELKDBPrint(Sphere(centre, 12, 250, 200)), id);
        }
        std::printf("\n");
        RunScene("ten meshes of 100,000 triangles", renderer, database);
        database.RemoveAll();
        renderer.Destroy();
    }
    frame->Destroy();
    wxEntryCleanup();
    return 0;
}
