// The slicing settings record the slicing panel hands to the slicer command-line service.
#pragma once

#include <string>

// Values are kept as the texts the slicer is given. The constructor's values
// are those of a panel whose lists have no selection; the panel overwrites
// every field it has a control for.
struct SkeinforgeParameter {
    std::string profile = "QUEN";  // the slicer profile (its start G-code folder)
    int raft = 1;                  // 0 or 1
    int support = 0;               // 0 none, 1 touching the build plate, 2 everywhere
    std::string infill = "20";     // a fraction ("0.30") or, above 1, a percentage ("20")
    std::string layerHeight = "0.2";
    std::string shells = "1";      // 0 thin, 1 normal, 2 thick
    std::string speed = "60";      // mm/s
};
