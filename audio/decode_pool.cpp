#include "audio/decode_pool.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

#include "audio/sample_decoder.h"

class DecodePool::Job {
 public:
  explicit Job(std::string file) : path(std::move(file)) {}

  const std::string path;
  std::atomic<bool> cancelled{false};
  Mutex mutex;
  std::condition_variable ended;
  bool done GUARDED_BY(mutex) = false;
  bool decoded GUARDED_BY(mutex) = false;
  std::shared_ptr<const Sample> sample GUARDED_BY(mutex);
  std::string error GUARDED_BY(mutex);
};

DecodePool::DecodePool(Mixer& mixer, std::function<bool()> interrupted, unsigned workers)
    : mixer_(mixer),
      interrupted_(std::move(interrupted)),
      most_(workers != 0 ? workers : std::max(1u, std::thread::hardware_concurrency())) {}

DecodePool::~DecodePool() { cancelAll(); }

std::shared_ptr<DecodePool::Job> DecodePool::submit(const std::string& path) {
  auto job = std::make_shared<Job>(path);
  {
    MutexLock lock(mutex_);
    queue_.push_back(job);
  }
  outstanding_.push_back(job);
  wake_.notify_one();
  if (workers_.size() < most_) {
    // Without another thread the job is decoded when it is taken.
    try {
      workers_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
    }
  }
  return job;
}

bool DecodePool::take(const std::shared_ptr<Job>& job, std::shared_ptr<const Sample>& sample,
                      std::string& error) {
  forget(job);
  bool mine = false;
  {
    MutexLock lock(mutex_);
    const auto queued = std::find(queue_.begin(), queue_.end(), job);
    if (queued != queue_.end()) {
      queue_.erase(queued);
      mine = true;
    }
  }
  if (mine) run(*job);
  MutexLock lock(job->mutex);
  while (!job->done) lock.wait(job->ended);
  sample = std::move(job->sample);
  error = std::move(job->error);
  return job->decoded;
}

void DecodePool::cancel(const std::shared_ptr<Job>& job) {
  job->cancelled.store(true);
  forget(job);
  MutexLock lock(mutex_);
  const auto queued = std::find(queue_.begin(), queue_.end(), job);
  if (queued != queue_.end()) queue_.erase(queued);
}

void DecodePool::cancelAll() {
  for (const auto& job : outstanding_) job->cancelled.store(true);
  outstanding_.clear();
  {
    MutexLock lock(mutex_);
    queue_.clear();
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  MutexLock lock(mutex_);
  stopping_ = false;
}

void DecodePool::forget(const std::shared_ptr<Job>& job) {
  const auto found = std::find(outstanding_.begin(), outstanding_.end(), job);
  if (found != outstanding_.end()) outstanding_.erase(found);
}

void DecodePool::work() {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      MutexLock lock(mutex_);
      while (queue_.empty() && !stopping_) lock.wait(wake_);
      if (stopping_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    run(*job);
  }
}

void DecodePool::run(Job& job) {
  std::shared_ptr<const Sample> sample;
  std::string error;
  bool decoded = false;
  const auto interrupted = [this, &job] {
    return job.cancelled.load(std::memory_order_relaxed) || (interrupted_ && interrupted_());
  };
  if (interrupted()) {
    error = kDecodeInterrupted;
  } else {
    try {
      decoded = mixer_.decode(job.path, interrupted, sample, error);
    } catch (const std::bad_alloc&) {
      error = "out of memory";
    }
  }
  {
    MutexLock lock(job.mutex);
    job.done = true;
    job.decoded = decoded;
    job.sample = std::move(sample);
    job.error = std::move(error);
  }
  job.ended.notify_all();
}
