#!/usr/bin/env bash
# camfw_flash against the emulated TX42 (through V4L2 and UVCIOC_CTRL_QUERY)
# prints what it prints against the simulator, and sends the camera the same
# requests.
set -u
flash=$1 emulator=$2 descriptors=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
unset VORQ_SIM VORQ_SIM_SOCKET VORQ_SIM_TRACE
mkdir -p "$work/sim" "$work/emu"
echo "reboot_ms=300" > "$work/sim/sim.conf"
cp "$work/sim/sim.conf" "$work/emu/sim.conf"
head -c 30720 /dev/urandom > "$work/Lynx-A_v2.img"

# Only the device path differs: the simulator's own, or the emulated node's;
# and which flash-progress figures a poll happens to see.
normalise() {
  sed -E -e 's|#1-4#sim-cam0|#PORT#NODE|; s|#1-1#/dev/video0|#PORT#NODE|' \
    -e 's/(\r?flash write:[0-9.]+%)+/flash write:(progress)/' "$1"
}
# The bytes written to the camera; reads may differ, since the driver asks
# each control's length and capabilities once on its own.
requests() { grep -o '"unit":[^}]*"query":"SET_CUR"[^}]*"errno":[-0-9]*' "$1"; }

for args in "-I 0" "-M Lynx-A_v2.img -I 0"; do
  name=${args// /_}
  (cd "$work" && VORQ_SIM=$work/sim VORQ_SIM_TRACE=$work/sim$name.trace timeout 100 "$flash" $args > "$work/sim$name.out" 2>&1)
  sim_rc=$?
  (cd "$work" && VORQ_EMUCAM_SIM_STATE=$work/emu VORQ_SIM_TRACE=$work/emu$name.trace \
     timeout 100 "$emulator" "$descriptors" -- "$flash" $args > "$work/emu$name.out" 2>&1)
  emu_rc=$?
  check "camfw_flash $args: same exit status ($sim_rc)" test "$sim_rc" = "$emu_rc"
  check "camfw_flash $args: same transcript" diff <(normalise "$work/sim$name.out") <(normalise "$work/emu$name.out")
  check "camfw_flash $args: same bytes written to the camera" diff <(requests "$work/sim$name.trace") <(requests "$work/emu$name.trace")
  check "camfw_flash $args: the emulated camera was used" grep -q '#1-1#/dev/video0' "$work/emu$name.out"
done
check "the image was flashed" grep -q 'MTD Upgrade Complete!' "$work/emu-M_Lynx-A_v2.img_-I_0.out"

echo "$((9 - failures)) passed, $failures failed"
[ $failures = 0 ]
