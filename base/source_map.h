#ifndef VELUMORA_BASE_SOURCE_MAP_H_
#define VELUMORA_BASE_SOURCE_MAP_H_

// Where each byte of a cleaned playlist text came from in the file as
// written, so that a problem found in the cleaned text can be shown at its
// line and column. The reader stores the file's bytes and the origin of each
// byte it keeps; every cleaning step then keeps the origins of the bytes it
// keeps, in step with the text. Only the checker makes one: the player's
// reading and cleaning skip all of it. A byte order mark is not part of the
// first line. Filled and read on the main thread during start-up.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class SourceMap {
 public:
  struct Location {
    std::size_t line = 1;       // from 1
    std::size_t column = 1;     // from 1, in bytes
    std::string_view lineText;  // without its line end
  };

  // The file's bytes, from after a byte order mark; the origins start as
  // those of a text that is the whole source.
  void setSource(std::string source);
  // origins()[i]: the offset in the source of byte i of the text that is
  // being cleaned.
  std::vector<uint32_t>& origins() { return origins_; }
  // The cleaned text that origins() now describes, once cleaning is over.
  void attach(std::string_view cleaned) { cleaned_ = cleaned; }

  // Where a view into the attached text begins; an empty view at the end of
  // the text is just after the last byte kept.
  Location locate(std::string_view at) const;
  // Where a byte of the source is; an offset past the end is at the end.
  Location locateSource(std::size_t offset) const;

 private:
  std::string source_;
  std::vector<uint32_t> origins_;
  std::vector<std::size_t> lineStarts_;
  std::string_view cleaned_;
};

#endif  // VELUMORA_BASE_SOURCE_MAP_H_
