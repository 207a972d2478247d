// The printer's two heaters.
#pragma once

namespace zelk {

enum class Heater { Extruder, Platform };

}  // namespace zelk
