// Which files the program opens when they are dropped or chosen: models,
// G-code and X3G files by their names in any case, the rest named back.
#include <gtest/gtest.h>

#include "PrintFileChoice.h"

TEST(OpenableFiles, ModelsGCodeAndX3gInAnyCaseTheRestRefusedInOrder)
{
    std::vector<std::string> refused;
    const std::vector<std::string> openable = ZELKCAD::OpenableFiles(
        {"/m/cube.stl", "/m/GEAR.STL", "/p/part.gcode", "/p/part.GCO", "/p/old.g", "/p/card.X3G", "/d/notes.txt",
         "/d/model.stl.bak", "/d/noextension", "/d/.stl"},
        refused);
    EXPECT_EQ(openable, (std::vector<std::string>{"/m/cube.stl", "/m/GEAR.STL", "/p/part.gcode", "/p/part.GCO",
                                                  "/p/old.g", "/p/card.X3G"}));
    EXPECT_EQ(refused, (std::vector<std::string>{"/d/notes.txt", "/d/model.stl.bak", "/d/noextension", "/d/.stl"}));
}
