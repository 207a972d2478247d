// The STL loader: reads an STL file from disk into a triangle mesh.
#pragma once

#include <string>

#include "GePrint.h"
#include "StlParser.h"

namespace zelk {

// Reads the STL file at `path` (binary or ASCII). Returns true with the mesh
// filled, or false with the mesh empty and `reason` naming the file and the fault.
bool LoadStlFile(const std::string& path, ZELKGePrint& mesh, std::string& reason,
                 const StlReadOptions& options = {});

}  // namespace zelk

// The process-wide loader object. Used from the user-interface thread.
class ZELKPrintMode {
public:
    static ZELKPrintMode* GetLoadModeObject();

    // Returns 1 with the mesh filled (triangles and corners), or 0 with the
    // mesh empty and LastError() telling the user which file failed and why.
    int LoadStl(std::string path, ZELKGePrint& mesh);

    const std::string& LastError() const { return m_lastError; }

private:
    ZELKPrintMode() = default;
    static ZELKPrintMode* m_loadMode;
    std::string m_lastError;
};
