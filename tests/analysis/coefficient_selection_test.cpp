#include "analysis/coefficient_selection.h"

#include <gtest/gtest.h>

namespace frontlys {
namespace {

// The list right after "&Front d'onde": 22 terms, MasqueFront (terms 5 up selected), higher orders on.
class CoefficientSelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 4; i < kZernikeTerms; ++i) mask[i] = 1;
        list = MakeCoefficientList(22, mask, higherOrders);
    }
    ZernikeSelection mask{};
    bool higherOrders = true;
    CoefficientListModel list;
};

TEST_F(CoefficientSelectionTest, ListStartsWithTheLowOrdersDisabled)
{
    ASSERT_EQ(list.checked.size(), 23u);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(list.enabled[i] || list.checked[i]) << i;
    EXPECT_TRUE(list.checked[4] && list.enabled[4]);
    EXPECT_TRUE(list.checked[22] && list.enabled[22]);
}

TEST_F(CoefficientSelectionTest, ClickingMakesTheSelectionFollowTheItems)
{
    ClickCoefficient(list, 6, false, mask, higherOrders);
    EXPECT_EQ(mask[6], 0);
    EXPECT_EQ(mask[5], 1);
    ClickCoefficient(list, 22, false, mask, higherOrders);
    EXPECT_FALSE(higherOrders);
    ClickCoefficient(list, 2, true, mask, higherOrders);  // disabled: no change
    EXPECT_EQ(mask[2], 0);
    EXPECT_EQ(mask[25], 1);  // beyond the 22 terms in use: untouched
}

TEST_F(CoefficientSelectionTest, SelectAllLeavesTheDisabledTermsOut)
{
    DeselectAllCoefficients(list, mask, higherOrders);
    for (int i = 0; i < 22; ++i) EXPECT_EQ(mask[i], 0) << i;
    EXPECT_FALSE(higherOrders);
    SelectAllCoefficients(list, mask, higherOrders);
    for (int i = 0; i < 22; ++i) EXPECT_EQ(mask[i], i < 4 ? 0 : 1) << i;
    EXPECT_TRUE(higherOrders);
    ToggleTiltAndFocus(list);
    SelectAllCoefficients(list, mask, higherOrders);
    EXPECT_EQ(mask[0], 1);
    EXPECT_EQ(mask[3], 1);
}

TEST_F(CoefficientSelectionTest, DeselectAllKeepsTheDisabledEntries)
{
    mask[1] = 1;  // a disabled term that was selected before
    DeselectAllCoefficients(list, mask, higherOrders);
    EXPECT_EQ(mask[1], 1);
    EXPECT_EQ(mask[10], 0);
}

TEST_F(CoefficientSelectionTest, InvertTogglesEnabledItemsAndClearsDisabledTerms)
{
    mask[1] = 1;
    ClickCoefficient(list, 10, false, mask, higherOrders);
    InvertCoefficients(list, mask, higherOrders);
    EXPECT_EQ(mask[10], 1);
    EXPECT_EQ(mask[11], 0);
    EXPECT_EQ(mask[1], 0);
    EXPECT_FALSE(higherOrders);
}

TEST_F(CoefficientSelectionTest, SelectOnlyOneAberration)
{
    SelectOnlyCoefficient(list, 10, mask, higherOrders);
    for (int i = 4; i < 22; ++i) EXPECT_EQ(mask[i], i == 10 ? 1 : 0) << i;
    EXPECT_FALSE(higherOrders);
    // Even a disabled item can be the one selected.
    SelectOnlyCoefficient(list, 3, mask, higherOrders);
    EXPECT_EQ(mask[3], 1);
    EXPECT_EQ(mask[10], 0);
    // The higher-orders item alone.
    SelectOnlyCoefficient(list, 22, mask, higherOrders);
    EXPECT_TRUE(higherOrders);
    const ZernikeSelection before = mask;
    SelectOnlyCoefficient(list, -1, mask, higherOrders);  // nothing selected
    EXPECT_EQ(mask, before);
}

}  // namespace
}  // namespace frontlys
