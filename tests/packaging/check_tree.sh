#!/usr/bin/env bash
# Checks an installed tree and runs its programs from there with a fresh
# simulated camera. Sourced by the install and package tests:
#   check_tree <root of the tree, e.g. $prefix or $unpacked/usr> <private library dir under it> <work dir>
# Counts into $failures through check().

check() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

check_tree() {
  local root=$1 private=$1/$2 privdir=$2 work=$3
  local app=com.teldora.VisionDesk

  local f
  for f in bin/TELDORA_Vision_Desk_V1.0.0.5 bin/teldora-vision-desk bin/vorq-camctl bin/camfw_flash; do
    check "$f is a program" test -x "$root/$f"
  done
  for f in libvorq_platform.so libvorq_medialib.so libvorq_mediaengine.so libcamfw_flash.so libCamPropSheet.so; do
    check "$f in the private library folder" test -f "$private/$f"
  done
  for f in applications/$app.desktop metainfo/$app.metainfo.xml icons/hicolor/scalable/apps/$app.svg \
           icons/hicolor/48x48/apps/$app.png icons/hicolor/256x256/apps/$app.png \
           man/man1/teldora-vision-desk.1 man/man1/TELDORA_Vision_Desk_V1.0.0.5.1 man/man1/vorq-camctl.1 \
           man/man1/camfw_flash.1; do
    check "share/$f" test -s "$root/share/$f"
  done

  # Nothing may lean on the build tree or on LD_LIBRARY_PATH.
  local elf missing=''
  for elf in "$root"/bin/* "$private"/*.so; do
    [ -L "$elf" ] && continue
    # Every run path entry is relative to the file itself.
    if readelf -d "$elf" | sed -n 's/.*R[UN]*PATH.*\[\(.*\)\]/\1/p' | tr ':' '\n' | grep -v '^$' | grep -vq '^\$ORIGIN'; then
      missing+=" $elf(run path)"
    fi
    if env -u LD_LIBRARY_PATH ldd "$elf" | grep -q 'not found'; then missing+=" $elf"; fi
  done
  check "every library is found from the tree itself" test -z "$missing"
  [ -n "$missing" ] && echo "     unresolved:$missing"

  local home=$work/home sim=$work/sim
  mkdir -p "$home" "$sim"
  local -a env_run=(env -u LD_LIBRARY_PATH -u VORQ_SIM_SOCKET -u VORQ_SIM_TRACE HOME="$home"
                    XDG_CONFIG_HOME="$home/.config" VORQ_SIM="$sim")

  local out
  out=$("${env_run[@]}" "$root/bin/vorq-camctl" list 2>&1)
  check "vorq-camctl lists the simulated camera" grep -q '^\[0\] TELDORA TX42$' <<<"$out"
  out=$("${env_run[@]}" "$root/bin/camfw_flash" -l 2>&1)
  check "camfw_flash finds its engine and the camera" grep -q '^Find 1 UVC devices' <<<"$out"
  out=$("${env_run[@]}" "$root/bin/teldora-vision-desk" --version 2>&1)
  check "the program tells its version" grep -q '^TELDORA Vision Desk [0-9.]*$' <<<"$out"
  out=$("${env_run[@]}" "$root/bin/TELDORA_Vision_Desk_V1.0.0.5" --help 2>/dev/null)
  check "the program's --help is on standard output" grep -q '^Usage: TELDORA_Vision_Desk_V1.0.0.5' <<<"$out"

  # The program's start: it opens the sole camera and keeps running until
  # stopped (124: ended by timeout, not by itself).
  local rc
  (cd "$work" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
     timeout 8 "${env_run[@]}" "$root/bin/teldora-vision-desk") >"$work/program.log" 2>&1
  rc=$?
  check "the program starts and runs (status $rc)" test "$rc" = 124
  check "the program opens the simulated camera" grep -q 'open camera name: TELDORA TX42' "$work/program.log"
  # The window loads the media engine once it is painted.
  check "the program loads its media engine from the tree" \
    grep -q "media engine loaded: $root/.*$privdir/libvorq_mediaengine.so" "$work/program.log"
  if [ "$failures" -gt 0 ]; then echo "--- program log"; tail -n 20 "$work/program.log"; fi
}
