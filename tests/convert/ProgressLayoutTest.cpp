// How the progress window fits one line and bar per running task into a screen's height.
#include <gtest/gtest.h>

#include "convert/ProgressLayout.h"

TEST(ProgressLayout, OneTaskIsTheDesignedWindowAndMoreGrowItUntilTheScreenIsFull) {
  const TProgressLayout one = LayoutForRows(1, 100);  // even on a screen too small for it
  EXPECT_EQ(one.VisibleRows, 1);
  EXPECT_FALSE(one.MoreLine);
  EXPECT_EQ(one.Height, 230);
  EXPECT_EQ(one.LabelTop(0), 98);
  EXPECT_EQ(one.BarTop(0), 124);
  EXPECT_EQ(one.ButtonsTop(), 186);

  const TProgressLayout three = LayoutForRows(3, 1000);
  EXPECT_EQ(three.VisibleRows, 3);
  EXPECT_FALSE(three.MoreLine);
  EXPECT_EQ(three.Height, 330);
  EXPECT_EQ(three.BarTop(2) + 24 + 38, three.ButtonsTop());

  // 64 tasks on a 740-pixel screen: as many lines as fit, then the line that counts the rest.
  const TProgressLayout many = LayoutForRows(64, 740);
  EXPECT_TRUE(many.MoreLine);
  EXPECT_LE(many.Height, 740);
  EXPECT_GT(many.Height + kProgressRowHeight, 740);
  EXPECT_EQ(many.VisibleRows, 10);
  EXPECT_GE(many.MoreLineTop(), many.BarTop(many.VisibleRows - 1) + 24);
  EXPECT_LE(many.MoreLineTop() + 22, many.ButtonsTop());
}
