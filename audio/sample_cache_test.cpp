#include "audio/sample_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Stand-ins for samples: distinct non-null pointers that are never used.
int storage[4];
Mix_Chunk* fake(int i) { return reinterpret_cast<Mix_Chunk*>(&storage[i]); }

struct Add {
  std::string name;
  int sample;
  bool added;
};

struct CacheCase {
  const char* name;
  std::vector<Add> adds;
  // Expected lookups after all adds: name -> sample index, or -1 for none.
  std::vector<std::pair<std::string, int>> lookups;
  std::vector<std::string> entryNames;  // in order
};

void PrintTo(const CacheCase& c, std::ostream* os) { *os << c.name; }

class SampleCacheCases : public ::testing::TestWithParam<CacheCase> {};

TEST_P(SampleCacheCases, FirstEntryOfANameWins) {
  const CacheCase& c = GetParam();
  SampleCache cache;
  for (const Add& add : c.adds)
    EXPECT_EQ(cache.add(fake(add.sample), add.name), add.added) << add.name;
  for (const auto& [name, sample] : c.lookups)
    EXPECT_EQ(cache.lookup(name), sample < 0 ? nullptr : fake(sample)) << name;
  std::vector<std::string> names;
  for (const SampleCacheEntry& entry : cache.entries) names.push_back(entry.name);
  EXPECT_EQ(names, c.entryNames);
}

INSTANTIATE_TEST_SUITE_P(
    Audio, SampleCacheCases,
    ::testing::Values(
        CacheCase{"Empty", {}, {{"a.wav", -1}, {"", -1}}, {}},
        CacheCase{"OneEntry", {{"a.wav", 0, true}}, {{"a.wav", 0}, {"b.wav", -1}}, {"a.wav"}},
        CacheCase{"SecondAddOfANameChangesNothing",
                  {{"a.wav", 0, true}, {"a.wav", 1, false}},
                  {{"a.wav", 0}},
                  {"a.wav"}},
        CacheCase{"OrderOfFirstLoading",
                  {{"b.wav", 1, true}, {"a.wav", 0, true}, {"b.wav", 2, false}, {"c.wav", 2, true}},
                  {{"a.wav", 0}, {"b.wav", 1}, {"c.wav", 2}},
                  {"b.wav", "a.wav", "c.wav"}},
        CacheCase{
            "SpellingsAreDistinct",
            {{"a.wav", 0, true}, {"./a.wav", 1, true}, {"A.wav", 2, true}, {"a.wav ", 3, true}},
            {{"a.wav", 0}, {"./a.wav", 1}, {"A.wav", 2}, {"a.wav ", 3}, {"a.WAV", -1}},
            {"a.wav", "./a.wav", "A.wav", "a.wav "}},
        CacheCase{"EmptyNameIsAName", {{"", 0, true}, {"", 1, false}}, {{"", 0}, {" ", -1}}, {""}},
        CacheCase{"SameSampleUnderTwoNames",
                  {{"a.wav", 0, true}, {"b.wav", 0, true}},
                  {{"a.wav", 0}, {"b.wav", 0}},
                  {"a.wav", "b.wav"}},
        CacheCase{"NameWithEmbeddedNul",
                  {{std::string("a\0b", 3), 0, true}, {"a", 1, true}},
                  {{std::string("a\0b", 3), 0}, {"a", 1}},
                  {std::string("a\0b", 3), "a"}}),
    [](const ::testing::TestParamInfo<CacheCase>& info) { return info.param.name; });

TEST(SampleCacheTest, ManyNamesAllFound) {
  SampleCache cache;
  for (int i = 0; i < 1000; ++i)
    ASSERT_TRUE(cache.add(fake(i % 4), "sample" + std::to_string(i) + ".wav"));
  for (int i = 999; i >= 0; --i)
    EXPECT_EQ(cache.lookup("sample" + std::to_string(i) + ".wav"), fake(i % 4)) << i;
  EXPECT_EQ(cache.entries.size(), 1000u);
  EXPECT_FALSE(cache.add(fake(1), "sample500.wav"));
  EXPECT_EQ(cache.lookup("sample500.wav"), fake(0));
}

}  // namespace
