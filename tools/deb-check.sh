#!/usr/bin/env bash
# Builds the Debian package with dpkg-buildpackage in a temporary copy of the
# tree (the checkout stays clean), unpacks it into a temporary root with
# dpkg -x and checks what it installs: the three programs, which run from
# there and give the changelog's version, their manual pages, and the demo,
# which velumora-check finds complete. Needs build-essential, dpkg-dev and
# debhelper.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "deb-check: $*" >&2
  exit 1
}

tree="$work/velumora"
mkdir "$tree"
# The sources as they are, without build directories or earlier packaging.
tar -C "$src" --exclude=./.git --exclude='./build*' --exclude='./obj-*' --exclude=./out \
  --exclude=./debian/velumora --exclude=./debian/.debhelper --exclude=./debian/tmp \
  --exclude=./debian/files --exclude='./debian/*.substvars' \
  --exclude=./debian/debhelper-build-stamp -cf - . | tar -C "$tree" -xf -

log="$work/build.log"
# Unoptimised and without debugging information: what is checked here is
# the packaging, not the code, and so it builds in under half the time.
if ! (cd "$tree" && DEB_BUILD_OPTIONS="parallel=$(nproc) noddebs noopt nocheck ${DEB_BUILD_OPTIONS:-}" \
  DEB_CXXFLAGS_MAINT_APPEND="-g0 ${DEB_CXXFLAGS_MAINT_APPEND:-}" dpkg-buildpackage -us -uc -b) \
  >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  fail "dpkg-buildpackage failed"
fi
version="$(cd "$tree" && dpkg-parsechangelog -S Version)"
deb="$(ls "$work"/velumora_"$version"_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libsdl1.2debian libsdl-mixer1.2 liblo7 libsystemd0; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

root="$work/root"
dpkg -x "$deb" "$root"
for program in velumora velumora-check velumora-render; do
  [ -x "$root/usr/bin/$program" ] || fail "no /usr/bin/$program"
  [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "no manual page $program.1"
  out="$("$root/usr/bin/$program" --version)" || fail "$program --version failed"
  [ "$out" = "$program ${version%%-*}" ] || fail "$program --version says '$out', not $version"
done
demo="$root/usr/share/velumora/demo"
[ -f "$demo/playlist.txt" ] || fail "no demo playlist"
(cd "$demo" && "$root/usr/bin/velumora-check" playlist.txt >"$work/check.log" 2>&1) || {
  cat "$work/check.log" >&2
  fail "the installed demo would not play"
}
echo "deb-check: $(basename "$deb") installs and runs"
