// Reads the bridge's G-code back: its shape checked line by line, and what it extrudes where.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace testgcode {

// One extruding move: from (x0, y0) to (x1, y1) at z, using e of filament.
struct Segment {
    double x0, y0, x1, y1, z, e;
};

struct Scan {
    std::vector<std::string> problems;  // each names its line
    std::vector<Segment> segments;
    std::size_t moves = 0;
    // Extruding moves (E rises while X or Y changes): their extent, the
    // heights in the order they start, and the filament used per height.
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    std::vector<double> layerHeights;
    std::map<double, double> extrusionByZ;
    std::map<double, int> feedCountAboveFirstLayer;  // F (mm/min) of extruding moves
    double extrusion = 0;

    double CentreX() const { return (minX + maxX) / 2; }
    double CentreY() const { return (minY + maxY) / 2; }
    double ExtrusionBetween(double zLow, double zHigh) const
    {
        double sum = 0;
        for (const auto& [z, e] : extrusionByZ)
            if (z >= zLow && z <= zHigh)
                sum += e;
        return sum;
    }
};

// "X12.345" with the letter and exactly `decimals` places.
inline bool ReadWord(std::string_view word, char letter, int decimals, double& value)
{
    if (word.size() < 2 || word.front() != letter)
        return false;
    const std::size_t dot = word.find('.');
    if (decimals > 0 && (dot == std::string_view::npos || word.size() - dot - 1 != static_cast<std::size_t>(decimals)))
        return false;
    const auto [end, ec] = std::from_chars(word.data() + 1, word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size();
}

// Checks the lines of the rewrite between start and end sequence: every move
// "G1 X Y Z F E" with five words in order, no move that changes nothing, E
// falling only in an E-only move (a retraction) or through "G92 E", and no
// other line. (x, y, z, e) is where the start G-code left the head.
inline Scan ScanDialect(const std::string& text, double x, double y, double z, double e)
{
    Scan scan;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto problem = [&](const std::string& what) {
        scan.problems.push_back("line " + std::to_string(number) + " '" + line + "': " + what);
    };
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
        if (w.size() == 2 && w[0] == "G92" && ReadWord(w[1], 'E', 0, e))
            continue;
        double v[5];
        if (w.size() != 6 || w[0] != "G1" || !ReadWord(w[1], 'X', 3, v[0]) || !ReadWord(w[2], 'Y', 3, v[1]) ||
            !ReadWord(w[3], 'Z', 3, v[2]) || !ReadWord(w[4], 'F', 0, v[3]) || !ReadWord(w[5], 'E', 5, v[4])) {
            problem("not a five-word move");
            continue;
        }
        ++scan.moves;
        const bool moved = v[0] != x || v[1] != y || v[2] != z;
        if (!moved && v[4] == e)
            problem("a move that changes nothing");
        if (v[4] < e && moved)
            problem("E falls during a move");
        if (v[4] > e && (v[0] != x || v[1] != y)) {
            scan.minX = std::min({scan.minX, x, v[0]});
            scan.maxX = std::max({scan.maxX, x, v[0]});
            scan.minY = std::min({scan.minY, y, v[1]});
            scan.maxY = std::max({scan.maxY, y, v[1]});
            if (scan.layerHeights.empty() || v[2] > scan.layerHeights.back())
                scan.layerHeights.push_back(v[2]);
            scan.segments.push_back({x, y, v[0], v[1], v[2], v[4] - e});
            scan.extrusionByZ[v[2]] += v[4] - e;
            scan.extrusion += v[4] - e;
            if (scan.layerHeights.size() > 1)
                ++scan.feedCountAboveFirstLayer[v[3]];
        }
        x = v[0], y = v[1], z = v[2], e = v[4];
    }
    return scan;
}

}  // namespace testgcode
