#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace preisach::driver {

// Runs compute(k) for k = 0 .. count - 1 on `threads` cores (0: all of the
// machine's) and hands
// every result to emit(k, result) on the calling thread in index order, each
// as soon as it and all before it are done. The computations must be
// independent; emit is never called concurrently, so console lines and file
// rows keep the order of a sequential run.
template <typename Result, typename Compute, typename Emit>
void computeInOrder(unsigned threads, std::size_t count, Compute compute, Emit emit) {
  const unsigned cores = threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
  const std::size_t workers = std::min<std::size_t>(cores, count);
  if (workers <= 1) {
    for (std::size_t k = 0; k < count; ++k) emit(k, compute(k));
    return;
  }
  std::vector<std::optional<Result>> results(count);
  std::mutex mutex;
  std::condition_variable done;
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t k = next++; k < count; k = next++) {
      Result result = compute(k);
      {
        const std::lock_guard<std::mutex> lock(mutex);
        results[k].emplace(std::move(result));
      }
      done.notify_all();
    }
  };
  std::vector<std::thread> pool;
  for (std::size_t w = 0; w < workers; ++w) pool.emplace_back(work);
  for (std::size_t k = 0; k < count; ++k) {
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return results[k].has_value(); });
    Result result = std::move(*results[k]);
    results[k].reset();
    lock.unlock();
    emit(k, result);
  }
  for (std::thread& thread : pool) thread.join();
}

}  // namespace preisach::driver
