#!/usr/bin/env bash
# The setup's start-up under Wine beside a minimal window program (medians of RUNS runs each,
# taking turns in one session), then the full install of the demo payload through the pages.
# Builds what it needs in build/windows; the Wine prefix is put back as it was at the end.
#   bench/setup-start.sh [RUNS]        (default 11)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/windows"
runs="${1:-11}"
if [ "${TV_BENCH_SESSION:-}" != 1 ]; then
  [ -f "$build/CMakeCache.txt" ] || cmake --preset windows
  nice cmake --build "$build" --target Tram TvUninstall bench_setup_run bench_minimal_window
  echo "load before: $(uptime)"
  TV_BENCH_SESSION=1 exec "$root/scripts/wine-session" "$build" "$root/bench/setup-start.sh" "$@"
fi

snap="$root/scripts/prefix-snapshot"
"$snap" save bench-start >/dev/null
trap '"$snap" restore bench-start >/dev/null' EXIT
run="$build/wine-run $build/bench/bench_setup_run.exe"
setup="\"Z:$build/setups/full/Tram.exe\""
echo "== start-up, $runs runs each"
$run start "$runs" "\"Z:$build/bench/bench_minimal_window.exe\"" "$setup"
echo "== full install of the demo payload"
$run install "$setup"
echo "load after: $(uptime)"
