#!/usr/bin/env bash
# Installs what is missing, builds, and starts the suite. Without a supported
# camera attached the simulated camera stands in.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/bootstrap
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

supported_camera_attached() {
  local dev
  for dev in /sys/class/video4linux/video*/device/../idVendor; do
    [ -r "$dev" ] && [ "$(cat "$dev")" = "9f2b" ] && return 0
  done
  return 1
}
if [ -z "${VORQ_SIM:-}" ] && [ -z "${VORQ_SIM_SOCKET:-}" ] && ! supported_camera_attached; then
  echo "run.sh: no supported camera attached, using the simulated camera"
  export VORQ_SIM=1
fi

program=build/bin/TELDORA_Vision_Desk_V1.0.0.5
if [ -x "$program" ]; then
  exec "$program" "$@"
fi
exec build/bin/vorq-camctl list "$@"
