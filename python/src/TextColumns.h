// The column names of a CSV header constant, for the Python module's tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dla::python {

// "a,b,c" -> {"a", "b", "c"}.
std::vector<std::string> TextColumns(std::string_view header);

}  // namespace dla::python
