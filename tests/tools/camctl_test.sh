#!/usr/bin/env bash
# vorq-camctl against the built-in simulated camera and, through vorq-simdev,
# against an external simulated device.
set -u
camctl=$1 simdev=$2
work=$(mktemp -d)
simdev_pid=
trap '[ -n "$simdev_pid" ] && kill "$simdev_pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
check() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
settings={A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}
unset VORQ_SIM_SOCKET
export VORQ_SIM=$work/state VORQ_SIM_TRACE=$work/trace.jsonl

out=$("$camctl" list)
check "list shows the simulated camera" grep -q '^\[0\] TELDORA TX42$' <<<"$out"
check "device path has usb#vid_9f2b" grep -q 'device path: \\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-4#sim-cam0' <<<"$out"
check "list shows the three extension units" test "$(grep -c '      node [456]: {' <<<"$out")" = 3

check "flip written" test "$("$camctl" xu 0 $settings 24 set 01)" = ok
check "flip read back" test "$("$camctl" xu 0 $settings 24 get)" = 01
check "trace has the bytes written" grep -q '"unit":4,"selector":24,"query":"SET_CUR","size":1,"data":"01","errno":0' "$work/trace.jsonl"
check "contrast listed with its range" grep -q 'contrast .*range 0..14 step 1 default 7' <<<"$("$camctl" controls 0)"

"$camctl" --help >"$work/out" 2>"$work/err"; rc=$?
check "--help succeeds on stdout" test $rc = 0 -a ! -s "$work/err" -a -n "$(grep '^usage: vorq-camctl list$' "$work/out")"
check "--version names the suite's version" grep -q '^vorq-camctl (TELDORA Vision Desk) [0-9.]*$' <<<"$("$camctl" --version)"

"$camctl" controls 1 >/dev/null 2>"$work/err"; rc=$?
check "bad index refused" test $rc = 2
check "bad index explained" grep -q 'no camera with index 1 (1 camera found)' "$work/err"
"$camctl" xu 0 '{nonsense}' 9 get 2>"$work/err"; rc=$?
check "bad GUID refused" test $rc = 2 -a -n "$(grep 'not a GUID' "$work/err")"
"$camctl" xu 0 $settings 24 set 0x1 2>"$work/err"; rc=$?
check "bad hex refused" test $rc = 2
"$camctl" xu 0 $settings 24 set 0101 2>"$work/err"; rc=$?
check "wrong length refused" grep -q 'control 24 is 1 bytes long, 2 given' "$work/err"
check "nothing written by refused sets" test "$("$camctl" xu 0 $settings 24 get)" = 01

# The same camera as an external device.
unset VORQ_SIM VORQ_SIM_TRACE
"$simdev" "$work/dev.sock" "$work/state" >/dev/null &
simdev_pid=$!
for _ in $(seq 50); do [ -S "$work/dev.sock" ] && break; sleep 0.1; done
export VORQ_SIM_SOCKET=$work/dev.sock
out=$("$camctl" list)
check "external device listed" grep -q 'device path: .*usb#vid_9f2b.*#ext-cam0' <<<"$out"
check "external device sees the same state" test "$("$camctl" xu 0 $settings 24 get)" = 01

echo "$((17 - failures)) passed, $failures failed"
[ $failures = 0 ]
