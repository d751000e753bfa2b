// The library the tests were told they run on is the one really loaded,
// so that a run meant for sdl12-compat cannot quietly test classic SDL.

#include "testing/host.h"

#include <gtest/gtest.h>

namespace {

TEST(HostTest, LoadedSdlIsTheOneNamed) {
  const testkit::SdlLibrary library = testkit::sdlLibrary();
  const int patch = testkit::linkedSdlPatch();
  if (library == testkit::SdlLibrary::kCompat) {
    EXPECT_GE(patch, 50) << "VELUMORA_TEST_SDL names sdl12-compat, but SDL 1.2." << patch
                         << " is loaded: is LD_LIBRARY_PATH set?";
  } else {
    EXPECT_LT(patch, 50) << "sdl12-compat (SDL 1.2." << patch
                         << ") is loaded, but VELUMORA_TEST_SDL does not say so";
  }
}

}  // namespace
