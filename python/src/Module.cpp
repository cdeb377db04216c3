// dla._core: the engine for the Python package dla (dla/__init__.py turns
// Python values into the arguments below, and the sweep's columns into
// pandas).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Arguments.h"
#include "MeasureText.h"
#include "PySweep.h"
#include "PyWorld.h"
#include "RunDefaults.h"

namespace py = pybind11;
using dla::RunDefaults;
using dla::python::TPyWorld;

PYBIND11_MODULE(_core, m) {
  m.doc() = "The diffusion-aggregation engine; use the package dla.";

  // The engine's world behind dla.World, which documents every member.
  // Never made but by dla.World, which holds it.
  using W = TPyWorld;
  py::class_<W>(m, "World")
      .def(py::init<const py::int_&, const std::string&, const std::string&, const py::object&, const py::int_&>(),
           py::arg("agents"), py::arg("threshold"), py::arg("size"), py::arg("seed"), py::arg("threads"))
      .def_static("load", &W::Load, py::arg("path"), py::arg("threads"))
      .def("save", &W::Save, py::arg("path"))
      .def("copy", [](const W& w) { return W(w); })
      .def("pickle", &W::Pickle)
      .def_static("unpickle", &W::Unpickle, py::arg("state"))
      .def("step", &W::Step, py::arg("n"))
      .def("run", &W::Run, py::arg("steps"))
      .def("play", &W::Play)
      .def("hold", &W::Hold)
      .def("new_setup", &W::NewSetup, py::arg("agents"))
      .def_property_readonly("step_count", &W::StepCount)
      .def_property_readonly("free_agents", &W::FreeAgents)
      .def_property_readonly("ended", &W::Ended)
      .def_property_readonly("seed", &W::Seed)
      .def_property_readonly("threads", &W::Threads)
      .def_property("threshold", &W::Threshold, &W::SetThreshold)
      .def_property_readonly("threshold_text", &W::ThresholdText)
      .def_property_readonly("size", &W::Size)
      .def_property_readonly("aggregated_cells", &W::AggregatedCells)
      .def_property_readonly("series", &W::Series)
      .def("picture", &W::Picture)
      .def_property_readonly("shades", &W::Shades)
      .def_property_readonly("states", &W::States)
      .def_property_readonly("agents", &W::Agents)
      .def("measure", &W::Measure)
      .def("sizes", &W::Sizes)
      .def_property_readonly("measures_series", &W::MeasuresSeries)
      .def("frame", &W::Frame);

  // What the window's error display shows for a threshold text at its next
  // tick: none for a text it takes.
  m.def("threshold_error", &dla::python::ThresholdError, py::arg("text"));

  const auto sweepArguments = [](const std::string& agents, const std::string& thresholds,
                                 const py::int_& runs, const py::object& seed, const py::int_& steps,
                                 const std::string& size, const py::object& jobs, const py::object& shard,
                                 const py::object& partial = py::none(), const py::object& resume = py::none()) {
    return dla::python::TSweepArguments{agents, thresholds, runs, seed, steps, size, jobs, shard, partial, resume};
  };
  m.def(
      "check_sweep",
      [=](const std::string& agents, const std::string& thresholds, const py::int_& runs,
          const py::object& seed, const py::int_& steps, const std::string& size, const py::object& jobs,
          const py::object& shard) {
        return dla::python::CheckSweep(sweepArguments(agents, thresholds, runs, seed, steps, size, jobs, shard));
      },
      py::arg("agents"), py::arg("thresholds"), py::arg("runs"), py::arg("seed"), py::arg("steps"),
      py::arg("size"), py::arg("jobs"), py::arg("shard"));
  m.def(
      "sweep",
      [=](const std::string& agents, const std::string& thresholds, const py::int_& runs,
          const py::object& seed, const py::int_& steps, const std::string& size, const py::object& jobs,
          const py::object& shard, const py::object& partial, const py::object& resume) {
        return dla::python::Sweep(
            sweepArguments(agents, thresholds, runs, seed, steps, size, jobs, shard, partial, resume));
      },
      py::arg("agents"), py::arg("thresholds"), py::arg("runs"), py::arg("seed"), py::arg("steps"),
      py::arg("size"), py::arg("jobs"), py::arg("shard"), py::arg("partial") = py::none(),
      py::arg("resume") = py::none());

  m.attr("MEASURE_COLUMNS") = dla::tools::MeasureColumns;
  // What every argument defaults to, from the defaults every front end
  // reads.
  py::dict defaults;
  defaults["agents"] = RunDefaults.Agents;
  defaults["threshold"] = RunDefaults.ThresholdText;
  defaults["size"] = py::make_tuple(RunDefaults.DrawingWidth, RunDefaults.DrawingHeight);
  defaults["threads"] = RunDefaults.Threads;
  defaults["steps"] = RunDefaults.MaxSteps;
  m.attr("DEFAULTS") = defaults;
}
