#ifndef VELUMORA_AUDIO_SPLICED_FILE_H_
#define VELUMORA_AUDIO_SPLICED_FILE_H_

// A file as libsndfile reads it through its virtual I/O: pieces of a real
// file, runs of one byte value and bytes made in memory, one after the
// other. Usually it is the real file whole, as long as it was when opened
// (a file that grows meanwhile is read no further); for the files that
// libsndfile reads only when put straight (audio/sample_repair.h) it is the
// same sound laid out as libsndfile expects it. Reads go to the descriptor
// with pread(), which the caller keeps open while the SplicedFile is used.
//
// Threads: one SplicedFile is used by one thread at a time.

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

class SplicedFile {
 public:
  explicit SplicedFile(int fd) : fd_(fd) {}

  void addFile(uint64_t offset, uint64_t length);
  void addFill(uint8_t value, uint64_t length);
  void addBytes(std::string bytes);
  uint64_t length() const { return length_; }
  std::size_t pieces() const { return pieces_.size(); }

  // Opens it for reading with libsndfile, or null.
  SNDFILE* open(SF_INFO& info);

 private:
  enum class Kind { kFile, kFill, kBytes };
  struct Piece {
    uint64_t at;  // where it begins in the spliced file
    uint64_t length;
    Kind kind;
    uint64_t offset;  // kFile: in the real file
    uint8_t fill;
    std::string bytes;
  };

  void add(Piece piece);
  int64_t read(void* to, int64_t count);
  int64_t seek(int64_t offset, int whence);

  const int fd_;
  std::vector<Piece> pieces_;
  uint64_t length_ = 0;
  uint64_t position_ = 0;
};

#endif  // VELUMORA_AUDIO_SPLICED_FILE_H_
