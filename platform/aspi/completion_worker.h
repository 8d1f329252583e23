// The thread on which a layer completes its deferred requests, one per layer. It starts with
// the first job and is joined when the worker is destroyed; jobs still queued then are dropped
// unrun, since their initiators are gone with the host.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform::aspi_internal {

class CompletionWorker {
 public:
  CompletionWorker() = default;
  ~CompletionWorker();
  CompletionWorker(const CompletionWorker&) = delete;
  CompletionWorker& operator=(const CompletionWorker&) = delete;

  void Post(std::function<void()> job);
  bool started() const;

 private:
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace platform::aspi_internal
