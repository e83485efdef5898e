#!/usr/bin/env bash
# cpack -G DEB from the build; the package's dependencies (from
# dpkg-shlibdeps), then its programs run from the unpacked tree.
#   deb_test.sh <build dir> <private library dir>
set -u
build=$1 private=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/vorq-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
. "$here/check_tree.sh"

if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL cpack -G DEB"
  exit 1
fi
deb=$(ls "$work"/out/teldora-vision-desk_*.deb 2>/dev/null | head -n 1)
check "cpack made teldora-vision-desk_<version>_<arch>.deb" test -n "$deb"
[ -n "$deb" ] || exit 1

depends=$(dpkg-deb -f "$deb" Depends)
echo "     Depends: $depends"
for dep in libc6 libqt5widgets5 libavformat59 libpulse0 qt5-image-formats-plugins; do
  check "depends on $dep" grep -q "\b$dep\b" <<<"$depends"
done
check "no dependency on a library of its own" test -z "$(grep -o 'vorq[^,]*\|camfw[^,]*' <<<"$depends")"

check "dpkg-deb -x unpacks it" dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root/usr" "$private" "$work"

echo "$failures failed"
[ "$failures" = 0 ]
