// The flavour a file names: the marks of the slicers that write them, and the names users type.
#include <gtest/gtest.h>

#include <string>

#include "GCodeFlavor.h"

using zelk::gcode::DetectFlavor;
using zelk::gcode::GCodeFlavor;

namespace {

TEST(GCodeFlavorMarks, EachSlicersMarkIsFoundWhereItWritesIt)
{
    const std::string body(200000, '\n');
    struct Case {
        std::string text;
        bool found;
        GCodeFlavor flavor;
    };
    const Case cases[] = {
        {"; generated\nG1 X1\n" + body + "; gcode_flavor = marlin2\n; z_offset = 0\n", true, GCodeFlavor::kRepRap},
        {"G1 X1\n" + body + "; gcode_flavor = sailfish\n", true, GCodeFlavor::kMakerbot},
        {"G1 X1\n" + body + "; gcode_flavor = makerware\n", true, GCodeFlavor::kMakerbot},
        {";FLAVOR:Marlin\n;TIME:6666\n" + body, true, GCodeFlavor::kRepRap},
        {";FLAVOR:Griffin\n" + body, true, GCodeFlavor::kRepRap},
        {";FLAVOR:Makerbot\n" + body, true, GCodeFlavor::kMakerbot},
        {";   gcodeFlavor,reprap\n" + body, true, GCodeFlavor::kRepRap},
        // A mark of a firmware not known is read as the common kind.
        {body + "; gcode_flavor = someday\n", true, GCodeFlavor::kRepRap},
        // No mark: the printer's own dialect, whatever it holds.
        {"M104 S220 T0\nG1 X1 Y2 Z3 F100 E1\n" + body, false, GCodeFlavor::kPrinter},
        // Words in other text are no mark.
        {"M117 gcode_flavor = marlin\n(FLAVOR:Marlin)\n", false, GCodeFlavor::kPrinter},
    };
    for (const Case& c : cases) {
        const zelk::gcode::FlavorMark mark = DetectFlavor(c.text);
        EXPECT_EQ(mark.found, c.found) << c.text.substr(0, 40);
        EXPECT_EQ(mark.flavor, c.flavor) << c.text.substr(0, 40);
        if (c.found)
            EXPECT_EQ(mark.mark.front(), ';') << mark.mark;
    }
    // The mark of a PrusaSlicer file in the middle of a big file is not read:
    // only its settings block at the end is.
    const std::string middle = "G1 X1\n" + body + "; gcode_flavor = marlin2\n" + std::string(400000, '\n');
    EXPECT_FALSE(DetectFlavor(middle).found);
}

TEST(GCodeFlavorMarks, NamesUsersGive)
{
    EXPECT_EQ(zelk::gcode::ParseFlavorName("printer"), GCodeFlavor::kPrinter);
    EXPECT_EQ(zelk::gcode::ParseFlavorName("makerbot"), GCodeFlavor::kMakerbot);
    EXPECT_EQ(zelk::gcode::ParseFlavorName("reprap"), GCodeFlavor::kRepRap);
    EXPECT_FALSE(zelk::gcode::ParseFlavorName("marlin").has_value());
    EXPECT_FALSE(zelk::gcode::ParseFlavorName("").has_value());
    for (const GCodeFlavor f : {GCodeFlavor::kPrinter, GCodeFlavor::kMakerbot, GCodeFlavor::kRepRap})
        EXPECT_EQ(zelk::gcode::ParseFlavorName(zelk::gcode::FlavorName(f)), f);
}

}  // namespace
