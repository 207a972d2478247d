// Which models each G-code file was sliced from.
#include <gtest/gtest.h>

#include "SlicedGCode.h"

TEST(SlicedGCodeTest, StateFollowsTheModelsSlicedAndNotHandPlacedFiles)
{
    const std::string path = "/plate/model.gcode";
    EXPECT_EQ(ZELKCAD::GetSlicedGCodeState(path, 1), ZELKCAD::GCODE_NOT_SLICED_HERE);
    ZELKCAD::RecordSlicedGCode(path, 42);
    EXPECT_EQ(ZELKCAD::GetSlicedGCodeState(path, 42), ZELKCAD::GCODE_CURRENT);
    EXPECT_EQ(ZELKCAD::GetSlicedGCodeState(path, 43), ZELKCAD::GCODE_STALE);
    EXPECT_EQ(ZELKCAD::GetSlicedGCodeState("/plate/other.gcode", 42), ZELKCAD::GCODE_NOT_SLICED_HERE);
    ZELKCAD::RecordSlicedGCode(path, 43);  // sliced again
    EXPECT_EQ(ZELKCAD::GetSlicedGCodeState(path, 43), ZELKCAD::GCODE_CURRENT);
    ZELKCAD::ForgetSlicedGCode(path);
    EXPECT_EQ(ZELKCAD::GetSlicedGCodeState(path, 43), ZELKCAD::GCODE_NOT_SLICED_HERE);
}
