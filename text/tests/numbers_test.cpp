#include "quorvane/text/numbers.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(ModuloTest, SignOfTheDividend) {
  const struct {
    double a;
    double b;
    double expected;
  } rows[] = {
      {5, 2, 1}, {-5, 2, -1}, {5, -2, 1}, {-5, -2, -1}, {5.5, 2, 1.5}, {0, 3, 0}, {2, 5, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.a << " mod " << row.b);
    EXPECT_DOUBLE_EQ(Modulo(row.a, row.b), row.expected);
  }
}

TEST(ModuloDeathTest, ByZero) {
  EXPECT_EXIT((void)Modulo(5, 0), ::testing::ExitedWithCode(255),
              "^运行时出错!\r\n\r\n错误信息：不能求余数于零\r\n$");
  EXPECT_EXIT((void)Modulo(5, -0.0), ::testing::ExitedWithCode(255), "不能求余数于零");
}

TEST(BitOrTest, ThirtyTwoBits) {
  EXPECT_EQ(BitOr(0x0F, 0xF0), 0xFF);
  EXPECT_EQ(BitOr(INT32_MIN, 1), INT32_MIN + 1);
  EXPECT_EQ(BitOr(-1, 0), -1);
}

}  // namespace
}  // namespace quorvane
