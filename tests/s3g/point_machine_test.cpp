// Five-axis point arithmetic and the machine model's defaults.
#include <gtest/gtest.h>

#include <cmath>

#include "CPoint5D.h"
#include "ZELKMachine.h"

namespace {

void ExpectPoint(const CPoint5D& p, double x, double y, double z, double a, double b)
{
    EXPECT_DOUBLE_EQ(p.Axis_X(), x);
    EXPECT_DOUBLE_EQ(p.Axis_Y(), y);
    EXPECT_DOUBLE_EQ(p.Axis_Z(), z);
    EXPECT_DOUBLE_EQ(p.Axis_A(), a);
    EXPECT_DOUBLE_EQ(p.Axis_B(), b);
}

TEST(CPoint5D, RoundIsFloorOfHalfUpIncludingNegatives)
{
    CPoint5D p(2.5, -2.5, -2.6, 0.49999, -0.5);
    p.round();
    ExpectPoint(p, 3, -2, -3, 0, 0);

    CPoint5D q(1.7, -1.2, 0, 0, 0);
    CPoint5D remainder(9, 9, 9, 9, 9);
    q.round(remainder);
    ExpectPoint(q, 2, -1, 0, 0, 0);
    EXPECT_NEAR(remainder.Axis_X(), -0.3, 1e-12);
    EXPECT_NEAR(remainder.Axis_Y(), -0.2, 1e-12);
    EXPECT_DOUBLE_EQ(remainder.Axis_Z(), 0);
}

TEST(CPoint5D, DivKeepsAxesWhoseDivisorIsZero)
{
    CPoint5D p(7, 7, 7, 7, 7);
    p.div(CPoint5D(10, 20, 30, 40, 50), CPoint5D(2, 0, 3, 0, 5));
    ExpectPoint(p, 5, 7, 10, 7, 10);
}

TEST(CPoint5D, IndexingOutsideTheAxesYieldsZero)
{
    CPoint5D p(1, 2, 3, 4, 5);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[4], 5);
    EXPECT_EQ(p[5], 0.0);
    EXPECT_EQ(p[-1], 0.0);
}

TEST(CPoint5D, QueriesOverAllFiveAxes)
{
    EXPECT_EQ(CPoint5D(0, 1e-6, 0, 0, 0).getNotZeroAxis(), -1);
    EXPECT_EQ(CPoint5D(0, 0, -2e-6, 5, 0).getNotZeroAxis(), 2);
    EXPECT_EQ(CPoint5D(0, 0, 0, 0, 3).getNotZeroAxis(), 4);
    EXPECT_EQ(CPoint5D(-3, 2, 0, 0, 0).absolute_maximum(), 3);
    EXPECT_EQ(CPoint5D().absolute_maximum(), 0);
    EXPECT_DOUBLE_EQ(CPoint5D(1, 2, 2, 4, 0).magnitude(), 5);
    EXPECT_DOUBLE_EQ(CPoint5D(0, 0, 0, 0, 3).length(), 3);
    EXPECT_DOUBLE_EQ(CPoint5D(1, 1, 1, 1, 1).distance(CPoint5D(1, 1, 1, 1, 3)), 2);
    ExpectPoint(CPoint5D(1, 2, 3, 4, 5).Get3D(), 1, 2, 3, 0, 0);
}

TEST(CPoint5D, ArithmeticAndSetters)
{
    CPoint5D p(1, 2, 3, 4, 5);
    p.add(CPoint5D(1, 1, 1, 1, 1));
    ExpectPoint(p, 2, 3, 4, 5, 6);
    p.sub(CPoint5D(2, 2, 2, 2, 2));
    ExpectPoint(p, 0, 1, 2, 3, 4);
    p.sub(CPoint5D(5, 5, 5, 5, 5), CPoint5D(1, 2, 3, 4, 5));
    ExpectPoint(p, 4, 3, 2, 1, 0);
    p.mul(CPoint5D(1, 2, 3, 4, 5), CPoint5D(-1, 2, 0, 1, 2));
    ExpectPoint(p, -1, 4, 0, 4, 10);
    p.absolute();
    ExpectPoint(p, 1, 4, 0, 4, 10);
    p.set(7, 8, 9);
    ExpectPoint(p, 7, 8, 9, 0, 0);
    p.setAxis(3, 1.5);
    p.setB(2.5);
    ExpectPoint(p, 7, 8, 9, 1.5, 2.5);
    p.remove();
    ExpectPoint(p, 0, 0, 0, 0, 0);
}

TEST(ZELKMachine, NewMachineHasThePrintersConstants)
{
    ZELKMachine machine;
    ExpectPoint(machine.GetStepsPerMM(), 71.699959, 71.699959, 71.699959, 100.470955, 0);
    ExpectPoint(machine.GetMaxFeedrate(), 5000, 5000, 1170, 1600, 0);
    EXPECT_EQ(machine.GetCurrentFeedrate(), 0);
    ExpectPoint(machine.getCurrentPosition(), 0, 0, 0, 0, 0);
    EXPECT_EQ(machine.GetMachineMotorZ().GetSpeed(), 400);
    EXPECT_EQ(machine.GetMachineMotorZ().GetMaxFeedrate(), 1170);
    EXPECT_EQ(machine.GetMachineExtrudeHead().GetMotor().GetStepsPerMM(), 100.470955);
    EXPECT_EQ(machine.GetMachineExtrudeHead().GetMotor().GetMaxFeedrate(), 0);
}

TEST(ZELKMachine, MotorSettersDoNotChangeTheFiveAxisPoints)
{
    ZELKMachine machine;
    machine.GetMachineMotorX().SetStepsPerMM(80);
    machine.GetMachineMotorZ().SetMaxFeedrate(10);
    EXPECT_EQ(machine.GetMachineMotorX().GetStepsPerMM(), 80);
    EXPECT_DOUBLE_EQ(machine.GetStepsPerMM().Axis_X(), 71.699959);
    EXPECT_DOUBLE_EQ(machine.GetMaxFeedrate().Axis_Z(), 1170);

    machine.GetMachinePlatform().SetCenter(3, 4);
    double x = 0, y = 0;
    machine.GetMachinePlatform().GetCenter(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
}

TEST(ZELKMachine, SingletonIsCreatedOnce)
{
    ZELKMachine* first = ZELKMachine::GetMachine();
    EXPECT_EQ(first, ZELKMachine::GetMachine());
}

}  // namespace

namespace {

TEST(FloorOf, AgreesWithTheLibraryFloor)
{
    const double cases[] = {0.0, -0.0, 0.5, -0.5, 1.0, -1.0, 2.5, -2.5, 1e-300, -1e-300, 4503599627370495.5,
                            -4503599627370495.5, 1e300, -1e300, INFINITY, -INFINITY, 3.9999999999999996,
                            -3.0000000000000004, 8.0e15, -8.0e15};
    for (double v : cases) {
        const double expected = std::floor(v);
        EXPECT_EQ(FloorOf(v), expected) << v;
        EXPECT_EQ(std::signbit(FloorOf(v)), std::signbit(expected)) << v;
    }
    EXPECT_TRUE(std::isnan(FloorOf(NAN)));
}

}  // namespace
