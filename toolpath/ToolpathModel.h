// The toolpaths of a G-code file as line segments by layer, read as the translator reads the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "GCodeFlavor.h"

namespace zelk {

// One kind of segment (extrusion or travel): GL_LINES pairs of (x, y, z)
// vertices, ordered by layer. Layer k's vertices end at layerEnd[k], so the
// layers 0..k are the first layerEnd[k] vertices: a prefix of `xyz`.
struct SegmentArray {
    std::vector<float> xyz;              // 3 floats a vertex, 2 vertices a segment
    std::vector<std::size_t> layerEnd;   // vertices up to the end of each layer

    std::size_t VertexCount() const { return xyz.size() / 3; }
    std::size_t SegmentCount() const { return xyz.size() / 6; }
    // Vertices of the layers 0..layer (all of them past the last layer).
    std::size_t VerticesThrough(std::size_t layer) const;
};

// The toolpaths of a file. Extrusion: a move in X/Y while E grows. Travel:
// any other move of the head (E still or shrinking, or Z alone). A move of
// E alone (retraction, prime) draws nothing. Layers: the first extruding
// move starts layer 0; an extruding move at a Z above the current layer's Z
// starts the next one. Travel belongs to the layer of the next extrusion
// (the move to a layer's start is drawn with that layer); travel after the
// last extrusion belongs to the last layer.
struct ToolpathModel {
    bool read = false;                // the file was read whole
    // One line naming the file: why it was not read, or that it holds no
    // move. Empty when the file was read and moves.
    std::string reason;
    std::size_t lineCount = 0;        // lines that were not empty after cleaning
    std::size_t skippedLineCount = 0; // lines left out for a bad number (GCodeLimits.h)

    SegmentArray extrusion;
    SegmentArray travel;
    std::vector<float> layerZ;        // the Z of each layer, rising
    float boxMin[3] = {0, 0, 0};      // of every segment's vertices
    float boxMax[3] = {0, 0, 0};

    std::size_t LayerCount() const { return layerZ.size(); }
    bool HasMoves() const { return extrusion.SegmentCount() + travel.SegmentCount() > 0; }
    // True when there is something to show.
    bool IsUsable() const { return read && HasMoves(); }
};

struct ToolpathReadOptions {
    // The Z a "G92 Z" (and a "G92 X Y Z" above 1 mm) stands for: the start
    // G-code's height, as the printer takes it. Unset: Z stays as it was.
    // For other flavours, the Z that homing (G28) leaves the head at.
    std::optional<float> startHeightMM;
    // The flavour to read the file as; unset, the file's own mark decides,
    // as it does for the translator.
    std::optional<gcode::GCodeFlavor> flavor;
};

// Reads the file as the translator does. The printer's own dialect through
// the translator's line reader (GCodeFile.h) and word rules (GCodeWords.h):
// G1 moves, G92 resets; every other line moves nothing (G0 included, which
// this dialect does not move on). Other flavours through the G-code
// interpreter: every move it makes, arcs as their straight pieces. Running
// out of memory is a reason too, never an exception.
ToolpathModel ReadToolpath(const std::string& path, const ToolpathReadOptions& options = {});

// The toolpaths of an X3G file: every move its packages make, with the
// machine's steps per millimetre of X, Y, Z and the extruder (A).
ToolpathModel ReadToolpathX3g(const std::string& path, const double (&stepsPerMm)[4]);

// Builds the toolpaths of cleaned lines one at a time (for text already in
// memory, and for tests). Finish() closes the last layer and the box; lines
// after it are ignored.
class ToolpathBuilder {
public:
    explicit ToolpathBuilder(ToolpathModel& model, const ToolpathReadOptions& options = {});
    void Line(std::string_view cleanedLine);
    // A move to (x, y, z, e), and where the head is taken to be: for files
    // read by the G-code interpreter.
    void Move(const float (&target)[4]);
    void SetPosition(const float (&position)[4]);
    void Finish();

private:
    void AddSegment(std::vector<float>& xyz, const float* from, const float* to);
    void StartLayer(float z);

    ToolpathModel& m_model;
    ToolpathReadOptions m_options;
    float m_position[4] = {0, 0, 0, 0};  // x, y, z, e
    std::size_t m_travelAtLastExtrusion = 0;  // travel vertices when the last extrusion was added
    bool m_finished = false;
};

}  // namespace zelk
