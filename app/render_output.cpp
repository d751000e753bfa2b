#include "app/render_output.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/signals.h"

namespace {

constexpr const char kPartial[] = ".partial-";
constexpr std::size_t kRandomLetters = 6;  // the XXXXXX of mkstemp
constexpr int kMaxLinks = 40;              // as the kernel's own limit

std::string systemError() { return std::strerror(errno); }

const char kInterrupted[] = "interrupted";

// Opens a FIFO for writing once it has a reader. A plain open() would wait
// for one where no signal can end the wait (the handlers restart it), so
// this tries without waiting and looks for a signal in between.
int openFifo(const std::string& path, std::string& error) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
      // Writes wait in poll(), which a blocking descriptor suits as well.
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO) {
      error = systemError();
      return -1;
    }
    if (signalArrived(20)) {
      error = kInterrupted;
      return -1;
    }
  }
}

void split(const std::string& path, std::string& directory, std::string& name) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    directory = ".";
    name = path;
  } else {
    directory = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

// Follows symbolic links at the last component only, so that a link that
// names a file not made yet leads to that name (realpath would fail).
// Links among the directories need no care: the temporary and the rename
// go through them to the same directory.
bool followLinks(const std::string& target, std::string& resolved, std::string& error) {
  std::string path = target;
  for (int hops = 0;; ++hops) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT) {
        error = systemError();
        return false;
      }
      break;
    }
    if (!S_ISLNK(info.st_mode)) break;
    if (hops == kMaxLinks) {
      error = std::strerror(ELOOP);
      return false;
    }
    std::vector<char> link(static_cast<std::size_t>(std::max<off_t>(info.st_size, 255)) + 2);
    const ssize_t length = readlink(path.c_str(), link.data(), link.size());
    if (length < 0 || static_cast<std::size_t>(length) >= link.size()) {
      error = length < 0 ? systemError() : "the link changed while it was read";
      return false;
    }
    const std::string to(link.data(), static_cast<std::size_t>(length));
    std::string directory, name;
    split(path, directory, name);
    path = to[0] == '/' ? to : directory + "/" + to;
  }
  resolved = path;
  return true;
}

bool isProtected(const struct stat& info, const std::vector<FileId>& protectedFiles) {
  const FileId id{info.st_dev, info.st_ino};
  return std::find(protectedFiles.begin(), protectedFiles.end(), id) != protectedFiles.end();
}

const char kProtectedError[] = "it is the playlist or one of its samples";

// Read from /proc: umask() can only be read by setting it, which would
// change it for a moment for every other thread.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "Umask:") == 0)
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

// Removes "<name>.partial-XXXXXX" files in directory that no live render
// holds: a render keeps its temporary flock()ed until it is renamed, so one
// that can be locked here was left by a render that was killed. Best effort:
// an unreadable directory leaves them.
void removeStaleTemporaries(const std::string& directory, const std::string& name) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return;
  const std::string prefix = name + kPartial;
  while (const dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (candidate.size() != prefix.size() + kRandomLetters ||
        candidate.compare(0, prefix.size(), prefix) != 0 ||
        !std::all_of(candidate.begin() + static_cast<long>(prefix.size()), candidate.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
      continue;
    }
    const int fd = openat(dirfd(dir), candidate.c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
      unlinkat(dirfd(dir), candidate.c_str(), 0);
    }
    close(fd);
  }
  closedir(dir);
}

}  // namespace

RenderOutput::~RenderOutput() { discard(); }

bool RenderOutput::fileId(const std::string& path, FileId& id, std::string& error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    error = systemError();
    return false;
  }
  id = FileId{info.st_dev, info.st_ino};
  return true;
}

bool RenderOutput::open(const std::string& target, const std::vector<FileId>& protectedFiles,
                        std::string& error) {
  if (fd_ >= 0) {
    error = "already open";
    return false;
  }
  if (target == "-") {
    struct stat info;
    if (fstat(STDOUT_FILENO, &info) != 0) {
      error = systemError();
      return false;
    }
    if (isProtected(info, protectedFiles)) {
      error = kProtectedError;
      return false;
    }
    fd_ = STDOUT_FILENO;
    ownsFd_ = false;
    waits_ = !S_ISREG(info.st_mode);
    return true;
  }

  // A symbolic link is followed rather than replaced or refused: a link is
  // how a fixed name is pointed at a changing place, and replacing it with
  // a regular file would quietly cut it, while refusing would make such a
  // name unusable. The file it leads to gets the rules of its own kind.
  std::string destination;
  if (!followLinks(target, destination, error)) return false;
  struct stat info;
  const bool exists = stat(destination.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) {
    error = systemError();
    return false;
  }
  if (exists) {
    if (S_ISDIR(info.st_mode)) {
      error = std::strerror(EISDIR);
      return false;
    }
    if (S_ISBLK(info.st_mode) || S_ISSOCK(info.st_mode)) {
      error = S_ISBLK(info.st_mode) ? "it is a block device, which is never written to"
                                    : "it is a socket, which cannot be opened";
      return false;
    }
    if (isProtected(info, protectedFiles)) {
      error = kProtectedError;
      return false;
    }
  }

  if (exists && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) {
    // Straight through: no temporary, no rename. Checked again on what was
    // opened, in case the name changed meanwhile.
    const int fd = S_ISFIFO(info.st_mode)
                       ? openFifo(destination, error)
                       : ::open(destination.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && S_ISFIFO(info.st_mode)) return false;
    struct stat opened;
    if (fd < 0 || fstat(fd, &opened) != 0) {
      error = systemError();
      if (fd >= 0) close(fd);
      return false;
    }
    if (!(S_ISFIFO(opened.st_mode) || S_ISCHR(opened.st_mode)) ||
        isProtected(opened, protectedFiles)) {
      error = isProtected(opened, protectedFiles) ? kProtectedError : "the file changed kind";
      close(fd);
      return false;
    }
    fd_ = fd;
    ownsFd_ = true;
    waits_ = true;
    return true;
  }

  std::string directory, name;
  split(destination, directory, name);
  removeStaleTemporaries(directory, name);
  // A render that cleans up at the same moment may take a temporary that is
  // made but not yet locked for a stale one; then another is made.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string pattern = destination + kPartial + std::string(kRandomLetters, 'X');
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
      error = systemError();
      return false;
    }
    struct stat made, named;
    if (flock(fd, LOCK_EX) != 0 || fstat(fd, &made) != 0) {
      error = systemError();
      unlink(path.data());
      close(fd);
      return false;
    }
    if (stat(path.data(), &named) != 0 || named.st_dev != made.st_dev ||
        named.st_ino != made.st_ino) {
      close(fd);
      continue;
    }
    fd_ = fd;
    ownsFd_ = true;
    temporary_ = path.data();
    destination_ = destination;
    existed_ = exists;
    if (exists) {
      owner_ = info.st_uid;
      group_ = info.st_gid;
      mode_ = info.st_mode & 07777;
    } else {
      mode_ = 0666 & ~currentUmask();
    }
    return true;
  }
  error = "cannot keep a temporary file beside it";
  return false;
}

bool RenderOutput::write(const void* data, std::size_t bytes, std::string& error) {
  if (fd_ < 0) {
    error = std::strerror(EBADF);
    return false;
  }
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    std::size_t chunk = bytes;
    if (waits_) {
      // A reader that stalls must not hold the render past a signal: the
      // write waits here, beside the signals, for room.
      const Readiness ready = waitReady(fd_, POLLOUT);
      if (ready != Readiness::kReady) {
        error = ready == Readiness::kSignal ? kInterrupted : systemError();
        return false;
      }
      // Room for PIPE_BUF bytes is all that poll() promises of a pipe.
      chunk = std::min<std::size_t>(bytes, PIPE_BUF);
    }
    const ssize_t n = ::write(fd_, at, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = systemError();
      return false;
    }
    at += n;
    bytes -= static_cast<std::size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  // A file is synced before it is renamed into place. Its pages go to the
  // disk as they are written, beside the mixing, so that the sync at the
  // end has little left to wait for; best effort, since that sync tells.
  if (!temporary_.empty() && written_ - startedWriting_ >= kWritebackBytes) {
    sync_file_range(fd_, static_cast<off_t>(startedWriting_),
                    static_cast<off_t>(written_ - startedWriting_), SYNC_FILE_RANGE_WRITE);
    startedWriting_ = written_;
  }
  return true;
}

bool RenderOutput::finish(std::string& error) {
  if (fd_ < 0) {
    error = std::strerror(EBADF);
    return false;
  }
  if (temporary_.empty()) {
    const bool closed = !ownsFd_ || close(fd_) == 0;
    if (!closed) error = systemError();
    fd_ = -1;
    return closed;
  }
  // The owner first: a change of owner clears the set-user-ID bits that
  // the mode then restores. Without the right to give the file away, the
  // group alone may still be kept, and failing both only loses ownership.
  if (existed_ && fchown(fd_, owner_, group_) != 0) fchown(fd_, static_cast<uid_t>(-1), group_);
  // Renamed while still locked, so that no render starting now takes the
  // temporary for a stale one.
  if (fchmod(fd_, mode_) != 0 || fsync(fd_) != 0 ||
      rename(temporary_.c_str(), destination_.c_str()) != 0) {
    error = systemError();
    discard();
    return false;
  }
  temporary_.clear();
  const bool closed = close(fd_) == 0;
  if (!closed) error = systemError();  // reported, though the file is in place
  fd_ = -1;
  // The rename itself reaches the disk with its directory; best effort.
  std::string directory, name;
  split(destination_, directory, name);
  const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return closed;
}

void RenderOutput::discard() {
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
  if (fd_ >= 0 && ownsFd_) close(fd_);
  fd_ = -1;
}
