#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "fitting/model_curves.h"
#include "parameters/parameters.h"

// A fit started from the page: the fit of `preisach-lab fit` run on its own
// thread, its progress lines kept for the page to poll, stoppable, and its
// result (values, errors, report) kept until the next one starts.
namespace preisach::explore {

class FitJob {
 public:
  FitJob() = default;
  ~FitJob();  // stops a running fit and waits for it
  FitJob(const FitJob&) = delete;
  FitJob& operator=(const FitJob&) = delete;

  // Starts the fit of `free` ("NAME[=LO:HI],..." as fit's --free takes it)
  // on `data`, with the background terms named in `background` ("linear",
  // ... or ""), from the values of `start` when `givenStart`, else from the
  // data as fit starts by default. Returns false, starting nothing,
  // while another fit runs. Throws measured::DataError, starting nothing,
  // for free parameters or a background the fit would refuse.
  bool start(const parameters::ParameterSet& start,
             const std::vector<fitting::Dataset>& data,
             const std::string& free,
             const std::string& background,
             bool givenStart);

  // Asks a running fit to end at the point it reached; false when none runs.
  bool stop();

  // {"state": "idle" | "running" | "done" | "failed", "progress": lines,
  //  and when done "result": values, errors, the fitted record, the report,
  //  its warnings; when failed "error": why}.
  nlohmann::json status() const;

 private:
  // The fit of the arguments of `preisach-lab fit` (free, background,
  // given start: the fit command's own type, kept out of this header).
  struct Arguments;
  void run(parameters::ParameterSet start, std::vector<fitting::Dataset> data, std::shared_ptr<Arguments> arguments);

  mutable std::mutex mutex_;
  std::string state_ = "idle";
  std::string progress_;
  nlohmann::json outcome_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace preisach::explore
