// The pictures of the tool column, the top row and the view panel, drawn by the program.
#pragma once

#include <wx/bitmap.h>

namespace zelk {

enum ToolPictureId : unsigned {
    kPicViewTop = 3900,
    kPicViewFront = 3901,
    kPicViewSide = 3902,
    kPicView = 3903,  // unchecked; checked is the id + 1, likewise below
    kPicMove = 3905,
    kPicRotate = 3907,
    kPicScale = 3909,
    kPicGCode = 3911,
    kPicMachineControl = 3913,
    kPicImport = 3915,
    kPicStart = 3916,
    kPicStop = 3917,
    kPicExport = 3918,
    kPicDisconnected = 3919,
    kPicConnected = 3920,
    kPicPause = 3921,
    kPicResume = 3922,
    kPicTemperature = 3923,  // unchecked; checked is 3924
    kPicToolpath = 3925,     // unchecked; checked is 3926
};

constexpr int kToolPictureSize = 48;

// The 48 x 48 picture of `id` (3900-3926), with alpha; drawn once and then
// shared. An unknown id gives an invalid bitmap. User-interface thread only.
wxBitmap LoadToolPicture(unsigned id);

}  // namespace zelk
