#pragma once

// The one thread pool of the program and the lab: indexed tasks shared out
// among a few cores. A task writes only its own results (slot k of a vector
// sized beforehand), so the results are the same, bit for bit, on any
// number of cores; only the order in which tasks run differs.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "model/cores.h"

namespace preisach::model {

// Runs work(w) for w = 0 .. workers - 1 side by side, w = 0 on the calling
// thread, and returns when all have returned. An exception thrown by any of
// them is rethrown here once all have finished (the first, if several
// throw); a worker that must stop the others early has to tell them itself.
template <typename Work>
void onWorkers(std::size_t workers, Work work) {
  std::exception_ptr failure;
  std::mutex mutex;
  const auto guarded = [&](std::size_t w) {
    try {
      work(w);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(mutex);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> others;
  others.reserve(workers > 0 ? workers - 1 : 0);
  for (std::size_t w = 1; w < workers; ++w) others.emplace_back(guarded, w);
  if (workers > 0) guarded(0);
  for (std::thread& t : others) t.join();
  if (failure) std::rethrow_exception(failure);
}

// Runs task(k, state) once for every k = 0 .. count - 1 on `threads` cores
// (0: all of the machine's), the calling thread one of them. Each core
// makes its own state with makeState() (a scratch copy of a sample, a
// buffer) and hands it to every task it takes. Once a task has thrown, no
// further task starts, and the exception is rethrown here.
template <typename MakeState, typename Task>
void forEachIndexWithState(std::size_t count, unsigned threads, MakeState makeState, Task task) {
  const std::size_t workers = std::min<std::size_t>(coresFor(threads), count);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  onWorkers(workers, [&](std::size_t) {
    auto state = makeState();
    try {
      for (std::size_t k = next++; k < count && !failed; k = next++) task(k, state);
    } catch (...) {
      failed = true;
      throw;
    }
  });
}

// The same without a state of each core's own: task(k).
template <typename Task>
void forEachIndex(std::size_t count, unsigned threads, Task task) {
  forEachIndexWithState(
      count, threads, [] { return 0; }, [&](std::size_t k, int) { task(k); });
}

}  // namespace preisach::model
