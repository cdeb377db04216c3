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

  py::class_<TPyWorld>(m, "World")
      .def(py::init<const std::vector<std::string>&>(), py::arg("options"))
      .def("step", &TPyWorld::Step, py::arg("n") = 1,
           "Makes n more steps (0 or more; after the run's end every step has no free\n"
           "agent) and returns the free agents of the last step made (None before the\n"
           "first step).")
      .def("_run_to", &TPyWorld::RunTo, py::arg("steps"))
      .def_property_readonly("step_count", &TPyWorld::StepCount, "Steps made.")
      .def_property_readonly("free_agents", &TPyWorld::FreeAgents,
                             "Agents free now (not stuck): dla-batch's free=F.")
      .def_property_readonly("ended", &TPyWorld::Ended,
                             "Whether a step without a free agent has been made.")
      .def_property_readonly("seed", &TPyWorld::Seed,
                             "The seed that repeats this run (dla-batch --seed).")
      .def_property_readonly("threshold", &TPyWorld::Threshold,
                             "The threshold in effect, 0 to 65535.")
      .def_property_readonly(
          "size",
          [](const TPyWorld& w) {
            return py::make_tuple(w.World().DrawingWidth(), w.World().DrawingHeight());
          },
          "The drawing area (width, height) in pixels.")
      .def_property_readonly("aggregated_cells",
                             [](const TPyWorld& w) { return w.World().AggregatedCells(); },
                             "Cells aggregated so far: dla-batch's aggregated=M.")
      .def_property_readonly("series", &TPyWorld::Series,
                             "Free agents of every step from step 1, as dla-batch prints them\n"
                             "(int32; a copy).")
      .def("picture", &TPyWorld::Picture,
           "The picture as a new uint8 array (height, width, 3), RGB: the pixels that\n"
           "dla-batch --picture writes after the same steps.")
      .def_property_readonly(
          "shades", [](const py::object& self) { return self.cast<TPyWorld&>().Shades(self); },
          "Every cell's shade, 0 open or 255 aggregated, uint8 (rows, columns): a\n"
          "read-only view that follows the steps (copy it to keep a moment).")
      .def_property_readonly(
          "states", [](const py::object& self) { return self.cast<TPyWorld&>().States(self); },
          "Every cell's registrations in the last step, int32 (rows, columns): a\n"
          "read-only view that follows the steps.")
      .def_property_readonly(
          "agents", [](const py::object& self) { return self.cast<TPyWorld&>().Agents(self); },
          "The agents in list order, int32 fields x, y (pixels), heading (the\n"
          "model's integer heading) and moving (1 free, 0 stuck): a read-only view\n"
          "that follows the steps.")
      .def("measure", &TPyWorld::Measure,
           "The aggregates' measures now, as dla-batch --measure gives them (full\n"
           "precision): aggregates, largest, mean_size, gyration, dimension, r2 (None\n"
           "when absent; gyration None when the largest aggregate wraps) and wraps.")
      .def("sizes", &TPyWorld::Sizes,
           "How many aggregates there are of each size now: a pandas DataFrame with\n"
           "the columns of dla-batch --sizes.");

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
