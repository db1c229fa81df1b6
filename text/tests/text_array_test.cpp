#include "quorvane/text/text_array.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using testing_support::Gbk;

TEST(TextArrayTest, MembersNumberedFromOne) {
  TextArray array;
  EXPECT_EQ(ArraySize(array), 0);
  Text appended("a");
  ArrayAppend(array, appended);
  ArrayAppend(array, Text());
  ArrayAppend(array, Gbk("中"));
  appended.Append("changed");  // the array holds a copy
  ASSERT_EQ(ArraySize(array), 3);
  EXPECT_EQ(array[1].View(), "a");
  EXPECT_EQ(array[2].View(), "");
  EXPECT_EQ(array[3].View(), "\xD6\xD0");
}

TEST(TextArrayTest, ManyAppendsKeepOrder) {
  TextArray array;
  for (int i = 0; i < 100000; ++i) array.Append(Text(std::to_string(i)));
  ASSERT_EQ(array.Size(), 100000);
  EXPECT_EQ(array[1].View(), "0");
  EXPECT_EQ(array[100000].View(), "99999");
}

// Out-of-range reads end the program through the fatal report.
TEST(TextArrayDeathTest, MemberZeroOfAnEmptyArray) {
  EXPECT_EXIT((void)TextArray()[0], ::testing::ExitedWithCode(255),
              "错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
}

TEST(TextArrayDeathTest, NegativeIndex) {
  TextArray array;
  array.Append(Text("a"));
  EXPECT_EXIT((void)array[-1], ::testing::ExitedWithCode(255), "错误代码：4\r\n");
}

TEST(TextArrayDeathTest, CountPlusOne) {
  TextArray array;
  array.Append(Text("a"));
  array.Append(Text("b"));
  EXPECT_EXIT((void)array[3], ::testing::ExitedWithCode(255),
              "错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
}

TEST(TextArrayDeathTest, AnyIndexOfAnEmptyArrayAboveZero) {
  EXPECT_EXIT((void)TextArray()[1], ::testing::ExitedWithCode(255), "错误代码：1\r\n");
}

}  // namespace
}  // namespace quorvane
