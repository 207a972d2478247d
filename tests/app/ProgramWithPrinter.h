// The program's main window with a 20 mm cube on the plate, connected to the
// printer simulator running in a thread of the test.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "AppTestSupport.h"
#include "SimThread.h"

namespace apptest {

// A simulator whose heaters reach their targets at once.
inline s3gsim::SimOptions QuickHeating()
{
    s3gsim::SimOptions options;
    options.heatRateCPerS = 10000.0;
    return options;
}

class ProgramWithPrinter : public MainWindowTest {
protected:
    explicit ProgramWithPrinter(s3gsim::SimOptions options) : m_sim(std::move(options)) {}

    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_TRUE(m_sim.Ok()) << m_sim.Error();
        zelk::ProgramOptions options;
        options.stlFiles = {Cube("part.stl", 20)};
        options.port = m_sim.DevicePath();
        Start(options);
        ASSERT_FALSE(HasFailure());
        m_gcode = ImportFolder() + "part.gcode";
    }

    // The plate's G-code as the slicer would have written it, of `moves`
    // moves. What is there goes first, also what is no regular file (the
    // pipe an earlier test read its G-code from).
    void WriteModelGCode(int moves)
    {
        std::filesystem::remove(m_gcode);
        std::ofstream(m_gcode) << linktest::PrintGCode(moves);
    }

    linktest::SimThread m_sim;
    // Where the slicer puts the G-code of part.stl.
    std::string m_gcode;
};

}  // namespace apptest
