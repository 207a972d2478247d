// The main window's title names what would print, never a folder.
#include <gtest/gtest.h>

#include "WindowTitle.h"

TEST(WindowTitle, NamesTheModelsOrTheOpenedPrintFileBeforeTheProgram)
{
    EXPECT_EQ(zelk::WindowTitle({}, ""), "Orvanel v1.0");
    EXPECT_EQ(zelk::WindowTitle({"/home/u/models/cube20.stl"}, ""), "cube20.stl \u2014 Orvanel v1.0");
    EXPECT_EQ(zelk::WindowTitle({"/a/one.stl", "/b/two.stl", "three.stl"}, ""),
              "one.stl, two.stl, three.stl \u2014 Orvanel v1.0");
    // Past three names the rest is counted.
    EXPECT_EQ(zelk::WindowTitle({"/a/1.stl", "/a/2.stl", "/a/3.stl", "/a/4.stl", "/a/5.stl"}, ""),
              "1.stl, 2.stl, 3.stl +2 \u2014 Orvanel v1.0");
    // An opened G-code or X3G file is what prints: it is named instead.
    EXPECT_EQ(zelk::WindowTitle({"/a/one.stl"}, "/prints/part.x3g"), "part.x3g \u2014 Orvanel v1.0");
}
