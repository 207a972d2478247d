// The texts of the toolpath panel that are made from numbers, without windows.
#pragma once

#include <cstddef>
#include <string>

namespace zelk {

// The layer line from its translated pattern: "%1" becomes the layer counted
// from 1, "%2" the number of layers, "%3" the layer's Z in millimetres with
// two decimals. Other text is kept as it is.
std::string LayerLabelText(const std::string& pattern, std::size_t layer, std::size_t layerCount, double zMM);

}  // namespace zelk
