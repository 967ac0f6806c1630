#!/usr/bin/env bash
# The setup's start-up under Wine beside a minimal window program: RUNS runs each (default
# 11), taking turns in one session after a warm-up round, from CreateProcess to the first
# window shown and painted. A third program is the same minimal window importing the DLLs
# that the setup imports (what loading them costs). Then INSTALLS times (default 5) the full
# install of the demo payload with the defaults, through the pages. Builds what it needs in build/windows; the
# Wine prefix is put back as it was at the end.
#   bench/setup-start.sh [RUNS [INSTALLS]]
# Give it the machine alone; on a shared one: flock /tmp/tv-build.lock bench/setup-start.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/windows"
runs="${1:-11}"
installs="${2:-5}"
if [ "${TV_BENCH_SESSION:-}" != 1 ]; then
  [ -f "$build/CMakeCache.txt" ] || cmake --preset windows
  nice cmake --build "$build" --target Tram TvUninstall bench_setup_run bench_minimal_window bench_minimal_imports
  TV_BENCH_SESSION=1 exec "$root/scripts/wine-session" "$build" "$root/bench/setup-start.sh" "$@"
fi

source "$root/bench/results.sh"
RESULTS="$(mktemp)"
machine
snap="$root/scripts/prefix-snapshot"
"$snap" save bench-start >/dev/null
trap '"$snap" restore bench-start >/dev/null; rm -rf "$WINEPREFIX.saved/bench-start" "$RESULTS"' EXIT
run="$build/wine-run $build/bench/bench_setup_run.exe"
setup="\"Z:$build/setups/full/Tram.exe\""
echo "== start-up, $runs runs each"
$run start "$runs" "\"Z:$build/bench/bench_minimal_window.exe\"" "\"Z:$build/bench/bench_minimal_imports.exe\"" \
  "$setup" 2>&1 | keep ""
for i in $(seq 1 "$installs"); do
  echo "== full install of the demo payload, $i of $installs"
  "$snap" restore bench-start >/dev/null
  $run install "$setup" 2>&1 | keep ""
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
summarize
ratio start_tram_ms start_minimal_window_ms
ratio start_minimal_imports_ms start_minimal_window_ms
