#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "collect/drawing_facts.h"

namespace veldra {

// The facts of several drawings, read one after the other on one thread.
using FactsBatch = std::vector<std::shared_ptr<const DrawingFacts>>;

// Threads that read drawings for a drawing source, kept as long as the source:
// a thread that has read one drawing reuses the memory it took for the next,
// where a new thread for each drawing would ask the system for it afresh.
// The threads start with the first work given.
class ReadingThreads {
 public:
  using Work = std::function<FactsBatch()>;

  explicit ReadingThreads(std::size_t count) : count_(count == 0 ? 1 : count) {}
  ~ReadingThreads();
  ReadingThreads(const ReadingThreads&) = delete;
  ReadingThreads& operator=(const ReadingThreads&) = delete;

  // Done on the first free thread, in the order given.
  std::future<FactsBatch> run(Work work);
  // Work not yet started is dropped: its future reports a broken promise.
  void dropWaiting();

 private:
  void serve();

  const std::size_t count_;
  std::mutex mutex_;
  std::condition_variable waiting_;
  std::deque<std::packaged_task<FactsBatch()>> queue_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace veldra
