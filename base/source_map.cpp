#include "base/source_map.h"

#include <algorithm>
#include <numeric>

void SourceMap::setSource(std::string source) {
  source_ = std::move(source);
  origins_.resize(source_.size());
  std::iota(origins_.begin(), origins_.end(), uint32_t{0});
  lineStarts_.assign(1, 0);
  for (std::size_t i = 0; i < source_.size(); ++i) {
    if (source_[i] == '\n') lineStarts_.push_back(i + 1);
  }
}

SourceMap::Location SourceMap::locate(std::string_view at) const {
  const auto begin = reinterpret_cast<uintptr_t>(cleaned_.data());
  const auto where = reinterpret_cast<uintptr_t>(at.data());
  const std::size_t offset = where >= begin && where - begin <= cleaned_.size() ? where - begin : 0;
  if (offset < origins_.size()) return locateSource(origins_[offset]);
  return locateSource(origins_.empty() ? 0 : origins_.back() + std::size_t{1});
}

SourceMap::Location SourceMap::locateSource(std::size_t offset) const {
  if (lineStarts_.empty()) return Location{};
  offset = std::min(offset, source_.size());
  const std::size_t line =
      static_cast<std::size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                               lineStarts_.begin()) -
      1;
  const std::size_t start = lineStarts_[line];
  std::size_t end = line + 1 < lineStarts_.size() ? lineStarts_[line + 1] - 1 : source_.size();
  if (end > start && source_[end - 1] == '\r') --end;
  return Location{line + 1, offset - start + 1,
                  std::string_view(source_).substr(start, end - start)};
}
