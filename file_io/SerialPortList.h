// The printer devices a user can choose from.
#pragma once

#include <string>
#include <vector>

namespace zelk {

// The serial devices under `devRoot` (normally "/dev") a printer can be on:
// the stable names under serial/by-id first (they survive re-plugging), then
// ttyACM* and ttyUSB* that no by-id name already points to; never the
// on-board ttyS*, which every machine has whether or not anything is wired
// to them. Each group sorted.
std::vector<std::string> ListSerialDevices(const std::string& devRoot = "/dev");

}  // namespace zelk
