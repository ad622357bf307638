#include "core/Common/QMOptions.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(OptionsWord, DefaultsPackTo0x59) {
  EXPECT_EQ(TQMOptions{}.ToWord(), 0x59);
  EXPECT_EQ(TQMOptions::FromWord(0x59), TQMOptions{});
}

TEST(OptionsWord, ReadsBitsZeroToFiveAsFlagsAndSixAndSevenAsOnSubmitIgnoringHigherBits) {
  const TQMOptions o = TQMOptions::FromWord(0x1D1);
  EXPECT_EQ(o, (TQMOptions{1, 0, 0, 0, 1, 0, 3}));
  EXPECT_EQ(o.ToWord(), 0xD1) << "bit 8 is gone";
  EXPECT_EQ(TQMOptions::FromWord(-1), (TQMOptions{1, 1, 1, 1, 1, 1, 3}));
}

TEST(OptionsWord, EveryFlagHasItsOwnBit) {
  TQMOptions o{0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(o.ToWord(), 0);
  o.AutoBind = 1;
  EXPECT_EQ(o.ToWord(), 0x20);
  o = {0, 1, 0, 0, 0, 0, 2};
  EXPECT_EQ(o.ToWord(), 0x82);
  o = {0, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(o.ToWord(), 0x04);
}

}  // namespace
}  // namespace qm
