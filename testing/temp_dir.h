#ifndef VELUMORA_TESTING_TEMP_DIR_H_
#define VELUMORA_TESTING_TEMP_DIR_H_

// A fresh directory under $TMPDIR (or /tmp) for one test, removed with all
// its contents when the object goes away, so that tests can run in parallel.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace testkit {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velumora-test-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    EXPECT_FALSE(path_.empty()) << "cannot make " << pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }

  // Absolute, without a trailing slash.
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes content to file(name), replacing it; false on failure.
  bool write(const std::string& name, const std::string& content) const {
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out << content << std::flush);
  }

 private:
  std::string path_;
};

// Makes dir the working directory while it lives.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& dir) { std::filesystem::current_path(dir); }
  ~WorkingDirectory() { std::filesystem::current_path(previous_); }

 private:
  const std::filesystem::path previous_ = std::filesystem::current_path();
};

}  // namespace testkit

#endif  // VELUMORA_TESTING_TEMP_DIR_H_
