#include "audio/sample_cache.h"

#include <gtest/gtest.h>

#include <thread>

#include "testing/fakes.h"
#include "testing/temp_dir.h"

namespace {

// Files decoded ahead are taken by load() as the files they still are.
TEST(SampleCache, TakesWhatWasDecodedAheadUnlessTheFileChanged) {
  testkit::TempDir dir;
  testkit::WorkingDirectory into(dir.path());
  ASSERT_TRUE(dir.write("a.wav", "takes 50"));
  ASSERT_TRUE(dir.write("b.wav", "fails as it was"));
  ASSERT_TRUE(dir.write("slow.wav", "takes 100000"));
  testkit::FakeMixer mixer;
  SampleCache cache(mixer);
  // b is replaced after it was decoded ahead and before it is loaded: the
  // new file is what loads.
  cache.prefetch({"b.wav"});
  while (mixer.mostAtOnce.load() == 0 || mixer.decoding.load() > 0) std::this_thread::yield();
  ASSERT_TRUE(dir.write("b.wav", "as it is now"));
  cache.prefetch({"a.wav", "b.wav", "missing.wav", "a.wav", "slow.wav"});
  std::string error;
  EXPECT_NE(cache.load("a.wav", error), nullptr) << error;
  EXPECT_NE(cache.load("b.wav", error), nullptr) << error;
  EXPECT_EQ(cache.load("missing.wav", error), nullptr);
  EXPECT_EQ(error, "Mix_LoadWAV_RW with NULL src");
  EXPECT_EQ(mixer.decoded.load(), 2);
  // What no load took is let go, and a decoding under way ends with it.
  cache.dropPrefetched();
  EXPECT_EQ(mixer.decoding.load(), 0);
}

}  // namespace
