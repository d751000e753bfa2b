#!/usr/bin/env bash
# Long run: builds velumora in release mode, plays 16 endless songs of short
# generated tones and pauses on the dummy audio driver for a while, then
# types "q". Prints the resident memory after start-up and at the end, the
# number of sounds started, the time from "q" to exit, and every output line
# that a normal run does not print. Fails when memory grew by 1 MB or more,
# shutdown took a second or more, the exit status was not 0, or any
# unexpected line appeared.
#
#   tools/soak.sh [minutes]        default 10 (or $SOAK_MINUTES); 0.5 is fine
#
# Sounds are counted by preloading tools/play_counter.c, which wraps
# Mix_PlayChannelTimed (the only call that starts a sample) and writes the
# number of starts when the process exits; the program is run unchanged.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
minutes="${1:-${SOAK_MINUTES:-10}}"
build="${SOAK_BUILD_DIR:-$here/build-soak}"

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELUMORA_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target velumora >/dev/null

work="$(mktemp -d)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cc -O2 -shared -fPIC -o "$work/play_counter.so" "$here/tools/play_counter.c" -ldl

# Five tones of 0.1 s, 16-bit mono at 22050 Hz.
python3 - "$work" <<'PY'
import math, struct, sys, wave
for index, frequency in enumerate([330, 392, 440, 523, 659]):
    with wave.open(f"{sys.argv[1]}/tone{index}.wav", "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(22050)
        frames = int(22050 * 0.1)
        out.writeframes(b"".join(
            struct.pack("<h", int(12000 * math.sin(2 * math.pi * frequency * n / 22050)))
            for n in range(frames)))
PY

# 16 endless songs. Every pause is at least 0.3 s longer than a tone, so
# each song sounds at most one tone at a time and 16 songs never need more
# than the mixer's 16 channels, even when a loaded machine delays the mixing
# thread that frees a channel after its tone ends.
{
  for song in $(seq -w 1 16); do
    angle=$(((10#$song * 22) % 361))
    distance=$(((10#$song * 13) % 200))
    case $((10#$song % 4)) in
      0) main='("tone0.wav", 400, "tone1.wav", 400 to 900)' ;;
      1) main='(pick, gap)' ;;
      2) main='(("tone2.wav", 400) : ("tone3.wav", 500) : 700 = 3 : 2 : 1)' ;;
      3) main='(pick, gap, "tone4.wav", 400 to 600)' ;;
    esac
    echo "song$song = ("
    echo "  _main = $main;"
    echo "  pick = (\"tone0.wav\" : \"tone1.wav\" : \"tone2.wav\" = 3 : 2 : 1);"
    echo "  gap = 400 to 900;"
    echo "  _param = _infinite, $angle, $distance"
    echo ");"
  done
} >"$work/playlist.txt"

# Every output line gets the time it arrived (microseconds) in front.
stamp() { while IFS= read -r line; do printf '%s %s\n' "${EPOCHREALTIME/./}" "$line"; done; }
# The time of the first output line that matches, or nothing.
line_time() { grep -m1 -E "^[0-9]+ $1" "$work/output" | cut -d' ' -f1; }

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

mkfifo "$work/input"
(cd "$work" && SDL_AUDIODRIVER=dummy LD_PRELOAD="$work/play_counter.so" \
  PLAY_COUNT_FILE="$work/count" exec "$build/velumora" playlist.txt \
  <"$work/input" > >(stamp >"$work/output") 2>"$work/errors") &
pid=$!
exec 3>"$work/input"

for _ in $(seq 100); do
  grep -q " type 'q' and enter to exit$" "$work/output" && break
  sleep 0.1
done
grep -q " type 'q' and enter to exit$" "$work/output" || {
  echo "soak: velumora did not start" >&2
  cat "$work/output" "$work/errors" >&2
  exit 1
}
sleep 2
start_rss="$(rss_kb "$pid")"
peak_rss="$start_rss"
echo "soak: playing 16 songs for $minutes minute(s); resident memory after start-up ${start_rss} kB"

seconds="$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')"
end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ]; do
  sleep "$((end - SECONDS < 10 ? (end - SECONDS > 0 ? end - SECONDS : 0) : 10))"
  kill -0 "$pid" 2>/dev/null || { echo "soak: velumora ended on its own" >&2; exit 1; }
  rss="$(rss_kb "$pid")"
  [ "$rss" -gt "$peak_rss" ] && peak_rss="$rss"
done
end_rss="$(rss_kb "$pid")"

quit_start="${EPOCHREALTIME/./}"
echo q >&3
status=0
for _ in $(seq 1000); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.01
done
wait "$pid" || status=$?
quit_end="${EPOCHREALTIME/./}"
pid=""
exec 3>&-

for _ in $(seq 200); do
  grep -q ' velumora is terminated$' "$work/output" && break
  sleep 0.01
done
shutdown_ms=$(((quit_end - quit_start) / 1000))
since_q() { local t; t="$(line_time "$1")"; [ -n "$t" ] && echo "$(((t - quit_start) / 1000)) ms" || echo "never"; }
read -r started refused <"$work/count" || { started="?"; refused="?"; }
growth=$((end_rss - start_rss))

unexpected="$(cut -d' ' -f2- "$work/output" | grep -v -E \
  -e "^Velumora ver 1\.0\.1$" \
  -e "^initializing\.\.\.done$" \
  -e "^type 'q' and enter to exit$" \
  -e '^playing infinite time\(s\) of "song[0-9]{2}"$' \
  -e "^song[0-9]{2} done$" \
  -e "^terminating all threads\.\.\.$" \
  -e "^halting [0-9]+ channels\.\.\.done\.$" \
  -e "^cleaning memory\.\.\.done$" \
  -e "^audio closed$" \
  -e "^velumora is terminated$" || true)"
unexpected_errors="$(cat "$work/errors")"
playing_lines="$(grep -c ' playing infinite' "$work/output" || true)"
done_lines="$(grep -c ' song[0-9]* done$' "$work/output" || true)"

echo "soak: resident memory at start ${start_rss} kB, at end ${end_rss} kB, peak ${peak_rss} kB, growth ${growth} kB"
echo "soak: sounds started ${started}, refused ${refused}"
echo "soak: songs started ${playing_lines}, songs done ${done_lines}"
echo "soak: exit status ${status}, time from q to exit ${shutdown_ms} ms"
echo "soak: after q: players stopping $(since_q 'terminating all threads'), players joined and channels halted $(since_q 'halting'), songs freed $(since_q 'cleaning memory'), audio closed $(since_q 'audio closed'), SDL quit $(since_q 'velumora is terminated')"
if [ -n "$unexpected" ] || [ -n "$unexpected_errors" ]; then
  echo "soak: unexpected output:"
  [ -n "$unexpected" ] && printf '  stdout: %s\n' "$unexpected"
  [ -n "$unexpected_errors" ] && printf '  stderr: %s\n' "$unexpected_errors"
else
  echo "soak: unexpected lines: none"
fi

failed=0
[ "$growth" -lt 1024 ] || { echo "soak: FAIL memory grew by ${growth} kB" >&2; failed=1; }
[ "$shutdown_ms" -lt 1000 ] || { echo "soak: FAIL shutdown took ${shutdown_ms} ms" >&2; failed=1; }
[ "$status" -eq 0 ] || { echo "soak: FAIL exit status ${status}" >&2; failed=1; }
[ "$playing_lines" -eq 16 ] && [ "$done_lines" -eq 16 ] ||
  { echo "soak: FAIL expected 16 songs to start and end" >&2; failed=1; }
[ "$refused" = 0 ] || { echo "soak: FAIL the mixer refused sounds" >&2; failed=1; }
[ -z "$unexpected" ] && [ -z "$unexpected_errors" ] || failed=1
[ "$failed" -eq 0 ] && echo "soak: PASS"
exit "$failed"
