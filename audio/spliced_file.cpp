#include "audio/spliced_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

void SplicedFile::addFile(uint64_t offset, uint64_t length) {
  add(Piece{0, length, Kind::kFile, offset, 0, {}});
}

void SplicedFile::addFill(uint8_t value, uint64_t length) {
  add(Piece{0, length, Kind::kFill, 0, value, {}});
}

void SplicedFile::addBytes(std::string bytes) {
  const uint64_t length = bytes.size();
  add(Piece{0, length, Kind::kBytes, 0, 0, std::move(bytes)});
}

void SplicedFile::add(Piece piece) {
  if (piece.length == 0) return;
  piece.at = length_;
  length_ += piece.length;
  pieces_.push_back(std::move(piece));
}

int64_t SplicedFile::read(void* to, int64_t count) {
  auto* out = static_cast<char*>(to);
  int64_t done = 0;
  // The piece that holds the position: the last that begins at or before it.
  auto piece = std::upper_bound(pieces_.begin(), pieces_.end(), position_,
                                [](uint64_t at, const Piece& p) { return at < p.at; });
  if (piece != pieces_.begin()) --piece;
  while (done < count && position_ < length_ && piece != pieces_.end()) {
    const uint64_t into = position_ - piece->at;
    const auto wanted =
        static_cast<std::size_t>(std::min<uint64_t>(piece->length - into, uint64_t(count - done)));
    std::size_t got = wanted;
    switch (piece->kind) {
      case Kind::kFile: {
        const ssize_t n = pread(fd_, out + done, wanted, static_cast<off_t>(piece->offset + into));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return done;  // shrunk or failing: it ends here
        got = static_cast<std::size_t>(n);
        break;
      }
      case Kind::kFill:
        std::memset(out + done, piece->fill, wanted);
        break;
      case Kind::kBytes:
        std::memcpy(out + done, piece->bytes.data() + into, wanted);
        break;
    }
    done += static_cast<int64_t>(got);
    position_ += got;
    if (position_ == piece->at + piece->length) ++piece;
  }
  return done;
}

int64_t SplicedFile::seek(int64_t offset, int whence) {
  const int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<int64_t>(position_)
                                            : static_cast<int64_t>(length_);
  if (offset < -base) return -1;
  position_ = static_cast<uint64_t>(base + offset);
  return static_cast<int64_t>(position_);
}

SNDFILE* SplicedFile::open(SF_INFO& info) {
  SF_VIRTUAL_IO io{};
  io.get_filelen = [](void* self) {
    return static_cast<sf_count_t>(static_cast<SplicedFile*>(self)->length_);
  };
  io.seek = [](sf_count_t offset, int whence, void* self) -> sf_count_t {
    return static_cast<SplicedFile*>(self)->seek(offset, whence);
  };
  io.read = [](void* to, sf_count_t count, void* self) -> sf_count_t {
    return count <= 0 ? 0 : static_cast<SplicedFile*>(self)->read(to, count);
  };
  io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
  io.tell = [](void* self) {
    return static_cast<sf_count_t>(static_cast<SplicedFile*>(self)->position_);
  };
  position_ = 0;
  return sf_open_virtual(&io, SFM_READ, &info, this);
}
