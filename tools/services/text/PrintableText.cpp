#include "PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace dla::tools {
namespace {

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%s%0*x", prefix, digits, value);
  out += buffer;
}

// Length of the well-formed UTF-8 sequence at text[i] (2..4), or 0 if there
// is none: overlong forms, surrogates and values past U+10FFFF count as bad.
std::size_t Utf8Length(std::string_view text, std::size_t i, std::uint32_t& code) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned lead = byte(i);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
      (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      if (c == '\\') out += '\\';
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x80) {
      AppendHex(out, "\\x", c, 2);
    } else {
      std::uint32_t code = 0;
      const std::size_t length = Utf8Length(text, i, code);
      if (length == 0) {
        AppendHex(out, "\\x", c, 2);
      } else if (code >= 0x80 && code <= 0x9F) {
        AppendHex(out, "\\u", code, 4);
        i += length;
        continue;
      } else {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
    }
    ++i;
  }
  return out;
}

}  // namespace dla::tools
