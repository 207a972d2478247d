// The texts of the toolpath panel that are made from numbers.
#include "ToolpathPanelText.h"

#include <cstdio>

#include "WorkflowText.h"

namespace zelk {

std::string LayerLabelText(const std::string& pattern, std::size_t layer, std::size_t layerCount, double zMM)
{
    char z[32];
    std::snprintf(z, sizeof z, "%.2f", zMM);
    return FillPattern(pattern, {std::to_string(layer + 1), std::to_string(layerCount), z});
}

}  // namespace zelk
