// dla._core: the engine for the Python package dla (dla/__init__.py turns
// Python values into dla-batch's option texts and its rows into pandas).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <exception>

#include "MeasureText.h"
#include "PySweep.h"
#include "PyWorld.h"
#include "UsageError.h"

namespace py = pybind11;
using dla::python::TPyWorld;

PYBIND11_MODULE(_core, m) {
  m.doc() = "The diffusion-aggregation engine; use the package dla.";

  // dla-batch's refusals, with its words.
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const dla::tools::EUsageError& refused) {
      PyErr_SetString(PyExc_ValueError, refused.what());
    }
  });

  // The engine's world behind dla.World, which documents every member.
  // Never made but by dla.World, which holds it.
  using W = TPyWorld;
  py::class_<W>(m, "World")
      .def(py::init<const std::vector<std::string>&>(), py::arg("options"))
      .def_static("load", &W::Load, py::arg("path"))
      .def("save", &W::Save, py::arg("path"))
      .def("step", &W::Step, py::arg("n") = 1)
      .def("run_to", &W::RunTo, py::arg("steps"))
      .def_property_readonly("step_count", &W::StepCount)
      .def_property_readonly("free_agents", &W::FreeAgents)
      .def_property_readonly("ended", &W::Ended)
      .def_property_readonly("seed", &W::Seed)
      .def_property_readonly("threshold", &W::Threshold)
      .def_property_readonly("size",
                             [](const W& w) {
                               return py::make_tuple(w.World().DrawingWidth(),
                                                     w.World().DrawingHeight());
                             })
      .def_property_readonly("aggregated_cells",
                             [](const W& w) { return w.World().AggregatedCells(); })
      .def_property_readonly("series", &W::Series)
      .def("picture", &W::Picture)
      .def_property_readonly(
          "shades", [](const py::object& self) { return self.cast<const W&>().Shades(self); })
      .def_property_readonly(
          "states", [](const py::object& self) { return self.cast<const W&>().States(self); })
      .def_property_readonly(
          "agents", [](const py::object& self) { return self.cast<const W&>().Agents(self); })
      .def("measure", &W::Measure)
      .def("sizes", &W::Sizes);

  m.def(
      "check_sweep",
      [](const std::vector<std::string>& options) {
        const auto checked = dla::python::CheckSweep(options);
        return py::make_tuple(checked.Seed, checked.Runs);
      },
      py::arg("options"));
  m.def(
      "sweep_rows",
      [](const std::vector<std::string>& options) {
        const auto rows = dla::python::SweepRows(options);
        return py::make_tuple(rows.Seed, py::str(rows.Text));
      },
      py::arg("options"));
  m.attr("MEASURE_COLUMNS") = dla::tools::MeasureColumns;
}
