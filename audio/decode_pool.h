#ifndef VELUMORA_AUDIO_DECODE_POOL_H_
#define VELUMORA_AUDIO_DECODE_POOL_H_

// Sample files decoded ahead, on worker threads, one per core, in the order
// they were submitted. Start-up takes its samples one by one in playlist
// order and tells its lines in that order; with the files submitted first,
// each is decoded (or under way) when its turn comes, and the cores share
// the work. A job that no worker has begun when it is taken is decoded by
// the thread that takes it.
//
// Threads: submit(), take(), cancel() and cancelAll() are called on one
// thread (the main thread). The workers call Mixer::decode(), which any
// number of threads may call at once, and nothing else; they run from the
// first submit() to the next cancelAll().

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/mixer.h"
#include "base/mutex.h"

class DecodePool {
 public:
  class Job;

  // workers 0: one per core. interrupted, when set, ends every decoding
  // when it says so (such as a signal during start-up).
  DecodePool(Mixer& mixer, std::function<bool()> interrupted, unsigned workers = 0);
  ~DecodePool();
  DecodePool(const DecodePool&) = delete;
  DecodePool& operator=(const DecodePool&) = delete;

  // Queues the decoding of path behind the jobs before it.
  std::shared_ptr<Job> submit(const std::string& path);
  // Waits for the job and gives its result: false with the reason in error.
  bool take(const std::shared_ptr<Job>& job, std::shared_ptr<const Sample>& sample,
            std::string& error);
  // The job's result is not wanted: it ends as soon as it can.
  void cancel(const std::shared_ptr<Job>& job);
  // Cancels every job not taken and waits for the workers to end.
  void cancelAll();

 private:
  void work();
  void forget(const std::shared_ptr<Job>& job);
  // Decodes job on this thread and stores the result in it.
  void run(Job& job);

  Mixer& mixer_;
  const std::function<bool()> interrupted_;
  const unsigned most_;
  Mutex mutex_;
  std::condition_variable wake_;  // a job queued, or stopping_
  std::deque<std::shared_ptr<Job>> queue_ GUARDED_BY(mutex_);
  bool stopping_ GUARDED_BY(mutex_) = false;
  // The submitting thread's own: the jobs submitted and not yet taken or
  // cancelled, and the workers.
  std::vector<std::shared_ptr<Job>> outstanding_;
  std::vector<std::thread> workers_;
};

#endif  // VELUMORA_AUDIO_DECODE_POOL_H_
