#!/usr/bin/env bash
# vorq-camctl against the built-in simulated camera and, through vorq-simdev,
# against an external simulated device.
set -u
camctl=$1 simdev=$2 emucam=${3:-} yuyv_camera=${4:-}
work=$(mktemp -d)
simdev_pid=
trap '[ -n "$simdev_pid" ] && kill "$simdev_pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0 checks=0
check() { # description, command...
  local what=$1; shift
  checks=$((checks + 1))
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
check "--help lists every command" test "$(grep -cE '^(usage:|      ) vorq-camctl (list|controls|modes|get|set|xu)( |$)' "$work/out")" = 6 -a -n "$(grep -- '--json' "$work/out")"
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

# --json: one document that parses and says what the text says.
json_matches_text() { # command...
  local text json
  text=$("$camctl" "$@") && json=$("$camctl" "$@" --json) || return 1
  python3 - "$1" "$text" "$json" <<'PY'
import json, sys
cmd, text, doc = sys.argv[1], sys.argv[2].splitlines(), json.loads(sys.argv[3])
def want(line):
    if line not in text: sys.exit(f"text lacks {line!r}")
if cmd == "list":
    for c in doc["cameras"]:
        want(f"[{c['index']}] {c['name']}"); want(f"    device path: {c['device_path']}")
        for u in c["extension_units"]: want(f"      node {u['node']}: {u['guid']} ({u['role']})")
    assert len(doc["cameras"]) == sum(l.startswith("[") and not l.startswith("[-]") for l in text)
elif cmd == "controls":
    assert len(doc["controls"]) == 18
    for c in doc["controls"]:
        line = next(l for l in text if l[8:].startswith(c["name"] + "  "))
        if c["supported"]:
            assert f"range {c['minimum']}..{c['maximum']} step {c['step']}" in line, line
            assert f"value {c['value']} (" in line, line
        else:
            assert "not supported" in line, line
elif cmd == "modes":
    assert len(doc["modes"]) == len(text) - 1
    for m in doc["modes"]:
        assert any(l.split()[:2] == [m["format"], f"{m['width']}x{m['height']}"] for l in text), m
elif cmd == "get":
    assert text == [str(doc["value"])], text
PY
}
check "list --json matches the text" json_matches_text list
check "controls --json matches the text" json_matches_text controls 0
check "modes --json matches the text" json_matches_text modes 0
check "simulated camera offers its six modes" test "$("$camctl" modes 0 | grep -cE '^  (mjpeg|yuyv422) +(800x600|1280x720|1920x1080) @ 30 fps$')" = 6

# get and set by name: the absolute value reaches the camera, refused values do not.
check "pan set" test "$("$camctl" set 0 pan 7200)" = ok
check "pan written to the camera" grep -q '"op":"s_ctrl","cid":10094856,"value":7200,"errno":0' "$work/trace.jsonl"
check "pan read back" test "$("$camctl" get 0 pan)" = 7200
check "get --json names the control" json_matches_text get 0 pan
check "white balance by any spelling" test "$("$camctl" set 0 White_Balance 4600 && "$camctl" get 0 'white balance')" = $'ok\n4600'
writes=$(grep -c '"s_ctrl"' "$work/trace.jsonl")
"$camctl" set 0 pan 7201 2>"$work/err"; rc=$?
check "off-step value refused" test $rc = 2 -a -n "$(grep "7201 is outside pan's range -36000..36000 step 3600" "$work/err")"
"$camctl" set 0 zoom ten 2>"$work/err"; rc=$?
check "non-number refused" test $rc = 2
"$camctl" set 0 zoom auto 2>"$work/err"; rc=$?
check "auto refused where there is none" test $rc = 2 -a -n "$(grep 'zoom has no automatic mode' "$work/err")"
"$camctl" get 0 panorama 2>"$work/err"; rc=$?
check "unknown control refused" test $rc = 2 -a -n "$(grep 'no control named "panorama"' "$work/err")"
check "refused sets write nothing" test "$(grep -c '"s_ctrl"' "$work/trace.jsonl")" = "$writes"
check "pan kept" test "$("$camctl" get 0 pan)" = 7200
"$camctl" --json xu 0 $settings 24 get >/dev/null 2>&1; rc=$?
check "--json refused where it has no meaning" test $rc = 2
"$camctl" modes 0 extra >/dev/null 2>&1; rc=$?
check "extra argument refused" test $rc = 2

# A camera that streams only YUYV lists only its own modes.
if [ -n "$emucam" ]; then
  out=$(env -u VORQ_SIM -u VORQ_SIM_SOCKET "$emucam" "$yuyv_camera" -- "$camctl" modes 0 --json)
  check "YUYV-only camera lists only YUYV modes" python3 -c '
import json, sys
modes = json.loads(sys.argv[1])["modes"]
assert modes and all(m["format"] == "yuyv422" and not m["compressed"] for m in modes)
assert {"width": 640, "height": 480} in [{"width": m["width"], "height": m["height"]} for m in modes]
' "$out"
fi

# The same camera as an external device.
unset VORQ_SIM VORQ_SIM_TRACE
"$simdev" "$work/dev.sock" "$work/state" >/dev/null &
simdev_pid=$!
for _ in $(seq 50); do [ -S "$work/dev.sock" ] && break; sleep 0.1; done
export VORQ_SIM_SOCKET=$work/dev.sock
out=$("$camctl" list)
check "external device listed" grep -q 'device path: .*usb#vid_9f2b.*#ext-cam0' <<<"$out"
check "external device sees the same state" test "$("$camctl" xu 0 $settings 24 get)" = 01

echo "$((checks - failures)) passed, $failures failed"
[ $failures = 0 ]
