#include "ValueList.h"

#include <gtest/gtest.h>

#include "TestNames.h"

#include <ostream>

#include <string>
#include <vector>

#include "UsageError.h"

namespace dla::tools {
namespace {

struct TGoodList {
  const char* Text;
  std::vector<std::int64_t> Values;
  // What Text() records the values as.
  const char* Recorded;
};

void PrintTo(const TGoodList& c, std::ostream* os) { *os << '"' << c.Text << '"'; }

class ValueListGood : public ::testing::TestWithParam<TGoodList> {};

TEST_P(ValueListGood, ParsesSortedWithoutRepeatsAndIsRecordedAsItReadsBack) {
  const TGoodList& c = GetParam();
  EXPECT_EQ(TValueList::Parse(c.Text, 0, 100, "--threshold").Values(), c.Values) << c.Text;
  // A resumed sweep compares its lists with the recorded ones: each text
  // must read back as exactly its values.
  EXPECT_EQ(TValueList::Text(c.Values), c.Recorded);
  EXPECT_EQ(TValueList::Parse(c.Recorded, 0, 100, "--threshold").Values(), c.Values) << c.Recorded;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ValueListGood,
    ::testing::Values(TGoodList{"6", {6}, "6"}, TGoodList{"3..8", {3, 4, 5, 6, 7, 8}, "3..8"},
                      TGoodList{"5..5", {5}, "5"},
                      // The end is included only if it lies on the step.
                      TGoodList{"3..8:2", {3, 5, 7}, "3..7:2"},
                      TGoodList{"0..10:5", {0, 5, 10}, "0..10:5"}, TGoodList{"3..8:100", {3}, "3"},
                      // Sorted, repeats dropped, blanks around items allowed.
                      TGoodList{"8, 3,5..6 ,3", {3, 5, 6, 8}, "3,5,6,8"},
                      TGoodList{"0,100", {0, 100}, "0,100"}, TGoodList{"007", {7}, "7"},
                      // Runs of three or more are ranges, taken from the left.
                      TGoodList{"20,1..3,5..9:2", {1, 2, 3, 5, 7, 9, 20}, "1..3,5..9:2,20"},
                      TGoodList{"1,2..6:2", {1, 2, 4, 6}, "1,2..6:2"},
                      TGoodList{"0..4,6,8", {0, 1, 2, 3, 4, 6, 8}, "0..4,6,8"}),
    test::TPrintedName());

struct TBadList {
  const char* Text;
  const char* Message;  // a part of the one-line message
};

void PrintTo(const TBadList& c, std::ostream* os) { *os << '"' << c.Text << '"'; }

class ValueListBad : public ::testing::TestWithParam<TBadList> {};

TEST_P(ValueListBad, IsRefusedWithAMessageNamingTheProblem) {
  const TBadList& c = GetParam();
  try {
    TValueList::Parse(c.Text, 0, 100, "--threshold");
    ADD_FAILURE() << "accepted '" << c.Text << "'";
  } catch (const EUsageError& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.rfind("--threshold: ", 0), 0u) << message;
    EXPECT_NE(message.find(c.Message), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ValueListBad,
    ::testing::Values(TBadList{"", "the list is empty"}, TBadList{"  ", "the list is empty"},
                      TBadList{"3,,5", "empty item"}, TBadList{"3,", "empty item"},
                      TBadList{",3", "empty item"}, TBadList{"8..3", "reversed"},
                      TBadList{"5..", "end missing"}, TBadList{"..5", "end missing"},
                      TBadList{"3..8:0", "step 0"}, TBadList{"3..8:", "step ''"},
                      TBadList{"3..8:-1", "step '-1'"}, TBadList{"abc", "'abc'"},
                      TBadList{"6x", "'6x'"}, TBadList{"-1", "'-1'"}, TBadList{"+6", "'+6'"},
                      TBadList{"$A", "'$A'"}, TBadList{"1.5", "'1.5'"},
                      TBadList{"101", "'101'"}, TBadList{"3..101", "'101'"},
                      TBadList{"1..5..7", "'5..7'"},
                      TBadList{"99999999999999999999", "not a whole number from 0 to 100"}),
    test::TPrintedName());

TEST(ValueList, RefusesMoreValuesThanTheLimit) {
  constexpr auto limit = static_cast<std::int64_t>(TValueList::MaxValues);
  EXPECT_EQ(TValueList::Parse("1.." + std::to_string(limit), 0, 1'000'000, "--agents")
                .Values()
                .size(),
            TValueList::MaxValues);
  EXPECT_THROW(TValueList::Parse("0.." + std::to_string(limit), 0, 1'000'000, "--agents"),
               EUsageError);
  // Repeats do not count against the limit.
  const std::string twice = "1.." + std::to_string(limit) + ",1.." + std::to_string(limit);
  EXPECT_EQ(TValueList::Parse(twice, 0, 1'000'000, "--agents").Values().size(),
            TValueList::MaxValues);
}

}  // namespace
}  // namespace dla::tools
