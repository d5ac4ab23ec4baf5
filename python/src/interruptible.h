#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <streambuf>
#include <thread>
#include <utility>

// Long computations of the module off the interpreter's thread. The caller
// waits with the GIL released and looks for a pending signal every 50 ms,
// so Ctrl-C ends the call at once with KeyboardInterrupt. The computation is
// told to stop through its flag: work split into units stops at the next
// unit; a single kernel call runs to its end on its own thread, on copies of
// its inputs, and its result is dropped.
namespace preisach::python {

// Thrown by work that saw its stop flag; never reaches Python (the caller
// has left with KeyboardInterrupt by then).
struct Stopped {};

inline void stopIfAsked(const std::atomic<bool>& stop) {
  if (stop.load(std::memory_order_relaxed)) throw Stopped{};
}

// The result of work(stop). `work` must own everything it reads (capture by
// value): on an interrupt the caller returns while the work may still run.
template <typename Work>
auto interruptible(Work work) -> decltype(work(std::declval<const std::atomic<bool>&>())) {
  using Result = decltype(work(std::declval<const std::atomic<bool>&>()));
  struct State {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::optional<Result> result;
    std::exception_ptr error;
    std::atomic<bool> stop{false};
  };
  auto state = std::make_shared<State>();
  std::thread worker([state, work = std::move(work)]() mutable {
    std::optional<Result> result;
    std::exception_ptr error;
    try {
      result.emplace(work(state->stop));
    } catch (const Stopped&) {
    } catch (...) {
      error = std::current_exception();
    }
    {
      const std::lock_guard<std::mutex> lock(state->mutex);
      state->result = std::move(result);
      state->error = error;
      state->done = true;
    }
    state->finished.notify_all();
  });
  for (;;) {
    bool done = false;
    {
      const pybind11::gil_scoped_release release;
      std::unique_lock<std::mutex> lock(state->mutex);
      done = state->finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return state->done; });
    }
    if (done) break;
    if (PyErr_CheckSignals() != 0) {
      state->stop = true;
      worker.detach();
      throw pybind11::error_already_set();
    }
  }
  worker.join();
  if (state->error) std::rethrow_exception(state->error);
  return std::move(*state->result);
}

// A stream buffer that takes and drops every character, and throws Stopped
// when its flag is set: handed to the fit as its progress stream, it ends
// the descent at the next iteration's line.
class StopAtProgress : public std::streambuf {
 public:
  explicit StopAtProgress(const std::atomic<bool>& stop) : stop_(stop) {}

 protected:
  int_type overflow(int_type c) override {
    stopIfAsked(stop_);
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    stopIfAsked(stop_);
    return n;
  }

 private:
  const std::atomic<bool>& stop_;
};

}  // namespace preisach::python
