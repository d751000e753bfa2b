#include "audio/decode_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

using testkit::FakeMixer;

// Whether condition came true within ten seconds: a pool that never starts
// a decoding fails rather than hangs.
template <typename Condition>
bool within(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class DecodePoolTest : public ::testing::Test {
 protected:
  void write(const std::string& name, const std::string& content) {
    ASSERT_TRUE(dir_.write(name, content));
  }
  std::string file(const std::string& name) const { return dir_.file(name); }
  // Takes the job; its error, or "" when it gave a sample (and only then).
  static std::string take(DecodePool& pool, const std::shared_ptr<DecodePool::Job>& job) {
    std::shared_ptr<const Sample> sample;
    std::string error;
    const bool taken = pool.take(job, sample, error);
    EXPECT_EQ(taken, error.empty()) << error;
    EXPECT_EQ(sample != nullptr, taken);
    return error;
  }

  testkit::TempDir dir_;
  FakeMixer mixer_;
};

TEST_F(DecodePoolTest, DecodesOnEveryWorkerAndGivesEachJobItsOwnResult) {
  for (const char* name : {"a", "b", "c", "d"}) write(name, "takes 50");
  write("bad", "takes 20 fails it is no sample");
  DecodePool pool(mixer_, nullptr, 2);
  std::vector<std::shared_ptr<DecodePool::Job>> jobs;
  for (const char* name : {"a", "bad", "b", "missing", "c", "d"})
    jobs.push_back(pool.submit(file(name)));
  const char* errors[] = {"", "it is no sample", "", "Mix_LoadWAV_RW with NULL src", "", ""};
  for (std::size_t i = 0; i < jobs.size(); ++i) EXPECT_EQ(take(pool, jobs[i]), errors[i]) << i;
  // Both workers at once (and the taker, with a job they had not begun).
  EXPECT_GE(mixer_.mostAtOnce.load(), 2);
  EXPECT_EQ(mixer_.decoded.load(), 4);
}

// A job that no worker has begun is decoded by the thread that takes it.
TEST_F(DecodePoolTest, TheTakerDecodesAJobNoWorkerBegan) {
  write("slow", "takes 20000");
  write("quick", "x");
  DecodePool pool(mixer_, nullptr, 1);
  const auto slow = pool.submit(file("slow"));
  const auto quick = pool.submit(file("quick"));
  ASSERT_TRUE(within([&] { return mixer_.decoding.load() == 1; }));
  EXPECT_EQ(take(pool, quick), "");
  EXPECT_EQ(mixer_.mostAtOnce.load(), 2);
  // The slow one is interrupted rather than waited for: it never decodes.
  pool.cancelAll();
  EXPECT_EQ(mixer_.decoding.load(), 0);
  EXPECT_EQ(mixer_.decoded.load(), 1);
}

TEST_F(DecodePoolTest, EndsEveryDecodingWhenInterrupted) {
  write("slow", "takes 100000");
  std::atomic<bool> signal{false};
  DecodePool pool(
      mixer_, [&signal] { return signal.load(); }, 2);
  const auto first = pool.submit(file("slow"));
  const auto second = pool.submit(file("slow"));
  ASSERT_TRUE(within([&] { return mixer_.decoding.load() == 2; }));
  signal.store(true);
  for (const auto& job : {first, second}) EXPECT_EQ(take(pool, job), "start-up interrupted");
  // A job cancelled alone ends too; the pool takes more afterwards.
  signal.store(false);
  const auto cancelled = pool.submit(file("slow"));
  ASSERT_TRUE(within([&] { return mixer_.decoding.load() == 1; }));
  pool.cancel(cancelled);
  ASSERT_TRUE(within([&] { return mixer_.decoding.load() == 0; }));
  write("quick", "x");
  EXPECT_EQ(take(pool, pool.submit(file("quick"))), "");
}

}  // namespace
