// A generated print the way a slicer lays one out: perimeters, infill, travel.
#include "LayeredGCode.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "CanonicalGCode.h"

namespace bench {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFirstLayer = 0.3;
constexpr double kLayer = 0.2;
constexpr double kFilamentPerMM = 0.0333;
constexpr double kRetract = 1.0;
constexpr double kLineWidth = 0.45;
constexpr double kInfillSpacing = 2.0;
constexpr int kShells = 3;
constexpr int kOutlineSegments = 96;
constexpr int kTravelFeed = 4800, kPerimeterFeed = 1800, kInfillFeed = 3000;

class Writer {
public:
    explicit Writer(std::FILE* file) : m_file(file), m_block(new char[kBlock]) {}

    void Text(const char* text)
    {
        const std::size_t n = std::strlen(text);
        Reserve(n + 1);
        std::memcpy(m_block.get() + m_used, text, n);
        m_used += n;
        m_block[m_used++] = '\n';
        ++stats.lines;
    }

    void Move(double x, double y, double z, int feed, double e)
    {
        Reserve(128);
        char* p = m_block.get() + m_used;
        char* const end = p + 128;
        auto word = [&](char letter, double v, int decimals) {
            *p++ = ' ';
            *p++ = letter;
            p = std::to_chars(p, end, v, std::chars_format::fixed, decimals).ptr;
        };
        *p++ = 'G';
        *p++ = '1';
        word('X', x, 3);
        word('Y', y, 3);
        word('Z', z, 3);
        word('F', feed, 0);
        word('E', e, 5);
        *p++ = '\n';
        m_used = static_cast<std::size_t>(p - m_block.get());
        ++stats.lines;
    }

    bool Flush()
    {
        if (m_used > 0 && std::fwrite(m_block.get(), 1, m_used, m_file) != m_used)
            m_failed = true;
        m_used = 0;
        return !m_failed;
    }

    LayeredGCodeStats stats;

private:
    void Reserve(std::size_t n)
    {
        if (m_used + n > kBlock)
            Flush();
    }

    static constexpr std::size_t kBlock = 1 << 20;
    std::FILE* m_file;
    std::unique_ptr<char[]> m_block;
    std::size_t m_used = 0;
    bool m_failed = false;
};

class Printer {
public:
    explicit Printer(Writer& out) : m_out(out) {}

    void Run(std::size_t minLines)
    {
        for (const std::string& line : CanonicalStartSequence())
            m_out.Text(line.c_str());
        // The start sequence leaves the head at (-70, -70, 5).
        m_x = -70;
        m_y = -70;
        m_z = 5;
        constexpr std::size_t kEndLines = 4;
        while (m_out.stats.lines + kEndLines < minLines)
            Layer();
        Travel(m_x, m_y, m_z + 10);
        m_out.Text("M104 S0 T0");
        m_out.Text("M109 S0 T0");
        m_out.Text("M18");
    }

private:
    void Extrude(double x, double y, int feed)
    {
        m_e += std::hypot(x - m_x, y - m_y) * kFilamentPerMM;
        Go(x, y, m_z, feed);
        ++m_out.stats.extrusionMoves;
    }

    void Travel(double x, double y, double z)
    {
        Go(x, y, z, kTravelFeed);
        ++m_out.stats.travelMoves;
    }

    void Go(double x, double y, double z, int feed)
    {
        m_x = x;
        m_y = y;
        m_z = z;
        m_out.Move(x, y, z, feed, m_e);
    }

    // Retract, travel, prime: the two extruder-only lines move nothing else.
    void TravelWithRetraction(double x, double y)
    {
        m_e -= kRetract;
        m_out.Move(m_x, m_y, m_z, kPerimeterFeed, m_e);
        Travel(x, y, m_z);
        m_e += kRetract;
        m_out.Move(m_x, m_y, m_z, kPerimeterFeed, m_e);
    }

    // The outline's radius at angle a on this layer: narrowing with height
    // and with six lobes that turn slowly.
    double Radius(double base, double a) const
    {
        const double height = m_z / 70.0;
        const double waist = 1.0 - 0.35 * std::sin(kPi * std::min(height, 1.0));
        return base * waist * (1.0 + 0.08 * std::cos(6 * a + m_z * 0.05));
    }

    void Part(double cx, double cy, double base)
    {
        for (int shell = kShells - 1; shell >= 0; --shell) {
            const double inset = (shell + 0.5) * kLineWidth;
            auto at = [&](int i, double& x, double& y) {
                const double a = 2 * kPi * i / kOutlineSegments;
                const double r = Radius(base, a) - inset;
                x = cx + r * std::cos(a);
                y = cy + r * std::sin(a);
            };
            double x = 0, y = 0;
            at(0, x, y);
            if (shell == kShells - 1)
                TravelWithRetraction(x, y);
            else
                Travel(x, y, m_z);
            for (int i = 1; i <= kOutlineSegments; ++i) {
                at(i, x, y);
                Extrude(x, y, kPerimeterFeed);
            }
        }
        // Infill inside the narrowest point of the inner perimeter, lines at
        // 45 degrees, the direction turning each layer, back and forth.
        const double inner = base * (1.0 - 0.35 * std::sin(kPi * std::min(m_z / 70.0, 1.0))) * 0.92 -
                             (kShells + 0.5) * kLineWidth;
        const double direction = (m_layer % 2 == 0 ? 1.0 : -1.0) * kPi / 4;
        const double ux = std::cos(direction), uy = std::sin(direction);
        bool forward = true;
        for (double d = -inner + kInfillSpacing / 2; d < inner; d += kInfillSpacing) {
            const double half = std::sqrt(inner * inner - d * d);
            const double px = cx - uy * d, py = cy + ux * d;
            const double s = forward ? -half : half;
            Travel(px + ux * s, py + uy * s, m_z);
            Extrude(px - ux * s, py - uy * s, kInfillFeed);
            forward = !forward;
        }
    }

    void Layer()
    {
        ++m_layer;
        ++m_out.stats.layers;
        m_out.Text("G92 E0");
        m_e = 0;
        const double z = m_layer == 1 ? kFirstLayer : kFirstLayer + (m_layer - 1) * kLayer;
        Travel(m_x, m_y, std::round(z * 1000) / 1000);
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                // Rows run back and forth so the travel between parts stays short.
                const int c = row % 2 == 0 ? column : 2 - column;
                Part(-44 + 44 * c, -44 + 44 * row, 17.5);
            }
        }
    }

    Writer& m_out;
    double m_x = 0, m_y = 0, m_z = 0, m_e = 0;
    int m_layer = 0;
};

}  // namespace

bool WriteLayeredGCode(const std::string& path, std::size_t minLines, LayeredGCodeStats& stats, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    Writer writer(file);
    Printer(writer).Run(minLines);
    stats = writer.stats;
    errno = 0;
    bool ok = writer.Flush();
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        error = "cannot write " + path + ": " + std::strerror(errno != 0 ? errno : EIO);
    return ok;
}

}  // namespace bench
