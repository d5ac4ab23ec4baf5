#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <thread>

#include "bindings.h"
#include "explore/api.h"
#include "explore/server.h"
#include "lab/result_set.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"
#include "python_checks.h"

namespace py = pybind11;

namespace preisach::python {

namespace {

// The server of preisach-lab explore in this process, serving on its own
// thread (no Python runs there) until stop() or the object's end.
class Explorer {
 public:
  Explorer(const parameters::ParameterSet& p,
           const py::list& data,
           const std::string& out,
           const std::string& forc,
           int port) {
    if (port < 0 || port > 65535) throw measured::DataError("port must be 0 (the first free) or from 1 to 65535");
    explore::Settings settings;
    settings.start = p;
    if (!data.empty()) settings.data = datasets(data, p);
    if (!forc.empty()) {
      settings.forcDiagram = explore::readForcDiagram(forc);
      settings.forcFile = forc;
    }
    if (!out.empty()) {
      requireResultPath(out);
      lab::requireWritableFolderOf(out);
      // Save must never replace a file the page reads.
      std::vector<lab::NamedFile> inputs;
      for (const fitting::Dataset& d : settings.data) inputs.push_back({"data", d.curve.file});
      if (!forc.empty()) inputs.push_back({"forc", forc});
      lab::requireSeparateFiles(inputs, {{"out", out}});
    }
    settings.out = out;
    settings.port = port;
    settings.plotly = PREISACH_PLOTLY_JS;
    server_ = std::make_unique<explore::Server>(settings);
    if (!server_->bind())
      throw measured::DataError(port != 0 ? "port " + std::to_string(port) + " is in use or not allowed"
                                          : "no free port from 8765 to 8864: give one with port=");
    url_ = server_->url();
    thread_ = std::thread([this] { server_->serve(); });
  }
  ~Explorer() { stop(); }
  Explorer(const Explorer&) = delete;
  Explorer& operator=(const Explorer&) = delete;

  // Ends the server and a fit it runs (at the fit's next iteration).
  void stop() {
    if (!server_) return;
    server_->stop();
    thread_.join();
    server_.reset();
  }
  const std::string& url() const { return url_; }
  bool running() const { return server_ != nullptr; }

 private:
  std::string url_;
  std::unique_ptr<explore::Server> server_;
  std::thread thread_;
};

}  // namespace

void bindExplore(py::module_& m) {
  py::class_<Explorer>(m, "Explorer")
      .def(py::init<const parameters::ParameterSet&, const py::list&, const std::string&, const std::string&, int>(),
           py::arg("record"), py::arg("data"), py::arg("out"), py::arg("forc"), py::arg("port"))
      .def_property_readonly("url", &Explorer::url)
      .def_property_readonly("running", &Explorer::running)
      .def("stop", &Explorer::stop, py::call_guard<py::gil_scoped_release>());
}

}  // namespace preisach::python
