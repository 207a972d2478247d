// The texts of the toolpath panel that are made from numbers.
#include "ToolpathPanelText.h"

#include <cstdio>

namespace zelk {

std::string LayerLabelText(const std::string& pattern, std::size_t layer, std::size_t layerCount, double zMM)
{
    char z[32];
    std::snprintf(z, sizeof z, "%.2f", zMM);
    const std::string values[3] = {std::to_string(layer + 1), std::to_string(layerCount), z};
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '3') {
            text += values[pattern[i + 1] - '1'];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

}  // namespace zelk
