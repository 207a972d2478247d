// The text-fit cases on a display scaled x2: GTK reads the scale when it
// starts, which is after static initialisation.
#include <cstdlib>

namespace {

const bool kScaledDisplay = [] {
    ::setenv("GDK_SCALE", "2", 1);
    ::setenv("GDK_DPI_SCALE", "1", 1);
    return true;
}();

}  // namespace

bool TextFitDisplayScaled() { return kScaledDisplay; }
