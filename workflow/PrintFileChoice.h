// Which file a print, an X3G export and the toolpath preview use: a G-code or X3G file the user opened, or the
// G-code of the models on the plate.
#pragma once

#include <string>
#include <vector>

namespace ZELKCAD {

enum class PrintFileKind { kNone, kGCode, kX3g };

// By the file's name: ".gcode", ".gco", ".g" (any case) G-code, ".x3g" X3G.
PrintFileKind PrintFileKindOf(const std::string& path);

// The files the program opens (STL models, G-code and X3G files, by name, any
// case), in the order given; `refused` gets the others.
std::vector<std::string> OpenableFiles(const std::vector<std::string>& files, std::vector<std::string>& refused);

// The G-code or X3G file the user opened to print (empty: none). Set on the
// user-interface thread; an import of models clears it, so the plate prints
// again.
const std::string& GetOpenedPrintFile();
void SetOpenedPrintFile(const std::string& path);

// The plate's files: the model file its models are merged into for the
// slicer and the G-code the slicer writes beside it; count 0 (and both
// empty) when no model is loaded.
struct PlateFiles {
    std::string modelPath;
    std::string gcodePath;
    int count = 0;
};
PlateFiles GetPlateFiles();

// The file to print: the opened one, else the plate's G-code (empty when no
// model is loaded either).
std::string GetPrintFilePath();

}  // namespace ZELKCAD
