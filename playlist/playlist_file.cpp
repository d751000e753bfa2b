#include "playlist/playlist_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/problem_reporter.h"
#include "base/signals.h"
#include "base/source_map.h"
#include "base/text_division.h"

namespace {

enum class Read { kDone, kFailed, kTooLarge, kInterrupted };

// Reads up to the first NUL or Ctrl-Z, the end of the file, or one byte more
// than the limit. Never blocks where a signal could not end the wait.
// why: what failed, for a person.
Read readRaw(int fd, std::string& raw, std::string& why) {
  struct stat info;
  if (fstat(fd, &info) != 0) {
    why = std::strerror(errno);
    return Read::kFailed;
  }
  if (S_ISDIR(info.st_mode)) {
    why = "it is a directory";
    return Read::kFailed;
  }
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    raw.reserve(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), kMostPlaylistBytes));
  }
  // A FIFO or pipe is waited for, together with the signals; a FIFO that no
  // writer has opened yet reads as empty but does not poll as readable.
  const bool waits = !S_ISREG(info.st_mode);
  char buffer[1 << 16];
  for (;;) {
    if (waits) {
      const Readiness ready = waitReady(fd, POLLIN);
      if (ready == Readiness::kFailed) {
        why = std::strerror(errno);
        return Read::kFailed;
      }
      if (ready == Readiness::kSignal) return Read::kInterrupted;
    }
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EAGAIN) continue;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      why = std::strerror(errno);
      return Read::kFailed;
    }
    if (got == 0) return Read::kDone;
    const std::size_t size = static_cast<std::size_t>(got);
    std::size_t end = size;
    for (const char stop : {'\0', '\x1a'}) {
      const void* at = std::memchr(buffer, stop, end);
      if (at != nullptr) end = static_cast<std::size_t>(static_cast<const char*>(at) - buffer);
    }
    if (raw.size() + end > kMostPlaylistBytes) return Read::kTooLarge;
    raw.append(buffer, end);
    if (end < size) return Read::kDone;
  }
}

}  // namespace

bool readWholeFile(const std::string& path, std::string& text, ProblemReporter& reporter,
                   SourceMap* map) {
  // Non-blocking, so that a FIFO without a writer cannot hold the open.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::string raw;
  std::string why = fd < 0 ? std::strerror(errno) : "";
  const Read read = fd < 0 ? Read::kFailed : readRaw(fd, raw, why);
  if (fd >= 0) close(fd);
  const std::string line = "Unable to Open file \"" + path + "\"";
  switch (read) {
    case Read::kDone:
      break;
    case Read::kFailed:
      reporter.report({ProblemReporter::Kind::kError, {}, "cannot read the playlist: " + why, ""},
                      {line});
      return false;
    case Read::kTooLarge: {
      const std::string limit = "larger than " + std::to_string(kMostPlaylistBytes >> 20) + " MB";
      reporter.report({ProblemReporter::Kind::kError, {}, "the playlist is " + limit, ""},
                      {line + " : " + limit});
      return false;
    }
    case Read::kInterrupted:
      reporter.report(
          {ProblemReporter::Kind::kError, {}, "reading the playlist was interrupted", ""},
          {line + " : interrupted"});
      return false;
  }
  if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
  if (map != nullptr) map->setSource(raw);
  // CR LF reads as LF.
  std::size_t out = raw.find('\r');
  if (out != std::string::npos) {
    for (std::size_t in = out; in < raw.size(); ++in) {
      if (raw[in] == '\r' && in + 1 < raw.size() && raw[in + 1] == '\n') continue;
      if (map != nullptr) map->origins()[out] = static_cast<uint32_t>(in);
      raw[out++] = raw[in];
    }
    raw.resize(out);
    if (map != nullptr) map->origins().resize(out);
  }
  text = std::move(raw);
  return true;
}

void eraseComments(std::string& text, std::vector<uint32_t>* origins) {
  // Keeps what stands outside comments, in one pass: the text up to each
  // "//", then from the line feed that ends that comment on. Every line feed
  // kept goes too.
  std::string result;
  result.reserve(text.size());
  std::vector<uint32_t> kept;
  if (origins != nullptr) kept.reserve(text.size());
  std::size_t from = 0;
  for (;;) {
    const std::size_t comment = text.find("//", from);
    const std::size_t to = comment == std::string::npos ? text.size() : comment;
    for (std::size_t i = from; i < to; ++i) {
      if (text[i] == '\n') continue;
      result += text[i];
      if (origins != nullptr) kept.push_back((*origins)[i]);
    }
    if (comment == std::string::npos) break;
    const std::size_t lineEnd = text.find('\n', comment + 2);
    if (lineEnd == std::string::npos) break;
    from = lineEnd + 1;
  }
  text = std::move(result);
  if (origins != nullptr) *origins = std::move(kept);
}

void cleanPlaylistText(std::string& text, std::vector<uint32_t>* origins) {
  eraseComments(text, origins);
  eraseSpace(text, origins);
  eraseAll(text, '\n', origins);
}
