// The workers of one search: the calling thread and `threads - 1` helpers
// kept for the whole search, so that each of its many small steps costs a
// wake-up rather than a thread start. Under ZELMAR_NO_THREADS the caller is
// the only worker.
#pragma once

#include <functional>
#include <vector>

#ifndef ZELMAR_NO_THREADS
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace zelmar::plan {

// The lock of what the workers share; nothing to lock with one worker.
#ifndef ZELMAR_NO_THREADS
using TeamMutex = std::mutex;
using TeamLock = std::lock_guard<std::mutex>;
#else
struct TeamMutex {};
struct TeamLock {
  explicit TeamLock(TeamMutex&) {}
};
#endif

class Team {
 public:
  // The helpers start with the first job that needs them: a search whose
  // steps are all small starts none.
  explicit Team(int threads) {
#ifndef ZELMAR_NO_THREADS
    threads_ = threads;
#else
    (void)threads;
#endif
  }
  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;
  ~Team() {
#ifndef ZELMAR_NO_THREADS
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_) t.join();
#endif
  }

  int size() const {
#ifndef ZELMAR_NO_THREADS
    return threads_;
#else
    return 1;
#endif
  }

  // Runs job(worker) on every worker (the caller is worker 0); returns when
  // all have finished.
  void Run(const std::function<void(int)>& job) {
#ifndef ZELMAR_NO_THREADS
    if (threads_ <= 1) {
      job(0);
      return;
    }
    for (int w = static_cast<int>(helpers_.size()) + 1; w < threads_; ++w) {
      helpers_.emplace_back([this, w] { Serve(w); });
    }
    {
      std::lock_guard lock(mutex_);
      job_ = &job;
      running_ = static_cast<int>(helpers_.size());
      ++generation_;
    }
    wake_.notify_all();
    job(0);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return running_ == 0; });
    job_ = nullptr;
#else
    job(0);
#endif
  }

 private:
#ifndef ZELMAR_NO_THREADS
  int threads_ = 1;
  void Serve(int worker) {
    unsigned long long seen = 0;
    for (;;) {
      const std::function<void(int)>* job = nullptr;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
        if (quit_) return;
        seen = generation_;
        job = job_;
      }
      (*job)(worker);
      std::lock_guard lock(mutex_);
      if (--running_ == 0) done_.notify_one();
    }
  }

  std::vector<std::thread> helpers_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const std::function<void(int)>* job_ = nullptr;
  unsigned long long generation_ = 0;
  int running_ = 0;
  bool quit_ = false;
#endif
};

}  // namespace zelmar::plan
