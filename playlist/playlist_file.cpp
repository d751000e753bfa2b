#include "playlist/playlist_file.h"

#include <sys/stat.h>

#include <cstdio>
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
  std::string result;
  result.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\0' || c == '\x1a') break;
    if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    result += c;
  }
  text = std::move(result);
  return true;
}

void eraseComments(std::string& text) {
  const bool beginsWithComment = text.compare(0, 2, "//") == 0;
  StringList pieces;
  divideAlternately(text, "//", "\n", pieces);
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = beginsWithComment ? 1 : 0; i < pieces.size(); i += 2) {
    eraseAll(pieces[i], "\n");
    result += pieces[i];
  }
  text = std::move(result);
}

void cleanPlaylistText(std::string& text) {
  eraseComments(text);
  eraseSpace(text);
  eraseAll(text, "\n");
}
