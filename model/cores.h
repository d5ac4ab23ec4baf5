#pragma once

#include <algorithm>
#include <thread>

namespace preisach::model {

// The cores a computation asking for `threads` gets: 0 means all of the
// machine's.
inline unsigned coresFor(unsigned threads) {
  return threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace preisach::model
