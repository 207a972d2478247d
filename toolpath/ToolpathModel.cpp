// The toolpaths of a G-code file as line segments by layer.
#include "ToolpathModel.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "GCodeFile.h"
#include "GCodeInterpreter.h"
#include "GCodeWords.h"

namespace zelk {

std::size_t SegmentArray::VerticesThrough(std::size_t layer) const
{
    if (layerEnd.empty())
        return 0;
    return layerEnd[std::min(layer, layerEnd.size() - 1)];
}

ToolpathBuilder::ToolpathBuilder(ToolpathModel& model, const ToolpathReadOptions& options)
    : m_model(model), m_options(options)
{
}

void ToolpathBuilder::Line(std::string_view cleanedLine)
{
    if (m_finished)
        return;
    ++m_model.lineCount;
    GCodeWords words;
    SplitGCodeWords(cleanedLine, words);
    const GCodeCommand command = ReadGCodeCommand(words);
    if (command.letter != 'G')
        return;
    if (command.code == 1) {
        MoveWords move;
        if (!ReadMoveWords(words, move)) {
            ++m_model.skippedLineCount;
            return;
        }
        if (move.feedrateOnly)
            return;
        // Axes the line does not name stay where they are.
        float target[4];
        for (int axis = 0; axis < 4; ++axis)
            target[axis] = move.named[axis] ? move.value[axis] : m_position[axis];
        Move(target);
        return;
    }
    if (command.code != 92)
        return;
    const PositionReset reset = ReadPositionReset(words);
    switch (reset.kind) {
    case PositionReset::kStartHeight:
        if (m_options.startHeightMM)
            m_position[2] = *m_options.startHeightMM;
        break;
    case PositionReset::kFilament:
        m_position[3] = reset.e;
        break;
    case PositionReset::kAll:
        m_position[0] = reset.x;
        m_position[1] = reset.y;
        if (reset.z <= 1.0f)
            m_position[2] = reset.z;
        else if (m_options.startHeightMM)
            m_position[2] = *m_options.startHeightMM;
        m_position[3] = 0;
        break;
    case PositionReset::kSkip:
        ++m_model.skippedLineCount;
        break;
    case PositionReset::kNothing:
        break;
    }
}

void ToolpathBuilder::Move(const float (&target)[4])
{
    const float* from = m_position;
    const bool movesXY = target[0] != from[0] || target[1] != from[1];
    const bool movesHead = movesXY || target[2] != from[2];
    if (movesHead) {
        if (movesXY && target[3] > from[3]) {
            const std::size_t layers = m_model.layerZ.size();
            if (layers == 0 || target[2] > m_model.layerZ.back())
                StartLayer(target[2]);
            AddSegment(m_model.extrusion.xyz, from, target);
            m_travelAtLastExtrusion = m_model.travel.VertexCount();
        } else {
            AddSegment(m_model.travel.xyz, from, target);
        }
    }
    std::copy(target, target + 4, m_position);
}

void ToolpathBuilder::SetPosition(const float (&position)[4])
{
    std::copy(position, position + 4, m_position);
}

void ToolpathBuilder::AddSegment(std::vector<float>& xyz, const float* from, const float* to)
{
    xyz.insert(xyz.end(), {from[0], from[1], from[2], to[0], to[1], to[2]});
}

// The layer before the new one ends with its last extrusion, and with the
// travel up to it: travel after it leads to the new layer.
void ToolpathBuilder::StartLayer(float z)
{
    if (!m_model.layerZ.empty()) {
        m_model.extrusion.layerEnd.push_back(m_model.extrusion.VertexCount());
        m_model.travel.layerEnd.push_back(m_travelAtLastExtrusion);
    }
    m_model.layerZ.push_back(z);
}

void ToolpathBuilder::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_model.layerZ.empty() && m_model.HasMoves()) {
        // Travel alone: one layer at the height of its first point.
        m_model.layerZ.push_back(m_model.travel.xyz[2]);
    }
    if (!m_model.layerZ.empty()) {
        m_model.extrusion.layerEnd.push_back(m_model.extrusion.VertexCount());
        m_model.travel.layerEnd.push_back(m_model.travel.VertexCount());
    }
    bool first = true;
    for (const SegmentArray* array : {&m_model.extrusion, &m_model.travel}) {
        const std::vector<float>& v = array->xyz;
        for (std::size_t i = 0; i < v.size(); i += 3) {
            for (int axis = 0; axis < 3; ++axis) {
                const float value = v[i + axis];
                if (first || value < m_model.boxMin[axis])
                    m_model.boxMin[axis] = value;
                if (first || value > m_model.boxMax[axis])
                    m_model.boxMax[axis] = value;
            }
            first = false;
        }
    }
}

namespace {

// A file of another flavour through the interpreter, as the translator reads
// it (without the build-volume check: the preview shows what a refused file
// would do). False, with the line in the reason, for a line it refuses.
bool ReadFlavoredLines(const GCodeText& text, gcode::GCodeFlavor flavor, const ToolpathReadOptions& options,
                       ToolpathBuilder& builder, ToolpathModel& model)
{
    gcode::MachineSetup setup;
    if (options.startHeightMM)
        setup.homeZ = *options.startHeightMM;
    gcode::GCodeInterpreter interpreter(flavor, setup);
    std::vector<gcode::Action> actions;
    std::string error;
    const char* cursor = text.data.get();
    const char* const stop = cursor + text.size;
    std::size_t number = 0;
    while (cursor < stop) {
        const char* newline = static_cast<const char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(stop - cursor)));
        const char* end = newline != nullptr ? newline : stop;
        ++number;
        const std::string_view line(cursor, static_cast<std::size_t>(end - cursor));
        cursor = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos)
            continue;
        ++model.lineCount;
        actions.clear();
        if (!interpreter.Feed(line, actions, error)) {
            model.reason = "line " + std::to_string(number) + ": " + error;
            return false;
        }
        for (const gcode::Action& a : actions) {
            const float at[4] = {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z),
                                 static_cast<float>(a.e)};
            if (a.kind == gcode::ActionKind::kMove)
                builder.Move(at);
            else if (a.kind == gcode::ActionKind::kSetPosition)
                builder.SetPosition(at);
        }
    }
    return true;
}

}  // namespace

ToolpathModel ReadToolpath(const std::string& path, const ToolpathReadOptions& options)
{
    ToolpathModel model;
    try {
        GCodeText text;
        if (!ReadGCodeText(path, text, &model.reason))
            return model;
        model.read = true;
        ToolpathBuilder builder(model, options);
        const gcode::GCodeFlavor flavor =
            options.flavor.value_or(gcode::DetectFlavor(std::string_view(text.data.get(), text.size)).flavor);
        if (flavor == gcode::GCodeFlavor::kPrinter)
            ForEachGCodeLine(text, [&](std::string_view line) { builder.Line(line); });
        else if (!ReadFlavoredLines(text, flavor, options, builder, model)) {
            model = ToolpathModel{true, path + ": " + model.reason};
            return model;
        }
        builder.Finish();
    } catch (const std::bad_alloc&) {
        // A file too large for the memory there is: nothing half-built is kept.
        model = ToolpathModel();
        model.reason = "cannot read the toolpaths of " + path + ": out of memory";
        return model;
    }
    if (!model.HasMoves())
        model.reason = path + ": no move (G1) in the file";
    return model;
}

}  // namespace zelk
