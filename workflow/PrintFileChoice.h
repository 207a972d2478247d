// Which file a print, an X3G export and the toolpath preview use: a G-code or X3G file the user opened, or the
// G-code of the models on the plate.
#pragma once

#include <string>

namespace ZELKCAD {

enum class PrintFileKind { kNone, kGCode, kX3g };

// By the file's name: ".gcode", ".gco", ".g" (any case) G-code, ".x3g" X3G.
PrintFileKind PrintFileKindOf(const std::string& path);

// The G-code or X3G file the user opened to print (empty: none). Set on the
// user-interface thread; an import of models clears it, so the plate prints
// again.
const std::string& GetOpenedPrintFile();
void SetOpenedPrintFile(const std::string& path);

// The file to print: the opened one, else the G-code beside the first model
// (empty when no model is loaded either).
std::string GetPrintFilePath();

}  // namespace ZELKCAD
