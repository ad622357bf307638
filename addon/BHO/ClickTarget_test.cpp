#include "addon/BHO/ClickTarget.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(PartialMatchCode, AStepThatNoLongerNamesOneElementIsNotFound) {
  EXPECT_EQ(PartialMatchCode(0, 0), ClickTargetNotFound);
  // Value only: the element with a changed name, however many.
  EXPECT_EQ(PartialMatchCode(1, 0), ClickTargetByValue);
  EXPECT_EQ(PartialMatchCode(3, 0), ClickTargetByValue);
  // One name-only candidate is the element with a changed value.
  EXPECT_EQ(PartialMatchCode(0, 1), ClickTargetByName);
  // Several, or half-matches of both kinds: no one element to ask about.
  EXPECT_EQ(PartialMatchCode(0, 2), ClickTargetNotFound);
  EXPECT_EQ(PartialMatchCode(1, 1), ClickTargetNotFound);
  EXPECT_EQ(PartialMatchCode(2, 1), ClickTargetNotFound);
}

}  // namespace
}  // namespace qm
