#pragma once

// Work spread over the machine's cores: items are taken in turn by worker
// threads and by the calling thread, which alone reports progress.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "evidence/features/settings.h"
#include "platform/file_facts.h"

namespace veldra::evidence {

inline unsigned workerCount() { return processorCount(); }

// Calls fn(i) for every i below n, on all cores. Stops taking new items once
// the run is cancelled; returns false then.
template <class Fn>
bool parallelFor(std::size_t n, const RunControl& control, const std::string& stage, Fn&& fn) {
  std::atomic<std::size_t> next{0}, done{0};
  control.report(stage, 0, n);
  auto work = [&](bool reporter) {
    auto last = std::chrono::steady_clock::now();
    for (;;) {
      if (control.cancelled()) return;
      const std::size_t i = next.fetch_add(1);
      if (i >= n) return;
      fn(i);
      const std::size_t finished = done.fetch_add(1) + 1;
      if (reporter) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last >= std::chrono::milliseconds(100)) {
          control.report(stage, finished, n);
          last = now;
        }
      }
    }
  };
  const unsigned helpers = static_cast<unsigned>(std::min<std::size_t>(workerCount(), n > 0 ? n : 1)) - 1;
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  for (unsigned t = 0; t < helpers; ++t) threads.emplace_back(work, false);
  work(true);
  for (auto& t : threads) t.join();
  if (control.cancelled()) return false;
  control.report(stage, n, n);
  return true;
}

}  // namespace veldra::evidence
