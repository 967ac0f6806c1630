#!/usr/bin/env bash
# The install engine on a generated payload of about 200 MB in 3,000 files
# (bench/make_payload.py), built into a setup with tramvelon_add_setup. RUNS times (default
# 5): the whole install run of the setup under Wine with its peak memory, bsdtar extracting
# the same archives natively, and the uninstall of that installation with TvUninstall.exe.
# Then RUNS times Escape at each point that the payload generator chose (early and half-way
# through the files, inside the big stored and the big deflated file). Ends with a table of
# medians, minima and maxima. The payload, its setup and the bsdtar output live in
# build/windows and are removed at the end; the Wine prefix is put back as it was.
#   bench/install-big.sh [RUNS]
# Give it the machine alone; on a shared one: flock /tmp/tv-build.lock bench/install-big.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/windows"
work="$build/bench-big"
runs="${1:-5}"
if [ "${TV_BENCH_SESSION:-}" != 1 ]; then
  cleanup() {
    rm -rf "$work" "$work.points" "$work.results" "$build/setups/big" "$build/bench/TramBig.payload"
    cmake -DTV_BENCH_PAYLOAD= "$build" >/dev/null || true
  }
  trap cleanup EXIT
  [ -f "$build/CMakeCache.txt" ] || cmake --preset windows
  python3 "$root/bench/make_payload.py" "$work"
  cmake -DTV_BENCH_PAYLOAD="$work" "$build" >/dev/null
  start=$(date +%s)
  nice cmake --build "$build" --target TramBig TvUninstall bench_setup_run
  echo "setup built in $(( $(date +%s) - start )) s: $(du -m "$build/setups/big/Tram.exe" | cut -f1) MB"
  TV_BENCH_SESSION=1 "$root/scripts/wine-session" "$build" "$root/bench/install-big.sh" "$@"
  exit
fi

source "$root/bench/results.sh"
RESULTS="$work.results"
: >"$RESULTS"
machine
snap="$root/scripts/prefix-snapshot"
"$snap" save bench-big >/dev/null
trap '"$snap" restore bench-big >/dev/null; rm -rf "$WINEPREFIX.saved/bench-big"' EXIT
run="$build/wine-run $build/bench/bench_setup_run.exe"
exe="$build/setups/big/Tram.exe"
setup="\"Z:$exe\""
user_docs="C:\\users\\${USER:-$(id -un)}\\Documents\\Tramvelon 4"
install_dir="C:\\Program Files\\Tramvelon 4"

zips=("$build"/bench/TramBig.payload/*.zip)
out="$work/bsdtar"
for i in $(seq 1 "$runs"); do
  echo "== run $i of $runs: install, bsdtar, uninstall"
  "$snap" restore bench-big >/dev/null
  cat "$exe" >/dev/null  # from the page cache, as bsdtar reads its archives
  $run install "$setup" 2>&1 | keep ""
  # The same archives, extracted natively from the page cache into folders of their own.
  cat "${zips[@]}" >/dev/null
  start=$(date +%s%N)
  for zip in "${zips[@]}"; do
    mkdir -p "$out/$(basename "$zip" .zip)"
    bsdtar -xf "$zip" -C "$out/$(basename "$zip" .zip)"
  done
  echo "RESULT bsdtar_ms $(( ($(date +%s%N) - start) / 1000000 ))" | keep ""
  [ "$i" = 1 ] && echo "bsdtar wrote $(find "$out" -type f | wc -l) files, $(du -sm "$out" | cut -f1) MB"
  rm -rf "$out"
  $run uninstall "Tramvelon 4" 2>&1 | keep ""
done

# Escape at the places that the payload generator chose; inside a big file as soon as
# 8 MiB of it were written.
for i in $(seq 1 "$runs"); do
  while IFS=$'\t' read -r name group path bytes; do
    "$snap" restore bench-big >/dev/null
    winpath="${path//\//\\}"
    folder="${group:0:1}$(echo "${group:1}" | tr '[:upper:]' '[:lower:]')"
    if [ "$group" = APPLICATION ]; then target="$install_dir\\$winpath"; else target="$user_docs\\$folder\\$winpath"; fi
    echo "== Escape $i of $runs: $name ($group/$path)"
    cat "$exe" >/dev/null
    case "$name" in
      large-*) $run install "$setup" escape-at "$target.~tvz" $((8 << 20)) 2>&1 | keep "$name-" ;;
      *) $run install "$setup" escape-at "$target" 2>&1 | keep "$name-" ;;
    esac
  done <"$work.points"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
summarize
ratio "install_run_ms" "bsdtar_ms"
