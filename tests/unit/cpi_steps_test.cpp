#include "device/cpi_steps.h"

#include <gtest/gtest.h>

namespace zr {
namespace {

TEST(CpiSteps, SnapToTheNearestStepATieGoingLower) {
  EXPECT_EQ(SnapCpiToStep(0), 250u);
  EXPECT_EQ(SnapCpiToStep(250), 250u);
  EXPECT_EQ(SnapCpiToStep(374), 250u);
  EXPECT_EQ(SnapCpiToStep(375), 250u);
  EXPECT_EQ(SnapCpiToStep(376), 500u);
  EXPECT_EQ(SnapCpiToStep(1124), 1000u);
  EXPECT_EQ(SnapCpiToStep(1126), 1250u);
  EXPECT_EQ(SnapCpiToStep(3999), 4000u);
  EXPECT_EQ(SnapCpiToStep(4000), 4000u);
  EXPECT_EQ(SnapCpiToStep(9000), 4000u);
  EXPECT_EQ(SnapCpiToStep(0xFFFFFFFFu), 4000u);
  // The factory levels rest on these sensor steps.
  EXPECT_EQ(SnapCpiToStep(400), 500u);
  EXPECT_EQ(SnapCpiToStep(800), 750u);
  EXPECT_EQ(SnapCpiToStep(1600), 1500u);
  EXPECT_EQ(SnapCpiToStep(3500), 3500u);
}

TEST(CpiSteps, MaxAndNearest) {
  EXPECT_EQ(MaxCpi(800, 1200), 1200u);
  EXPECT_EQ(MaxCpi(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
  EXPECT_EQ(NearestCpi(250, 500, 375), 250);
  EXPECT_EQ(NearestCpi(250, 500, 376), 500);
  EXPECT_EQ(NearestCpi(-2147483647 - 1, 2147483647, 0), 2147483647);  // no overflow at the ends
}

}  // namespace
}  // namespace zr
