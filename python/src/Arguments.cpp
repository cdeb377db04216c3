#include "Arguments.h"

#include <stdexcept>

#include "IntegerText.h"
#include "PrintableText.h"
#include "UsageError.h"

namespace py = pybind11;

namespace dla::python {

void Refuse(std::string_view message) { throw py::value_error(tools::PrintableText(message)); }

std::string MessageOf(const std::exception& error) {
  if (const auto* usage = dynamic_cast<const tools::EUsageError*>(&error)) return usage->Message();
  if (const auto* convert = dynamic_cast<const EConvertError*>(&error)) return convert->Message();
  return error.what();
}

std::int64_t WholeArgument(std::string_view name, const py::int_& value, tools::TWholeRange range) {
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (number == -1 && PyErr_Occurred() != nullptr) throw py::error_already_set();
  if (overflow != 0 || !range.Holds(number)) {
    Refuse(std::string(name) + " must be a whole number from " + std::to_string(range.Min) + " to " +
           std::to_string(range.Max) + ", got " + py::str(static_cast<const py::handle&>(value)).cast<std::string>());
  }
  return number;
}

std::string ThresholdArgument(const std::string& text) {
  try {
    ThresholdFromText(text);
  } catch (const EConvertError& error) {
    Refuse("threshold: " + error.Message());
  }
  return text;
}

std::optional<std::string> ThresholdError(const std::string& text) {
  try {
    ThresholdFromText(text);
    return std::nullopt;
  } catch (const EConvertError& error) {
    // The error display's full stop, for a message that ends in a letter
    // or a digit (a code above '.').
    std::string shown = error.Message();
    if (!shown.empty() && static_cast<unsigned char>(shown.back()) > '.') shown += '.';
    return shown;
  }
}

tools::TDrawingSize SizeArgument(const std::string& text) {
  try {
    return tools::DrawingSizeFromText(text, "size");
  } catch (const tools::EUsageError& error) {
    Refuse(error.Message());
  }
}

}  // namespace dla::python
