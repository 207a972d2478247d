// The files named after the slicer's model file.
#include "ModelFilePaths.h"

namespace zelk {

std::string GCodePathForModel(const std::string& modelPath)
{
    const char* space = " \t\r\n\v\f";
    const std::size_t first = modelPath.find_first_not_of(space);
    const std::string path = first == std::string::npos
                                 ? std::string()
                                 : modelPath.substr(first, modelPath.find_last_not_of(space) - first + 1);
    return (path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string()) + ".gcode";
}

}  // namespace zelk
