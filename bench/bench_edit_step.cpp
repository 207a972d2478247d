// bench_edit_step: an edit step of a million-triangle model plus the next frame, against a frame drawn from the caches.
//
// One selected sphere of 1,000,000 facets standing on the platform of an
// 800 x 600 view. In alternating rounds, taken side by side in one run: a
// plain frame; a step of the edit panels (the model-editing service's move,
// rotate and scale) followed by a frame; and a step of a mouse drag (move,
// rotate, scale) followed by the frame that applies it. Each drag is started
// before and ended after its timed step; the end, where the vertices catch
// up with the edit once, is timed apart. Prints best and median of each and
// their ratios to the plain frame. Run under a display
// (tests/support/with-display.sh starts Xvfb when there is none).
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/init.h>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "DBPrint.h"
#include "EntityDatabase.h"
#include "FileIni.h"
#include "MeshCache.h"
#include "ModelEdit.h"
#include "ZelkOpenGL.h"

namespace {

constexpr double kTarget = 1.5;

using bench::Median;
using bench::Milliseconds;
using bench::Sphere;

double Best(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

struct Case {
    std::string name;
    std::function<double(int round)> run;  // runs one step and returns its time; `round` alternates the direction
    std::vector<double> times;
};

class Bench {
public:
    Bench(CZelkOpenGL& renderer, ZELDBEntityDatabase& database) : m_renderer(renderer), m_edit(&database) {}

    void Frame() { m_renderer.Render(GL_RENDER); }

    // Window pixels per mm on the screen plane, about the window centre.
    double PixelsPerMm()
    {
        ZELKGePoint3d a, b;
        const double x = m_renderer.GetWidth() / 2.0, y = m_renderer.GetHeight() / 2.0;
        m_renderer.TransDCSToWCS(ZELKGePoint3d(x, y, 0.5), a);
        m_renderer.TransDCSToWCS(ZELKGePoint3d(x + 100, y, 0.5), b);
        return 100.0 / a.DistanceTo(b);
    }

    // A drag of `mode` from beside the window centre: started, one timed
    // step of `dx` pixels with its frame, then ended with its frame (timed
    // apart).
    void Drag(int mode, int dx, double& stepMs, double& endMs)
    {
        const wxPoint start(m_renderer.GetWidth() / 2 + 60, m_renderer.GetHeight() / 2);
        const wxPoint to(start.x + dx, start.y);
        m_renderer.EntityTrackMove(start, start, mode, 0);
        Frame();
        stepMs = Milliseconds([&] {
            m_renderer.EntityTrackMove(start, to, mode, 1);
            Frame();
        });
        endMs = Milliseconds([&] {
            m_renderer.EntityTrackMove(to, to, mode, 2);
            Frame();
        });
    }

    ZELKModelEdit& Edit() { return m_edit; }

private:
    CZelkOpenGL& m_renderer;
    ZELKModelEdit m_edit;
};

void Run(CZelkOpenGL& renderer, ZELDBEntityDatabase& database, int rounds)
{
    Bench bench(renderer, database);
    renderer.SetStandardView();
    zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
    const double firstFrame = Milliseconds([&] { bench.Frame(); });
    ZELKModelEdit& edit = bench.Edit();
    auto centreX = [&] {
        ZELKGePoint3d c;
        edit.GetSelectedModelCenterPoint(c);
        return c.x;
    };
    const double sign[2] = {1.0, -1.0};
    std::vector<double> dragEnds;
    std::vector<Case> cases;
    auto timed = [](std::function<void(int)> work) {
        return [work](int r) { return Milliseconds([&] { work(r); }); };
    };
    cases.push_back({"plain frame from the caches", timed([&](int) { bench.Frame(); }), {}});
    cases.push_back({"panel move step + frame", timed([&](int r) {
                         edit.ModelEdit(EDIT_MOVE, centreX() + 0.5 * sign[r % 2], AXIS_X);
                         bench.Frame();
                     }), {}});
    cases.push_back({"panel rotate step + frame", timed([&](int r) {
                         edit.ModelEdit(EDIT_ROTATE, 5.0 * sign[r % 2], AXIS_X);
                         bench.Frame();
                     }), {}});
    cases.push_back({"panel scale step + frame", timed([&](int r) {
                         edit.ModelEdit(EDIT_SCALE, r % 2 == 0 ? 1.05 : 1 / 1.05, AXIS_ALL);
                         bench.Frame();
                     }), {}});
    const char* dragNames[3] = {"drag move step + frame", "drag rotate step + frame", "drag scale step + frame"};
    // A scale drag scales by a tenth of its length in mm: 10.5 mm and
    // 10 / 1.05 mm grow and shrink the model by 5 % in turn.
    const double pixelsPerMm = bench.PixelsPerMm();
    const int scaleDx[2] = {static_cast<int>(std::lround(10.5 * pixelsPerMm)),
                            static_cast<int>(std::lround(10.0 / 1.05 * pixelsPerMm))};
    for (int mode = 1; mode <= 3; ++mode) {
        cases.push_back({dragNames[mode - 1], [&, mode](int r) {
                             double stepMs = 0, endMs = 0;
                             const int dx = mode == 3 ? scaleDx[r % 2] : (r % 2 == 0 ? 12 : -12);
                             bench.Drag(mode, dx, stepMs, endMs);
                             dragEnds.push_back(endMs);
                             return stepMs;
                         }, {}});
    }
    for (int round = 0; round < rounds; ++round)
        for (Case& c : cases)
            c.times.push_back(c.run(round));
    const double plainBest = Best(cases.front().times), plainMedian = Median(cases.front().times);
    std::printf("first frame (arrays built)   %8.1f ms\n\n", firstFrame);
    std::printf("%-30s %9s %9s %12s %12s\n", "", "best ms", "median ms", "best ratio", "median ratio");
    bool metMedian = true, metBest = true;
    for (const Case& c : cases) {
        const double best = Best(c.times), median = Median(c.times);
        std::printf("%-30s %9.1f %9.1f %12.2f %12.2f\n", c.name.c_str(), best, median, best / plainBest,
                    median / plainMedian);
        if (&c != &cases.front()) {
            metMedian = metMedian && median / plainMedian <= kTarget;
            metBest = metBest && best / plainBest <= kTarget;
        }
    }
    std::printf("\nend of a drag (vertices transformed once) + frame: best %.1f ms, median %.1f ms\n",
                Best(dragEnds), Median(dragEnds));
    std::printf("target: every step + frame <= %.1f x the plain frame: medians %s, bests %s\n", kTarget,
                metMedian ? "met" : "NOT met", metBest ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    wxApp::SetInstance(new wxApp());
    int wxArgc = 1;  // the round count is ours, not wxWidgets'
    if (!wxEntryStart(wxArgc, argv)) {
        std::fprintf(stderr, "bench_edit_step: no display\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench_edit_step");
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
            std::fprintf(stderr, "bench_edit_step: no OpenGL context\n");
            return 1;
        }
        auto* model = new ZELKDBPrint(Sphere({0, 0, 40}, 40, 500, 1000));
        model->SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150});
        int id = 0;
        database.Add(model, id);
        database.AddSelect(id);
        std::printf("one selected mesh of 1,000,000 triangles in an 800 x 600 view; %d alternating rounds\n", rounds);
        Run(renderer, database, rounds);
        database.RemoveAll();
        renderer.Destroy();
    }
    frame->Destroy();
    wxEntryCleanup();
    return 0;
}
