// The two value conversions called directly: results, the error class, and
// texts that the directive reader never passes (inner blanks, long texts).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "uException.h"

namespace {

TEST(ConversionUnit, IntegerResultsAndBounds) {
  EXPECT_EQ(ConvertToInteger(" \t-$10", false, 0, 0), -16);
  EXPECT_EQ(ConvertToInteger("%11111111111111111111111111111111", false, 0, 0), -1);
  EXPECT_EQ(ConvertToInteger("&37777777777", false, 0, 0), -1);
  EXPECT_EQ(ConvertToInteger("-2147483648", true, INT_MIN, INT_MIN), INT_MIN);
  EXPECT_EQ(ConvertToInteger("5", true, 5, 5), 5);
  // A range that is not asked for is not tested.
  EXPECT_EQ(ConvertToInteger("99", false, 0, 0), 99);
}

TEST(ConversionUnit, IntegerErrorsAreValueConvertErrors) {
  for (const std::string& text : {std::string(""), std::string("12 "), std::string(" "),
                                  std::string(256, '1'), std::string("4294967296"),
                                  std::string("$1FFFFFFFF")}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(ConvertToInteger(text, false, 0, 0), EQuavertValueConvertError);
  }
  EXPECT_THROW(ConvertToInteger("4", true, 5, 9), EQuavertValueConvertError);
  EXPECT_THROW(ConvertToInteger("10", true, 5, 9), EQuavertValueConvertError);
}

TEST(ConversionUnit, RealResultsAreRoundedToSingle) {
  EXPECT_EQ(ConvertToFloat("0.1", false, 0, 0), 0.1f);
  EXPECT_EQ(ConvertToFloat(" 2.5e1 ", false, 0, 0), 25.0f);
  EXPECT_EQ(ConvertToFloat("-0", false, 0, 0), 0.0f);
  EXPECT_TRUE(std::isnan(ConvertToFloat("NaN", false, 0, 0)));
  EXPECT_EQ(ConvertToFloat("-inf", false, 0, 0), -INFINITY);
  // Rounded first, then tested: the double is above the bound, the single is not.
  EXPECT_EQ(ConvertToFloat("99.90000001", true, 50.0f, 99.9f), 99.9f);
  EXPECT_EQ(ConvertToFloat(std::string(254, '0') + "1", false, 0, 0), 1.0f);
}

TEST(ConversionUnit, RealErrorsAreValueConvertErrors) {
  for (const std::string& text :
       {std::string(""), std::string("1,5"), std::string("."), std::string("+."),
        std::string("1e"), std::string("- 1"), std::string(255, '0') + "1", std::string("nan1"),
        std::string("in")}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(ConvertToFloat(text, false, 0, 0), EQuavertValueConvertError);
  }
  EXPECT_THROW(ConvertToFloat("nan", true, -INFINITY, INFINITY), EQuavertValueConvertError);
  EXPECT_THROW(ConvertToFloat("inf", true, 0.0f, 3.0e38f), EQuavertValueConvertError);
}

}  // namespace
