#ifndef VELUMORA_APP_RENDER_OUTPUT_H_
#define VELUMORA_APP_RENDER_OUTPUT_H_

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

struct FileId {
  dev_t device;
  ino_t inode;
};

class RenderOutput {
 public:
  ~RenderOutput() { discard(); }
  bool open(const std::string& target, const std::vector<FileId>& protectedFiles,
            std::string& error);
  bool write(const void* data, std::size_t bytes);
  bool finish(std::string& error);
  void discard();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  int errno_ = 0;
};

#endif  // VELUMORA_APP_RENDER_OUTPUT_H_
