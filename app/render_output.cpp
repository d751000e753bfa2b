#include "app/render_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool RenderOutput::open(const std::string& target, const std::vector<FileId>&,
                        std::string& error) {
  target_ = target;
  temporary_ = target + ".partial";
  fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    error = std::strerror(errno);
    temporary_.clear();
    return false;
  }
  return true;
}

bool RenderOutput::write(const void* data, std::size_t bytes) {
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t done = ::write(fd_, at, bytes);
    if (done < 0) {
      if (errno == EINTR) continue;
      errno_ = errno;
      return false;
    }
    at += done;
    bytes -= static_cast<std::size_t>(done);
  }
  return true;
}

bool RenderOutput::finish(std::string& error) {
  if (errno_ != 0 || close(fd_) != 0 || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error = std::strerror(errno_ != 0 ? errno_ : errno);
    fd_ = -1;
    return false;
  }
  fd_ = -1;
  temporary_.clear();
  return true;
}

void RenderOutput::discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}
