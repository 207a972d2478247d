// The benchmarks' canonical G-code file.
#include "CanonicalGCode.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace bench {

namespace {

constexpr double kBedHalf = 70.0;          // X and Y stay in [-70, 70]
constexpr double kFirstLayer = 0.3;
constexpr double kFilamentPerMM = 0.0333;  // absolute E gained per mm of extruded path
constexpr double kRetract = 1.0;
constexpr int kTravelFeed = 4800;
constexpr int kPrintFeeds[] = {1800, 3000};

// Builds one line in a fixed buffer, without the cost of a formatted print.
class LineBuilder {
public:
    LineBuilder& Text(const char* s)
    {
        const std::size_t n = std::strlen(s);
        std::memcpy(m_buffer + m_size, s, n);
        m_size += n;
        return *this;
    }

    // " <letter><value>" with exactly decimals digits after the point.
    LineBuilder& Word(char letter, double value, int decimals)
    {
        m_buffer[m_size++] = ' ';
        m_buffer[m_size++] = letter;
        auto result = std::to_chars(m_buffer + m_size, m_buffer + sizeof m_buffer, value,
                                    std::chars_format::fixed, decimals);
        m_size = static_cast<std::size_t>(result.ptr - m_buffer);
        return *this;
    }

    LineBuilder& Word(char letter, int value)
    {
        m_buffer[m_size++] = ' ';
        m_buffer[m_size++] = letter;
        auto result = std::to_chars(m_buffer + m_size, m_buffer + sizeof m_buffer, value);
        m_size = static_cast<std::size_t>(result.ptr - m_buffer);
        return *this;
    }

    // Hands the line to sink and starts the next; returns the line's size.
    std::size_t EmitTo(LineSink& sink)
    {
        const std::size_t size = m_size;
        sink.Line(m_buffer, size);
        m_size = 0;
        return size;
    }

private:
    char m_buffer[256];
    std::size_t m_size = 0;
};

class Generator {
public:
    Generator(const CanonicalGCodeOptions& options, LineSink& sink)
        : m_options(options), m_sink(sink), m_random(options.seed)
    {
    }

    CanonicalGCodeStats Run()
    {
        for (const std::string& line : CanonicalStartSequence())
            Emit(line.c_str());
        Emit("M73 P0");

        // The start sequence leaves the head at (-70, -70, 5).
        m_x = -kBedHalf;
        m_y = -kBedHalf;
        constexpr std::size_t kEndLines = 7;  // the lines after the layers
        const std::size_t bodyEnd = m_options.minLines > kEndLines ? m_options.minLines - kEndLines : 0;
        while (m_stats.lines < bodyEnd)
            Layer(bodyEnd);

        // Lift off the print, cool down, release the motors.
        Emit("M73 P100");
        Move(m_x, m_y, m_z + 10.0, 1000, m_e);
        Emit("M103");
        Emit("M104 S0 T0");
        Emit("M109 S0 T0");
        Move(-kBedHalf, kBedHalf, m_z, kTravelFeed, m_e);
        Emit("M18");
        return m_stats;
    }

private:
    void Emit(const char* text)
    {
        m_line.Text(text);
        Flush();
    }

    void Flush()
    {
        m_stats.bytes += m_line.EmitTo(m_sink) + 1;
        ++m_stats.lines;
    }

    // The six-word move of the slicer: "G1 X Y Z F E". X and Y carry 3 to 5
    // decimals, Z 3, E 5. The position kept is the one written.
    void Move(double x, double y, double z, int feed, double e)
    {
        m_xDecimals = 3 + static_cast<int>(m_random.Below(3));
        m_yDecimals = 3 + static_cast<int>(m_random.Below(3));
        m_x = RoundTo(x, m_xDecimals);
        m_y = RoundTo(y, m_yDecimals);
        m_z = RoundTo(z, 3);
        m_e = RoundTo(e, 5);
        WriteMove(feed);
    }

    // A move of the extruder alone: the line repeats X, Y and Z exactly as
    // the previous move wrote them.
    void ExtrudeInPlace(int feed, double e)
    {
        m_e = RoundTo(e, 5);
        WriteMove(feed);
    }

    void WriteMove(int feed)
    {
        m_line.Text("G1")
            .Word('X', m_x, m_xDecimals)
            .Word('Y', m_y, m_yDecimals)
            .Word('Z', m_z, 3)
            .Word('F', feed)
            .Word('E', m_e, 5);
        Flush();
        ++m_stats.moveLines;
    }

    static double RoundTo(double v, int decimals)
    {
        static constexpr double kScale[] = {1, 10, 100, 1000, 10000, 100000};
        return std::round(v * kScale[decimals]) / kScale[decimals];
    }

    void Progress(std::size_t bodyEnd)
    {
        const int percent = static_cast<int>(std::min<std::size_t>(99, m_stats.lines * 100 / std::max<std::size_t>(bodyEnd, 1)));
        if (percent > m_percent) {
            m_percent = percent;
            m_line.Text("M73").Word('P', percent);
            Flush();
        }
    }

    // The next point of the path: a few millimetres on, turning gently,
    // bouncing off the edges of the bed.
    void Step(double& x, double& y)
    {
        m_heading += m_random.Uniform(-0.7, 0.7);
        const double length = m_random.Uniform(0.5, 12.0);
        x = m_x + length * std::cos(m_heading);
        y = m_y + length * std::sin(m_heading);
        if (x < -kBedHalf || x > kBedHalf) {
            m_heading = M_PI - m_heading;
            x = std::clamp(x, -kBedHalf, kBedHalf);
        }
        if (y < -kBedHalf || y > kBedHalf) {
            m_heading = -m_heading;
            y = std::clamp(y, -kBedHalf, kBedHalf);
        }
    }

    void Layer(std::size_t bodyEnd)
    {
        ++m_stats.layers;
        const double height = m_stats.layers == 1 ? kFirstLayer : std::round(m_random.Uniform(0.20, 0.30) * 100.0) / 100.0;
        m_z += height;

        // Each layer restarts the extrusion count.
        Emit("G92 E0");
        m_e = 0;
        Move(m_random.Uniform(-kBedHalf, kBedHalf), m_random.Uniform(-kBedHalf, kBedHalf), m_z, kTravelFeed, m_e);
        if (m_stats.layers == 2 || m_stats.layers % 100 == 0) {
            // The slicer restates the temperatures after the first layer.
            Emit("M104 S220 T0");
            Emit("M109 S100 T0");
        }

        const std::uint32_t moves = 1500 + m_random.Below(1001);
        int feed = kPrintFeeds[0];
        for (std::uint32_t i = 0; i < moves && m_stats.lines < bodyEnd; ++i) {
            if (i % 50 == 0)
                feed = kPrintFeeds[m_random.Below(2)];
            double x = 0, y = 0;
            if (m_random.Below(100) < 6) {
                // Retract in place, travel, prime in place: the two in-place
                // lines are extruder-only moves.
                ExtrudeInPlace(kPrintFeeds[0], m_e - kRetract);
                m_heading = m_random.Uniform(-M_PI, M_PI);
                Step(x, y);
                Move(x, y, m_z, kTravelFeed, m_e);
                ExtrudeInPlace(kPrintFeeds[0], m_e + kRetract);
            } else {
                Step(x, y);
                const double length = std::hypot(x - m_x, y - m_y);
                Move(x, y, m_z, feed, m_e + length * kFilamentPerMM);
            }
            Progress(bodyEnd);
        }
    }

    const CanonicalGCodeOptions& m_options;
    LineSink& m_sink;
    SplitMix64 m_random;
    LineBuilder m_line;
    CanonicalGCodeStats m_stats;
    double m_x = 0, m_y = 0, m_z = 0, m_e = 0;
    int m_xDecimals = 3, m_yDecimals = 3;
    double m_heading = 0.3;
    int m_percent = 0;
};

}  // namespace

const std::vector<std::string>& CanonicalStartSequence()
{
    static const std::vector<std::string> lines = {
        "M104 S220 T0",
        "M109 S100 T0",
        "G21",
        "G90",
        "M17",
        "M6 T0",
        "G162 Z F1000",
        "G161 X Y F2500",
        "M103",
        "G92 X-75 Y-75 Z140.0 A0 B0",
        "G1 X-70 F3000",
        "G1 Y-70 F3000",
        "G1 Z5.0 F1000",
        "M101",
        "G92 E0",
        "G4 P15000",
        "G92 E0",
    };
    return lines;
}

CanonicalGCodeStats GenerateCanonicalGCode(const CanonicalGCodeOptions& options, LineSink& sink)
{
    return Generator(options, sink).Run();
}

namespace {

class FileSink : public LineSink {
public:
    explicit FileSink(std::FILE* file) : m_file(file), m_block(new char[kBlock]) {}

    void Line(const char* text, std::size_t size) override
    {
        if (m_used + size + 1 > kBlock)
            Flush();
        std::memcpy(m_block.get() + m_used, text, size);
        m_used += size;
        m_block[m_used++] = '\n';
    }

    bool Flush()
    {
        if (m_used > 0 && std::fwrite(m_block.get(), 1, m_used, m_file) != m_used)
            m_failed = true;
        m_used = 0;
        return !m_failed;
    }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    std::FILE* m_file;
    std::unique_ptr<char[]> m_block;
    std::size_t m_used = 0;
    bool m_failed = false;
};

class VectorSink : public LineSink {
public:
    void Line(const char* text, std::size_t size) override { lines.emplace_back(text, size); }
    std::vector<std::string> lines;
};

}  // namespace

bool WriteGCodeLines(const std::string& path, const std::function<void(LineSink&)>& generate, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    FileSink sink(file);
    generate(sink);
    errno = 0;
    bool ok = sink.Flush();
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        error = "cannot write " + path + ": " + std::strerror(errno != 0 ? errno : EIO);
    return ok;
}

bool WriteCanonicalGCode(const std::string& path, const CanonicalGCodeOptions& options,
                         CanonicalGCodeStats& stats, std::string& error)
{
    return WriteGCodeLines(
        path, [&](LineSink& sink) { stats = GenerateCanonicalGCode(options, sink); }, error);
}

std::vector<std::string> CanonicalGCodeLines(const CanonicalGCodeOptions& options)
{
    VectorSink sink;
    GenerateCanonicalGCode(options, sink);
    return std::move(sink.lines);
}

}  // namespace bench
