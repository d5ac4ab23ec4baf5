#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "model/cores.h"

namespace preisach::driver {

// Runs compute(k) for k = 0 .. count - 1 on `threads` cores (0: all of the
// machine's) and hands every result to emit(k, result) on the calling
// thread in index order, each as soon as it and all before it are done. The
// computations must be independent; emit is never called concurrently, so
// console lines and file rows keep the order of a sequential run. At most a
// few results per core wait for their turn, so memory does not grow with
// count.
template <typename Result, typename Compute, typename Emit>
void computeInOrder(unsigned threads, std::size_t count, Compute compute, Emit emit) {
  const unsigned cores = model::coresFor(threads);
  const std::size_t workers = std::min<std::size_t>(cores, count);
  if (workers <= 1) {
    for (std::size_t k = 0; k < count; ++k) emit(k, compute(k));
    return;
  }
  // Result k waits in slot k % window; index k is taken only once every
  // result before k - window + 1 has been emitted.
  const std::size_t window = 4 * workers;
  std::vector<std::optional<Result>> slots(window);
  std::mutex mutex;
  std::condition_variable resultReady, slotFree;
  std::size_t next = 0, emitted = 0;
  const auto work = [&] {
    for (;;) {
      std::size_t k = 0;
      {
        std::unique_lock<std::mutex> lock(mutex);
        slotFree.wait(lock, [&] { return next >= count || next < emitted + window; });
        if (next >= count) return;
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
  std::vector<std::thread> pool;
  for (std::size_t w = 0; w < workers; ++w) pool.emplace_back(work);
  for (std::size_t k = 0; k < count; ++k) {
    std::unique_lock<std::mutex> lock(mutex);
    resultReady.wait(lock, [&] { return slots[k % window].has_value(); });
    Result result = std::move(*slots[k % window]);
    slots[k % window].reset();
    emitted = k + 1;
    lock.unlock();
    slotFree.notify_all();
    emit(k, result);
  }
  for (std::thread& thread : pool) thread.join();
}

}  // namespace preisach::driver
