#include "TextColumns.h"

namespace dla::python {

std::vector<std::string> TextColumns(std::string_view header) {
  std::vector<std::string> names;
  for (;;) {
    const std::size_t comma = header.find(',');
    names.emplace_back(header.substr(0, comma));
    if (comma == std::string_view::npos) return names;
    header.remove_prefix(comma + 1);
  }
}

}  // namespace dla::python
