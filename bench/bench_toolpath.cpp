// bench_toolpath: the toolpath preview of a million-line G-code file.
//
// (a) Building the toolpath model of a generated million-line print (layers
//     of perimeters and infill with travel, absolute E) against reading the
//     same file with the translator's line reader alone: best of alternating
//     rounds and their ratio.
// (b) In an 800 x 600 view (the set-up of bench_render), a frame with every
//     layer of that print shown against a frame of a one-million-triangle
//     model drawn from its cached arrays: medians of alternating rounds and
//     their ratio.
//
// Run tests/support/with-display.sh build/<preset>/bin/bench_toolpath
// [--screenshot FILE.png] (the screenshot shows the print up to 60 % of its
// layers). The generated file is written to the system's temporary folder
// and removed afterwards.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/image.h>
#include <wx/init.h>
#include <GL/gl.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "DBPrint.h"
#include "EntityDatabase.h"
#include "FileIni.h"
#include "GCodeFile.h"
#include "LayeredGCode.h"
#include "MeshCache.h"
#include "ToolpathBuffers.h"
#include "ToolpathModel.h"
#include "ZelkOpenGL.h"

namespace {

constexpr int kBuildRounds = 5;
constexpr int kFrameRounds = 7;
constexpr int kWidth = 800, kHeight = 600;

using bench::Median;
using bench::Milliseconds;

// What the translator's reader alone does with the file: read it whole and
// hand out its cleaned lines.
std::size_t ReadLinesOnly(const std::string& path)
{
    zelk::GCodeText text;
    if (!zelk::ReadGCodeText(path, text))
        return 0;
    std::size_t lines = 0;
    zelk::ForEachGCodeLine(text, [&](std::string_view) { ++lines; });
    return lines;
}

bool BenchBuild(const std::string& path, zelk::ToolpathModel& model)
{
    std::vector<double> build, reader;
    std::size_t readerLines = 0;
    for (int round = 0; round < kBuildRounds; ++round) {
        reader.push_back(Milliseconds([&] { readerLines = ReadLinesOnly(path); }));
        build.push_back(Milliseconds([&] { model = zelk::ReadToolpath(path); }));
    }
    if (!model.IsUsable()) {
        std::fprintf(stderr, "bench_toolpath: %s\n", model.reason.c_str());
        return false;
    }
    const double bestBuild = *std::min_element(build.begin(), build.end());
    const double bestReader = *std::min_element(reader.begin(), reader.end());
    std::printf("(a) model of the file, best of %d alternating rounds\n", kBuildRounds);
    std::printf("  lines read                      %9zu (reader alone: %zu)\n", model.lineCount, readerLines);
    std::printf("  layers                          %9zu\n", model.LayerCount());
    std::printf("  extrusion / travel segments     %9zu / %zu\n", model.extrusion.SegmentCount(),
                model.travel.SegmentCount());
    std::printf("  arrays                          %9.1f MB\n",
                (model.extrusion.xyz.size() + model.travel.xyz.size()) * sizeof(float) / 1e6);
    std::printf("  line reader alone               %9.1f ms\n", bestReader);
    std::printf("  toolpath model                  %9.1f ms   (target <= 1000)\n", bestBuild);
    std::printf("  model / reader alone            %9.2f\n\n", bestBuild / bestReader);
    return true;
}

bool SavePng(const std::vector<unsigned char>& rgb, const std::string& path)
{
    wxImage image(kWidth, kHeight);
    std::memcpy(image.GetData(), rgb.data(), rgb.size());
    return image.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG);
}

std::vector<unsigned char> ReadBack()
{
    std::vector<unsigned char> bottomUp(static_cast<std::size_t>(kWidth) * kHeight * 3), rows(bottomUp.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    const std::size_t row = static_cast<std::size_t>(kWidth) * 3;
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(rows.data() + y * row, bottomUp.data() + (kHeight - 1 - y) * row, row);
    return rows;
}

void BenchFrames(wxGLCanvas* canvas, const zelk::ToolpathModel& model, const std::string& screenshot)
{
    ZELDBEntityDatabase database;
    CZelkOpenGL renderer(&database);
    renderer.InitDC(canvas);
    renderer.GLResize(kWidth, kHeight);
    ZELKFileIniBase noProfile("");  // the default 150 mm volume
    renderer.CreatePrintPlatform(noProfile);
    std::vector<unsigned char> pixels;
    bool capture = false;
    renderer.SetFrameObserver([&] {
        if (capture)
            pixels = ReadBack();
        glFinish();
    });
    if (!renderer.HasContext()) {
        std::fprintf(stderr, "bench_toolpath: no OpenGL context\n");
        return;
    }
    int id = 0;
    database.Add(new ZELKDBPrint(bench::Sphere({0, 0, 40}, 40, 500, 1000)), id);
    renderer.SetStandardView();

    // One cache per style, as two panels would keep: each keeps the segments
    // its view shows.
    zelk::ToolpathBuffers buffers, hiddenTravelBuffers, everySegment;
    buffers.SetModel(&model);
    hiddenTravelBuffers.SetModel(&model);
    everySegment.SetModel(&model);
    everySegment.SetChooseVisible(false);
    zelk::ToolpathStyle noTravel;
    noTravel.showTravel = false;
    std::size_t topLayer = model.LayerCount() - 1;
    auto toolpath = [&] { buffers.Draw(topLayer); };

    zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
    const double firstMesh = Milliseconds([&] { renderer.Render(GL_RENDER); });
    renderer.SetEntityDrawOverride(toolpath);
    const double firstToolpath = Milliseconds([&] { renderer.Render(GL_RENDER); });

    // Each cache chooses the segments of this view once.
    renderer.SetEntityDrawOverride([&] { hiddenTravelBuffers.Draw(topLayer, noTravel); });
    renderer.Render(GL_RENDER);

    std::vector<double> mesh, lines, linesNoTravel, all, zoomed, meshAfterZoom, empty;
    for (int round = 0; round < kFrameRounds; ++round) {
        renderer.SetEntityDrawOverride({});
        mesh.push_back(Milliseconds([&] { renderer.Render(GL_RENDER); }));
        renderer.SetEntityDrawOverride(toolpath);
        lines.push_back(Milliseconds([&] { renderer.Render(GL_RENDER); }));
        renderer.SetEntityDrawOverride([&] { hiddenTravelBuffers.Draw(topLayer, noTravel); });
        linesNoTravel.push_back(Milliseconds([&] { renderer.Render(GL_RENDER); }));
        renderer.SetEntityDrawOverride([&] { everySegment.Draw(topLayer); });
        all.push_back(Milliseconds([&] { renderer.Render(GL_RENDER); }));
        renderer.SetEntityDrawOverride([] {});
        empty.push_back(Milliseconds([&] { renderer.Render(GL_RENDER); }));
    }
    // A new view in every frame: the segments it shows are chosen again
    // (the model's facets too).
    double step = 1.01;
    for (int round = 0; round < kFrameRounds; ++round) {
        renderer.SetEntityDrawOverride(toolpath);
        zoomed.push_back(Milliseconds([&] {
            renderer.ViewScale(step);
            renderer.Render(GL_RENDER);
        }));
        step = 1 / step;
        renderer.SetEntityDrawOverride({});
        meshAfterZoom.push_back(Milliseconds([&] {
            renderer.ViewScale(step);
            renderer.Render(GL_RENDER);
        }));
    }
    const double meshMs = Median(mesh), linesMs = Median(lines), noTravelMs = Median(linesNoTravel);
    const double allMs = Median(all), zoomMs = Median(zoomed), meshZoomMs = Median(meshAfterZoom);
    std::printf("(b) %d x %d view, medians of %d alternating rounds\n", kWidth, kHeight, kFrameRounds);
    std::printf("  first frame, 1,000,000 triangles (arrays built)  %9.1f ms\n", firstMesh);
    std::printf("  first frame, toolpath (buffers uploaded)         %9.1f ms\n", firstToolpath);
    std::printf("  frame without models (platform, volume, axes)    %9.1f ms\n", Median(empty));
    std::printf("  frame of a 1,000,000-triangle model              %9.1f ms\n", meshMs);
    std::printf("  frame of every layer                             %9.1f ms   (%zu of %zu segments drawn)\n",
                linesMs, buffers.DrawnVertexCount() / 2,
                model.extrusion.SegmentCount() + model.travel.SegmentCount());
    std::printf("  frame of every layer, travel hidden              %9.1f ms   (%zu segments drawn)\n", noTravelMs,
                hiddenTravelBuffers.DrawnVertexCount() / 2);
    std::printf("  frame of every layer, every segment drawn        %9.1f ms\n", allMs);
    std::printf("  zoom step + frame of every layer                 %9.1f ms\n", zoomMs);
    std::printf("  zoom step + frame of the model                   %9.1f ms\n", meshZoomMs);
    std::printf("  toolpath / model                                 %9.2f   (target <= 1.0)\n", linesMs / meshMs);
    std::printf("  (zoom step + toolpath) / (zoom step + model)     %9.2f\n", zoomMs / meshZoomMs);
    std::printf("  uploads of the toolpath arrays                   %9lu\n", buffers.UploadCount());

    if (!screenshot.empty()) {
        topLayer = model.LayerCount() * 6 / 10;
        renderer.SetEntityDrawOverride(toolpath);
        capture = true;
        renderer.Render(GL_RENDER);
        capture = false;
        if (pixels.empty() || !SavePng(pixels, screenshot))
            std::fprintf(stderr, "bench_toolpath: cannot save %s\n", screenshot.c_str());
        else
            std::printf("\nscreenshot (layers 1..%zu of %zu): %s\n", topLayer + 1, model.LayerCount(),
                        screenshot.c_str());
    }
    renderer.SetEntityDrawOverride({});
    database.RemoveAll();
    renderer.Destroy();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = argv[++i];
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench-toolpath-" + std::to_string(::getpid()) + ".gcode")).string();
    bench::LayeredGCodeStats stats;
    std::string error;
    if (!bench::WriteLayeredGCode(path, 1000000, stats, error)) {
        std::fprintf(stderr, "bench_toolpath: %s\n", error.c_str());
        return 1;
    }
    std::printf("generated print: %zu lines, %zu layers, %zu extrusion and %zu travel moves, %.1f MB\n\n",
                stats.lines, stats.layers, stats.extrusionMoves, stats.travelMoves,
                std::filesystem::file_size(path) / 1e6);
    zelk::ToolpathModel model;
    const bool built = BenchBuild(path, model);
    std::filesystem::remove(path);
    if (!built)
        return 1;

    wxApp::SetInstance(new wxApp());
    int wxArgc = 1;  // the options above are not wx's
    if (!wxEntryStart(wxArgc, argv)) {
        std::fprintf(stderr, "bench_toolpath: no display\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxImage::AddHandler(new wxPNGHandler());
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench_toolpath");
    frame->SetClientSize(kWidth, kHeight);
    auto* canvas = new wxGLCanvas(frame, attributes, wxID_ANY, wxDefaultPosition, wxSize(kWidth, kHeight));
    frame->Show();
    BenchFrames(canvas, model, screenshot);
    frame->Destroy();
    wxEntryCleanup();
    return 0;
}
