// What the slicer bridge tells the program that runs it, in one place for both
// sides: the lines it prints while it slices, and the exit codes it ends with.
// The bridge writes these lines; the slicing panel's progress reads them.
#pragma once

#include <cstddef>
#include <string>

namespace slicelines {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,  // the model was refused, or the engine failed
    kExitUsage = 2,
    kExitNoEngine = 3,
    kExitCannotWrite = 4,
    kExitBadStartGCode = 5,
    kExitCancelled = 130,
};

inline constexpr const char* kExportedPrefix = "The exported file is saved as";
inline constexpr const char* kErrorPrefix = "error: ";

// The progress lines. Nothing else the bridge prints starts with their first words.
std::string InsetTotalLine(int totalLayers);  // "Inset layer count 0 of T"
std::string InsetLine(int layer);             // "Inset layer count n"
std::string FillLine(std::size_t layer, std::size_t totalLayers);  // "Fill layer count n of T"
std::string RaftLine(std::size_t layer);      // "Raft layer count n"
std::string SavedLine(const std::string& path);  // "The exported file is saved as PATH"
std::string ErrorLine(const std::string& reason);  // "error: REASON"

// One line read back.
struct Line {
    enum Kind { kOther, kError, kExported, kLayerCount };
    Kind kind = kOther;
    std::string text;      // kError: the reason
    // kLayerCount: "WORD layer count N [of T]"; the "Slice" word is a slicing layer.
    std::string stage;
    int layer = 0;
    bool hasTotal = false;
    int total = 0;
};

Line ReadLine(const std::string& line);

}  // namespace slicelines
