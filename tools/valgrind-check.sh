#!/usr/bin/env bash
# Runs velumora under valgrind's memcheck on a playlist of three songs of
# tones and pauses, on the dummy audio driver, types "q" after a few
# seconds, and fails on any definite leak or invalid memory access, or when
# the program did not play and end cleanly. Only what lies inside the
# libraries that SDL loads is suppressed (tools/valgrind.supp).
#
#   tools/valgrind-check.sh [path/to/velumora] [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
binary="$(realpath "${1:-$here/build/velumora}")"
seconds="${2:-6}"
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

le32() {  # the four little-endian bytes of a number, as printf escapes
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
    $((($1 >> 16) & 255)) $((($1 >> 24) & 255))
}

# A mono 16-bit square wave at 22050 Hz: `periods` periods of `half` frames
# high then `half` frames low.
write_square() {  # file half periods
  local high='\x40\x1f' low='\xc0\xe0' period="" i
  for ((i = 0; i < $2; i++)); do period="$high$period$low"; done
  local bytes=$(($2 * 4 * $3))
  {
    printf "RIFF$(le32 $((36 + bytes)))WAVEfmt $(le32 16)\\x01\\x00\\x01\\x00"
    printf "$(le32 22050)$(le32 44100)\\x02\\x00\\x10\\x00data$(le32 "$bytes")"
    for ((i = 0; i < $3; i++)); do printf "$period"; done
  } >"$1"
}
write_square "$work/low.wav" 50 40
write_square "$work/high.wav" 20 100

cat >"$work/playlist.txt" <<'PLAYLIST'
// Three songs of tones and pauses, from three directions.
left = (
  _main = (tone, 150 to 400);
  tone = ("low.wav" : "high.wav" = 2 : 1);
  _param = _infinite, 270, 40
);
right = (
  _main = ("high.wav", 300, "low.wav", gap);
  gap = 100 to 250;
  _param = _infinite, 90, 80
);
ahead = (
  _main = (("low.wav", 200) : 350 = 1 : 1);
  x = 1;
  _param = 20, 0, 0
);
PLAYLIST

status=0
(sleep "$seconds"; echo q) |
  (cd "$work" && SDL_AUDIODRIVER=dummy valgrind --tool=memcheck --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite --error-exitcode=99 \
    --suppressions="$here/tools/valgrind.supp" --log-file="$work/valgrind.log" \
    "$binary" playlist.txt >"$work/output" 2>&1) || status=$?

fail() {
  echo "valgrind-check: $1" >&2
  echo "--- program output" >&2
  cat "$work/output" >&2
  echo "--- valgrind log" >&2
  cat "$work/valgrind.log" >&2
  exit 1
}
[ "$status" -ne 99 ] || fail "memcheck found errors"
[ "$status" -eq 0 ] || fail "exit status $status"
for song in left right ahead; do
  grep -q "of \"$song\"" "$work/output" || fail "song $song did not start"
done
grep -q '^velumora is terminated$' "$work/output" || fail "no clean shutdown"
grep -q 'ERROR SUMMARY: 0 errors' "$work/valgrind.log" || fail "memcheck reported errors"
grep -E 'definitely lost|ERROR SUMMARY' "$work/valgrind.log" | sed 's/^==[0-9]*== */valgrind-check: /'
echo "valgrind-check: passed"
