#include "collect/reading_threads.h"

namespace veldra {

ReadingThreads::~ReadingThreads() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  waiting_.notify_all();
  for (auto& thread : threads_) thread.join();
}

std::future<FactsBatch> ReadingThreads::run(Work work) {
  std::packaged_task<FactsBatch()> task(std::move(work));
  auto result = task.get_future();
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
    if (threads_.size() < count_) threads_.emplace_back([this] { serve(); });
  }
  waiting_.notify_one();
  return result;
}

void ReadingThreads::dropWaiting() {
  std::lock_guard lock(mutex_);
  queue_.clear();
}

void ReadingThreads::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    waiting_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    auto task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace veldra
