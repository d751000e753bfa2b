#ifndef VELUMORA_APP_RENDER_OUTPUT_H_
#define VELUMORA_APP_RENDER_OUTPUT_H_

// Where a render's bytes go. A regular file, or a name that does not exist
// yet, is written under "<target>.partial-XXXXXX" beside it and renamed
// onto it only by finish(), keeping an existing file's mode (and owner
// where permitted); a new one gets 0666 & ~umask. A symbolic link is
// followed to what it names, and that is written, so the link stays a
// link. A FIFO, a character device or "-" (standard output) is written
// straight to. A directory, a block device or a socket is refused, and so
// is anything that is one of the protected files (the playlist and its
// samples), whatever name leads to it. Stale temporaries of the same target
// left by killed renders are removed at open; the one a live render holds
// (flock) is not. Write errors are reported, never dropped; a regular file
// is synced before the rename, its pages sent to the disk as they are
// written so that little is left to wait for then. Each object is used by
// one thread at a time; objects on other threads or in other processes may
// share a target.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Names one file whatever the path to it: (st_dev, st_ino).
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId& other) const {
    return device == other.device && inode == other.inode;
  }
};

class RenderOutput {
 public:
  RenderOutput() = default;
  RenderOutput(const RenderOutput&) = delete;
  RenderOutput& operator=(const RenderOutput&) = delete;
  // An output neither finished nor discarded is discarded.
  ~RenderOutput();

  // The file at path, following symbolic links; false with the reason when
  // it cannot be examined.
  static bool fileId(const std::string& path, FileId& id, std::string& error);

  // Prepares to write to target, as said above; false with the reason, and
  // nothing created, when it is refused or cannot be opened. Opening a FIFO
  // waits for its reader, until a signal arrives (base/signals.h): then it
  // fails with "interrupted". Call it once per object.
  bool open(const std::string& target, const std::vector<FileId>& protectedFiles,
            std::string& error);
  // Writes all of the bytes, or fails with the system's reason. Where a
  // write may block (anything but a regular file), a signal ends the wait,
  // and the write fails with "interrupted".
  bool write(const void* data, std::size_t bytes, std::string& error);
  // Makes what was written visible under the target: synced, given its
  // mode and renamed for a file, closed for the rest. A failure before the
  // rename leaves nothing behind, as discard() does; one in closing after
  // it is reported, though the file is in place.
  bool finish(std::string& error);
  // Drops what was written: a temporary file is removed, and the target is
  // left as it was. Calling it again, or after finish(), does nothing.
  void discard();

  // The temporary being written, or empty when writing straight through.
  const std::string& temporaryPath() const { return temporary_; }

 private:
  // Bytes of a file written between two requests to write them to disk.
  static constexpr uint64_t kWritebackBytes = uint64_t{8} << 20;

  int fd_ = -1;
  uint64_t written_ = 0;
  uint64_t startedWriting_ = 0;  // what has been asked to go to disk
  bool ownsFd_ = false;
  bool waits_ = false;       // writes may block: a FIFO, a pipe, a device
  std::string destination_;  // what the target resolves to
  std::string temporary_;
  bool existed_ = false;
  uid_t owner_ = 0;
  gid_t group_ = 0;
  mode_t mode_ = 0;
};

#endif  // VELUMORA_APP_RENDER_OUTPUT_H_
