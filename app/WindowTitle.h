// The main window's title: what is on the plate, or the print file opened,
// before the program's name ("cube20.stl — Orvanel v1.0").
#pragma once

#include <string>
#include <vector>

namespace zelk {

inline constexpr const char* kProgramTitle = "Orvanel v1.0";
// Model names the title lists before it counts the rest ("+2").
inline constexpr std::size_t kTitleNames = 3;

// `modelPaths` the files the plate's models were read from, in load order;
// `openedPrintFile` a G-code or X3G file opened to print (empty: none), which
// is named instead of the models because it is what prints. Only file names
// appear, never folders.
std::string WindowTitle(const std::vector<std::string>& modelPaths, const std::string& openedPrintFile);

}  // namespace zelk
