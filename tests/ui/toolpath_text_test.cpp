// The toolpath panel's layer line, made from its translated pattern.
#include <gtest/gtest.h>

#include "ToolpathPanelText.h"

namespace {

TEST(LayerLabelText, FillsLayerFromOneCountAndHeightWithTwoDecimals)
{
    EXPECT_EQ(zelk::LayerLabelText("Layer %1 of %2 (%3 mm)", 0, 353, 0.3), "Layer 1 of 353 (0.30 mm)");
    EXPECT_EQ(zelk::LayerLabelText("Layer %1 of %2 (%3 mm)", 352, 353, 70.5049), "Layer 353 of 353 (70.50 mm)");
    // The Chinese pattern: multi-byte text around the places is kept.
    EXPECT_EQ(zelk::LayerLabelText("第 %1 层，共 %2 层（%3 mm）", 9, 20, 2.126), "第 10 层，共 20 层（2.13 mm）");
}

TEST(LayerLabelText, PlacesMayComeInAnyOrderAndOtherPercentSignsStay)
{
    EXPECT_EQ(zelk::LayerLabelText("%3 mm: %1/%2", 4, 5, 1.0), "1.00 mm: 5/5");
    EXPECT_EQ(zelk::LayerLabelText("100% %4 %", 0, 1, 0.2), "100% %4 %");
    EXPECT_EQ(zelk::LayerLabelText("%1%1", 1, 2, 0.2), "22");
}

}  // namespace
