// Text from the command line or the file system, made safe to print in a
// one-line message on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace dla::tools {

// The text with every byte that a terminal would act on shown as an escape:
// "\n", "\r", "\t", "\\" and "\xHH" for the other C0 controls, DEL and bytes
// that are not UTF-8, "\u0080".."\u009f" for the C1 controls (some terminals
// treat U+009B as the start of a control sequence). Printable UTF-8 passes
// unchanged, so names with accents read as they are. The result never holds
// a line break or an escape character.
std::string PrintableText(std::string_view text);

}  // namespace dla::tools
