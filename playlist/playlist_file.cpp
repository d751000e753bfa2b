#include "playlist/playlist_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "playlist/console_output.h"
#include "playlist/text_division.h"

namespace {

bool readRaw(const std::string& path, std::string& raw) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  struct stat info;
  if (fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  if (S_ISREG(info.st_mode)) raw.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[1 << 16];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) raw.append(buffer, got);
  return !std::ferror(file.get());
}

}  // namespace

bool readWholeFile(const std::string& path, std::string& text) {
  std::string raw;
  if (!readRaw(path, raw)) {
    printLine("Unable to Open file \"" + path + "\"");
    return false;
  }
  // The text ends at the first NUL or Ctrl-Z; CR LF reads as LF.
  std::size_t end = raw.size();
  for (const char stop : {'\0', '\x1a'}) {
    const void* found = std::memchr(raw.data(), stop, end);
    if (found != nullptr)
      end = static_cast<std::size_t>(static_cast<const char*>(found) - raw.data());
  }
  raw.resize(end);
  std::size_t out = raw.find('\r');
  if (out != std::string::npos) {
    for (std::size_t in = out; in < end; ++in) {
      if (raw[in] == '\r' && in + 1 < end && raw[in + 1] == '\n') continue;
      raw[out++] = raw[in];
    }
    raw.resize(out);
  }
  text = std::move(raw);
  return true;
}

void eraseComments(std::string& text) {
  // Keeps what stands outside comments, in one pass: the text up to each
  // "//", then from the line feed that ends that comment on. Every line feed
  // kept goes too.
  std::string result;
  result.reserve(text.size());
  const auto keep = [&](std::size_t from, std::size_t to) {
    while (from < to) {
      const void* found = std::memchr(text.data() + from, '\n', to - from);
      const std::size_t lineEnd =
          found == nullptr
              ? to
              : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
      result.append(text, from, lineEnd - from);
      from = lineEnd + 1;
    }
  };
  std::size_t from = 0;
  for (;;) {
    const std::size_t comment = text.find("//", from);
    if (comment == std::string::npos) {
      keep(from, text.size());
      break;
    }
    keep(from, comment);
    const std::size_t lineEnd = text.find('\n', comment + 2);
    if (lineEnd == std::string::npos) break;
    from = lineEnd + 1;
  }
  text = std::move(result);
}

void cleanPlaylistText(std::string& text) {
  eraseComments(text);
  eraseSpace(text);
  eraseAll(text, "\n");
}
