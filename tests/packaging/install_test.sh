#!/usr/bin/env bash
# cmake --install into a temporary prefix; the tree's files, its metadata
# checked by the desktop's own validators, and its programs run from there;
# then the whole window test on the installed program, which has to find its
# plug-ins (the properties dialog, the upgrade engine) from the new prefix.
#   install_test.sh <build dir> <private library dir> [plain|sanitized]
set -u
build=$1 private=$2 kind=${3:-plain}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/vorq-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
. "$here/check_tree.sh"

prefix=$work/prefix
check "cmake --install into a new prefix" cmake --install "$build" --prefix "$prefix"
check_tree "$prefix" "$private" "$work"

app=com.teldora.VisionDesk
check "desktop-file-validate passes" desktop-file-validate "$prefix/share/applications/$app.desktop"
check "appstreamcli validate passes" appstreamcli validate --no-net --strict "$prefix/share/metainfo/$app.metainfo.xml"
for page in "$prefix"/share/man/man1/*.1; do
  check "$(basename "$page") reads cleanly" test -z "$(cd "$prefix/share/man" &&
    LC_ALL=C.UTF-8 groff -man -ww -z -K utf8 "$page" 2>&1)"
done

check "the window test passes on the installed program" \
  "$here/../e2e/run-program-test" "$prefix/bin/TELDORA_Vision_Desk_V1.0.0.5" "$build/tests/packaging/e2e-output" "$kind"

# Without its media engine the program still starts and runs, and says why
# it cannot preview.
mv "$prefix/$private/libvorq_mediaengine.so" "$work/"
(cd "$work" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 timeout 8 \
   env -u LD_LIBRARY_PATH HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" VORQ_SIM="$work/sim" \
   "$prefix/bin/teldora-vision-desk") >"$work/no-engine.log" 2>&1
rc=$?
check "without the media engine the program runs (status $rc)" test "$rc" = 124
check "without the media engine the program says so" \
  grep -q 'media engine not loaded: .*libvorq_mediaengine.so' "$work/no-engine.log"
check "without the media engine the window tells why there is no preview" \
  env VORQ_E2E_STEPS=sole_camera_is_opened,preview_without_engine_says_why \
  "$here/../e2e/run-program-test" "$prefix/bin/TELDORA_Vision_Desk_V1.0.0.5" "$build/tests/packaging/e2e-no-engine" "$kind"
mv "$work/libvorq_mediaengine.so" "$prefix/$private/"

echo "$failures failed"
[ "$failures" = 0 ]
