// The bridge's progress lines written and read.
#include "SliceLines.h"

#include <cstdio>
#include <cstring>

namespace slicelines {

std::string InsetTotalLine(int totalLayers) { return "Inset layer count 0 of " + std::to_string(totalLayers); }

std::string InsetLine(int layer) { return "Inset layer count " + std::to_string(layer); }

std::string FillLine(std::size_t layer, std::size_t totalLayers)
{
    return "Fill layer count " + std::to_string(layer) + " of " + std::to_string(totalLayers);
}

std::string RaftLine(std::size_t layer) { return "Raft layer count " + std::to_string(layer); }

std::string SavedLine(const std::string& path) { return std::string(kExportedPrefix) + ' ' + path; }

std::string ErrorLine(const std::string& reason) { return kErrorPrefix + reason; }

Line ReadLine(const std::string& text)
{
    Line line;
    if (text.rfind(kErrorPrefix, 0) == 0) {
        line.kind = Line::kError;
        line.text = text.substr(std::strlen(kErrorPrefix));
        return line;
    }
    if (text.rfind(kExportedPrefix, 0) == 0) {
        line.kind = Line::kExported;
        line.text = text.substr(std::strlen(kExportedPrefix));
        return line;
    }
    char stage[256] = {0};
    int layer = 0, total = 0;
    const int fields = std::sscanf(text.c_str(), "%255s layer count %d of %d", stage, &layer, &total);
    if (fields >= 2) {
        line.kind = Line::kLayerCount;
        line.stage = stage;
        line.layer = layer;
        line.hasTotal = fields == 3;
        line.total = total;
    }
    return line;
}

}  // namespace slicelines
