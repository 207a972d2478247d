// The machine control panel's procedures reach the printer as one block, ahead
// of what waits, in the order written.
#include <gtest/gtest.h>

#include "MachinePackageShortcuts.h"
#include "MachinePackages.h"
#include "MachineProcedures.h"
#include "ZELKMachine.h"
#include "ZELKMachineControl.h"

namespace procedures = zelk::procedures;

namespace {

// The packages a procedure becomes on a fresh control of its own.
std::vector<Package> Translated(const procedures::Lines& lines)
{
    ZELKMachine machine;
    ZELKMachineControl control(&machine);
    zelk::MachineShortcuts shortcuts(control);
    std::vector<Package> packages;
    for (const std::string& line : lines)
        packages.push_back(shortcuts.GetPack(line));
    return packages;
}

}  // namespace

TEST(MachineProcedures, EachRunsAheadOfWhatWaitsAsOneBlockInItsOrder)
{
    const procedures::Lines all[] = {procedures::LockMotors(),   procedures::UnlockMotors(),
                                     procedures::CoarseApproach(), procedures::FineStep(0),
                                     procedures::HeatExtruder(215), procedures::HeatPlatform(60),
                                     procedures::StartMeasuring()};
    for (const procedures::Lines& lines : all) {
        SCOPED_TRACE(lines.front());
        ZELKMachine machine;
        ZELKMachineControl control(&machine);
        zelk::MachineShortcuts shortcuts(control);
        const Package waiting = zelk::IsFinishedPackage();
        control.AddOperationPackage(waiting);
        procedures::Run(shortcuts, lines);

        std::vector<Package> expected = Translated(lines);
        for (const Package& package : expected)
            EXPECT_NE(package.size, 0);  // every line makes a package
        expected.push_back(waiting);
        EXPECT_EQ(control.GetOperatePackList(), expected);
    }
}

// The platform never drops: Z goes to its upper end before the motors let go,
// and before the coarse approach counts from the top.
TEST(MachineProcedures, ZIsHomedUpBeforeTheMotorsLetGoOrTheApproachStarts)
{
    const procedures::Lines unlock = procedures::UnlockMotors();
    ASSERT_EQ(unlock.size(), 2u);
    EXPECT_EQ(unlock.front().rfind("G162 Z", 0), 0u);
    EXPECT_EQ(unlock.back(), "M18");
    EXPECT_EQ(procedures::CoarseApproach().front().rfind("G162 Z", 0), 0u);
}
