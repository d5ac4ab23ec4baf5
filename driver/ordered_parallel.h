#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "model/cores.h"
#include "model/parallel.h"

namespace preisach::driver {

// Runs compute(k) for k = 0 .. count - 1 on `threads` cores (0: all of the
// machine's) and hands every result to emit(k, result) on the calling
// thread in index order, each as soon as it and all before it are done. The
// computations must be independent; emit is never called concurrently, so
// console lines and file rows keep the order of a sequential run. At most a
// few results per core wait for their turn, so memory does not grow with
// count. An exception in compute or emit ends the run and is rethrown here.
template <typename Result, typename Compute, typename Emit>
void computeInOrder(unsigned threads, std::size_t count, Compute compute, Emit emit) {
  const std::size_t workers = std::min<std::size_t>(model::coresFor(threads), count);
  if (workers <= 1) {
    for (std::size_t k = 0; k < count; ++k) emit(k, compute(k));
    return;
  }
  // Result k waits in slot k % window; index k is taken only once every
  // result before k - window + 1 has been emitted. A failure on either side
  // stops both, so neither waits for the other forever.
  const std::size_t window = 4 * workers;
  std::vector<std::optional<Result>> slots(window);
  std::mutex mutex;
  std::condition_variable resultReady, slotFree;
  std::size_t next = 0, emitted = 0;
  bool failed = false;
  const auto fail = [&] {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      failed = true;
    }
    resultReady.notify_all();
    slotFree.notify_all();
  };
  const auto computeAll = [&] {
    for (;;) {
      std::size_t k = 0;
      {
        std::unique_lock<std::mutex> lock(mutex);
        slotFree.wait(lock, [&] { return failed || next >= count || next < emitted + window; });
        if (failed || next >= count) return;
        k = next++;
      }
      Result result = compute(k);
      {
        const std::lock_guard<std::mutex> lock(mutex);
        slots[k % window].emplace(std::move(result));
      }
      resultReady.notify_all();
    }
  };
  const auto emitAll = [&] {
    for (std::size_t k = 0; k < count; ++k) {
      std::unique_lock<std::mutex> lock(mutex);
      resultReady.wait(lock, [&] { return failed || slots[k % window].has_value(); });
      if (failed) return;
      Result result = std::move(*slots[k % window]);
      slots[k % window].reset();
      emitted = k + 1;
      lock.unlock();
      slotFree.notify_all();
      emit(k, result);
    }
  };
  // The calling thread emits, the others compute.
  model::onWorkers(workers + 1, [&](std::size_t w) {
    try {
      w == 0 ? emitAll() : computeAll();
    } catch (...) {
      fail();
      throw;
    }
  });
}

}  // namespace preisach::driver
