#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; ends with CTest's
# summary and exit code.
#   ./test.sh              normal build in build/
#   ./test.sh --sanitize   ASan + UBSan build in build-sanitize/
set -uo pipefail
cd "$(dirname "$0")"

builddir=build
cmake_args=()
ctest_args=()
# --sanitize picks the build; everything else goes to CTest.
for arg in "$@"; do
  case "$arg" in
    --sanitize) builddir=build-sanitize; cmake_args+=(-DENABLE_SANITIZERS=ON) ;;
    *) ctest_args+=("$arg") ;;
  esac
done

./scripts/bootstrap || exit 1
cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_args[@]}" >/dev/null || exit 1
cmake --build "$builddir" -j"$(nproc)" || exit 1

pulsedir=$(mktemp -d /tmp/vorq-test-pulse.XXXXXX)
cleanup() {
  ./scripts/pulse-test-server stop "$pulsedir"
  rm -rf "$pulsedir"
}
trap cleanup EXIT
eval "$(./scripts/pulse-test-server start "$pulsedir")" || exit 1

export QT_QPA_PLATFORM=offscreen
if [ "$builddir" = build-sanitize ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
# Tests choose their own simulated cameras; nothing from the caller's shell.
unset VORQ_SIM VORQ_SIM_SOCKET VORQ_SIM_TRACE

ctest --test-dir "$builddir" --output-on-failure "${ctest_args[@]}"
