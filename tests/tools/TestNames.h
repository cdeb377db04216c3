// Names for parametrised tests. gtest allows only letters, digits and '_'
// in them, and ctest shows them: a case is named after its printed value
// (PrintTo), with every run of other characters one '_', and its index
// appended, which keeps names unique where two values print alike.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace dla::tools::test {

struct TPrintedName {
  template <typename T>
  std::string operator()(const ::testing::TestParamInfo<T>& info) const {
    std::string name;
    for (const char c : ::testing::PrintToString(info.param)) {
      if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
        name += c;
      } else if (!name.empty() && name.back() != '_') {
        name += '_';
      }
    }
    if (!name.empty() && name.back() != '_') name += '_';
    return name + std::to_string(info.index);
  }
};

}  // namespace dla::tools::test
