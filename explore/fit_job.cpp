#include "explore/fit_job.h"

#include <sstream>
#include <streambuf>

#include "explore/api.h"
#include "fitting/free_parameters.h"
#include "lab/fit_command.h"
#include "lab/result_set.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"

namespace preisach::explore {

namespace {

// The fit's progress lines, appended under the job's lock as they are
// written, so that the page reads whole lines while the fit goes on.
class LockedText : public std::streambuf {
 public:
  LockedText(std::mutex& mutex, std::string& text) : mutex_(mutex), text_(text) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    xsputn(&ch, 1);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::mutex& mutex_;
  std::string& text_;
};

std::vector<std::string> backgroundTerms(const std::string& text) {
  return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text};
}

nlohmann::json resultJson(const fitting::FitResult& r,
                          const std::vector<fitting::Dataset>& data,
                          const parameters::ParameterSet& start) {
  std::ostringstream report;
  fitting::writeReport(report, r, data);
  nlohmann::json out = {{"names", r.names},         {"units", r.units},           {"values", r.values},
                        {"chiSquare", r.chiSquare}, {"points", r.points},         {"iterations", r.iterations},
                        {"converged", r.converged}, {"stopped", r.stopped},       {"undetermined", r.undetermined},
                        {"warnings", r.warnings},   {"symmetries", r.symmetries}, {"combinations", r.combinations},
                        {"report", report.str()}};
  // A value the data did not determine is null, never a number.
  out["errors"] = finiteOrNull(r.errors);
  out["correlation"] = nlohmann::json::array();
  for (const std::vector<double>& row : r.correlation) out["correlation"].push_back(finiteOrNull(row));
  out["record"] = recordJson(lab::fittedRecord(r, data, start), {})["parameters"];
  // The background's terms, and the fitted model (particles and background)
  // at every measured point: what the pictures of the record alone lack.
  out["background"] = nlohmann::json::array();
  for (const fitting::BackgroundTerm& t : r.background)
    out["background"].push_back({{"name", t.name},
                                 {"unit", t.unit},
                                 {"meaning", t.meaning},
                                 {"value", t.value},
                                 {"error", finiteOrNull({t.error})[0]}});
  out["model"] = nlohmann::json::array();
  for (const std::vector<double>& curve : r.model) out["model"].push_back(finiteOrNull(curve));
  return out;
}

}  // namespace

struct FitJob::Arguments {
  lab::FitArguments fit;
};

FitJob::~FitJob() {
  stopping_.store(true);
  if (thread_.joinable()) thread_.join();
}

bool FitJob::start(const parameters::ParameterSet& start,
                   const std::vector<fitting::Dataset>& data,
                   const std::string& free,
                   const std::string& background,
                   bool givenStart) {
  if (data.empty()) throw measured::DataError("no measured data were given to preisach-lab explore: nothing to fit");
  // The data as the record shown takes them (its Tc, its Ha_max).
  const std::vector<fitting::Dataset> checked = lab::dataFor(data, start);
  if (free.empty()) throw measured::DataError("no parameter is ticked: choose at least one to fit");
  // Refused here, before a thread starts, as the command line refuses them.
  fitting::parseFreeParameters(free, fitting::physicsOf(start), static_cast<double>(start.T_max));
  fitting::parseBackground(backgroundTerms(background), checked);
  const std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == "running") return false;
  if (thread_.joinable()) thread_.join();
  state_ = "running";
  progress_.clear();
  outcome_ = nlohmann::json::object();
  stopping_.store(false);
  auto arguments = std::make_shared<Arguments>();
  arguments->fit.free = free;
  arguments->fit.background = backgroundTerms(background);
  arguments->fit.givenStart = givenStart;
  thread_ = std::thread(&FitJob::run, this, start, checked, arguments);
  return true;
}

void FitJob::run(parameters::ParameterSet start,
                 std::vector<fitting::Dataset> data,
                 std::shared_ptr<Arguments> arguments) {
  const lab::FitArguments& a = arguments->fit;
  LockedText lines(mutex_, progress_);
  std::ostream progress(&lines);
  std::string state = "done";
  nlohmann::json outcome;
  try {
    const fitting::FitResult r = lab::fitData(a, start, data, &progress, &stopping_, "the page's Stop");
    outcome = {{"result", resultJson(r, data, start)}};
  } catch (const std::exception& e) {
    state = "failed";
    outcome = {{"error", measured::escapedControls(e.what())}};
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  state_ = state;
  outcome_ = outcome;
}

bool FitJob::stop() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (state_ != "running") return false;
  stopping_.store(true);
  return true;
}

nlohmann::json FitJob::status() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  nlohmann::json out = outcome_;
  out["state"] = state_;
  out["progress"] = progress_;
  return out;
}

}  // namespace preisach::explore
