#ifndef VELUMORA_TESTING_TEMP_DIR_H_
#define VELUMORA_TESTING_TEMP_DIR_H_

// A fresh directory under $TMPDIR (or /tmp) for one test, removed with all
// its contents when the object goes away, so that tests can run in parallel.

#include <string>

namespace testkit {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  // Absolute path without a trailing slash; empty when creation failed.
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string file(const std::string& name) const;
  // Writes content to file(name), replacing it; false on failure.
  bool write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// Makes dir the working directory while it lives.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& dir);
  ~WorkingDirectory();

 private:
  std::string previous_;
};

}  // namespace testkit

#endif  // VELUMORA_TESTING_TEMP_DIR_H_
