// The rewrite of the engine's G-code into the dialect the printer's translator reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace bridge {

// Where the head stands, as the translator will have it.
struct MachineState {
    double x = 0;
    double y = 0;
    double z = 0;
    double feedMmPerMin = 0;
    double e = 0;
};

// The translator takes the temperatures from the start G-code's first two
// lines, so they must be there: M104 on the first non-empty line and M109 on
// the second. False with the reason otherwise.
bool CheckStartGCode(std::string_view text, std::string& error);

// The position at the end of the start G-code: its G0/G1 words move, G92 sets
// X, Y, Z and the extruder (E, or A as this printer names it). Nothing else
// is interpreted.
MachineState TrackStartGCode(std::string_view text);

// The printer's end sequence: extruder off, both heaters off, the platform to
// its lower end, the head home, the motors off.
extern const std::string_view kEndSequence;

enum class RewriteStatus { kOk, kRefused, kWriteFailed, kCancelled };

// Streams the start G-code, the engine's moves and the end sequence into
// `sink` in pieces. Every move comes out as "G1 X Y Z F E" with all five
// words, absolute E; what the translator would misread (relative XYZ, arcs,
// firmware retraction, inches, other G92 shapes) is refused, not dropped.
// Without a sink the rewriter only reads: it counts the layers and refuses
// the same lines, without formatting anything.
class GCodeRewriter {
public:
    using Sink = std::function<bool(std::string_view)>;

    explicit GCodeRewriter(Sink sink = nullptr);

    // Called with 1, 2, ... as each layer starts (writing rewriters only).
    void SetLayerObserver(std::function<void(std::size_t)> observer) { m_onLayer = std::move(observer); }
    // Asked every few thousand lines; true stops the rewrite (kCancelled).
    void SetCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }

    // The start G-code's lines as they are; the position at its end becomes
    // the starting point of the moves.
    RewriteStatus WriteStart(std::string_view startText);
    RewriteStatus Rewrite(std::string_view engineText);
    // The end sequence, and everything still buffered to the sink.
    RewriteStatus Finish();

    // Layers: the distinct heights at which the head extrudes while moving,
    // each above the last. Raft layers: those before the first layer that
    // extrudes the model itself (known from the engine's ";TYPE:" comments).
    std::size_t Layers() const { return m_layers; }
    std::size_t RaftLayers() const { return m_firstObjectLayer == 0 ? 0 : m_firstObjectLayer - 1; }
    const MachineState& State() const { return m_pos; }
    const std::string& Error() const { return m_error; }

private:
    struct Words;

    RewriteStatus Line(std::string_view line);
    RewriteStatus Move(const Words& words);
    RewriteStatus SetPosition(const Words& words);
    RewriteStatus Refuse(std::string_view why);
    void NoteType(std::string_view type);
    void EmitMove(std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t e);
    void Emit(std::string_view text);
    bool FlushIfFull();

    Sink m_sink;
    std::function<void(std::size_t)> m_onLayer;
    std::function<bool()> m_cancelled;
    std::string m_buffer;
    std::string m_error;
    bool m_writeFailed = false;

    MachineState m_pos;
    bool m_relativeE = false;
    // The position the translator last saw, in output units (1e-3 mm for XYZ,
    // 1e-5 mm for E): a move that rounds to it is no move.
    std::int64_t m_lastX = 0, m_lastY = 0, m_lastZ = 0, m_lastE = 0;
    std::size_t m_lineNumber = 0;
    std::string_view m_currentLine;

    std::size_t m_layers = 0;
    std::int64_t m_layerZ = INT64_MIN;
    bool m_objectType = true;
    std::size_t m_firstObjectLayer = 0;
};

}  // namespace bridge
