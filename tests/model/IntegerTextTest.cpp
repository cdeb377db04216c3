#include <gtest/gtest.h>

#include "IntegerText.h"

namespace dla {
namespace {

TEST(IntegerText, AcceptedTexts) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"6", 6},          {"+6", 6},          {" 6", 6},           {"   -17", -17},
      {"$A", 10},        {"0x0A", 10},       {"0X0a", 10},        {"xff", 255},
      {"Xff", 255},      {"-$10", -16},      {"+0x10", 16},       {"-1", -1},
      {"0006", 6},       {"2147483647", 2147483647},              {"-2147483648", -2147483647 - 1},
      {"$FFFFFFFF", -1}, {"0x80000000", -2147483647 - 1},         {"-0x80000000", -2147483647 - 1},
      {"$000000001", 1}, {"0", 0},           {"-0", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(IntegerText, RejectedTextsNameThemselves) {
  for (const char* text : {"", " ", "6 ", "6a", "abc", "+", "-", "+-6", "--6", "$", "0x", "x",
                           "$G", "1.5", "1e3", "2147483648", "-2147483649", "$100000000",
                           "0x1FFFFFFFF", "\t6", "6\n", "99999999999999999999999"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(IntegerText, ThresholdKeepsTheLow16Bits) {
  const struct {
    const char* text;
    std::uint16_t threshold;
  } cases[] = {{"6", 6}, {"-1", 65535}, {"65542", 6}, {"0", 0}, {"$10000", 0}, {"-65536", 0}};
  for (const auto& c : cases) EXPECT_EQ(ThresholdFromText(c.text), c.threshold) << c.text;
  EXPECT_THROW(ThresholdFromText("abc"), EConvertError);
}

}  // namespace
}  // namespace dla
