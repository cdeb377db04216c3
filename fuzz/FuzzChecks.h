// What every entry point checks of a refusal, and the reading of an input
// as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzTargets.h"

namespace dla::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Throws EFuzzFinding unless condition holds.
inline void Expect(bool condition, const std::string& promise) {
  if (!condition) throw EFuzzFinding(promise);
}

// A refusal says why in one line that is not empty.
inline void ExpectOneLine(std::string_view message, std::string_view who) {
  Expect(!message.empty(), std::string(who) + ": an empty refusal");
  Expect(message.find_first_of("\r\n") == std::string_view::npos,
         std::string(who) + ": a refusal of more than one line");
}

}  // namespace dla::fuzz
