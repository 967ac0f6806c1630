#!/usr/bin/env bash
# The install engine on a generated payload of about 200 MB in 3,000 files: the whole run of
# the setup under Wine next to bsdtar extracting the same archives natively, the setup's
# peak memory, Escape at several points of the extraction, and the uninstall with
# TvUninstall.exe. The payload, its setup and the bsdtar output live in build/windows and
# are removed at the end; the Wine prefix is put back as it was.
#   bench/install-big.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/windows"
work="$build/bench-big"
if [ "${TV_BENCH_SESSION:-}" != 1 ]; then
  cleanup() {
    rm -rf "$work" "$work.points" "$build/setups/big" "$build/bench/TramBig.payload"
    cmake -DTV_BENCH_PAYLOAD= "$build" >/dev/null || true
  }
  trap cleanup EXIT
  [ -f "$build/CMakeCache.txt" ] || cmake --preset windows
  python3 "$root/bench/make_payload.py" "$work"
  cmake -DTV_BENCH_PAYLOAD="$work" "$build" >/dev/null
  start=$(date +%s)
  nice cmake --build "$build" --target TramBig TvUninstall bench_setup_run
  echo "setup built in $(( $(date +%s) - start )) s: $(du -m "$build/setups/big/Tram.exe" | cut -f1) MB"
  echo "load before: $(uptime)"
  TV_BENCH_SESSION=1 "$root/scripts/wine-session" "$build" "$root/bench/install-big.sh" "$@"
  exit
fi

snap="$root/scripts/prefix-snapshot"
"$snap" save bench-big >/dev/null
trap '"$snap" restore bench-big >/dev/null' EXIT
run="$build/wine-run $build/bench/bench_setup_run.exe"
setup="\"Z:$build/setups/big/Tram.exe\""
user_docs="C:\\users\\$USER\\Documents\\Tramvelon 4"
install_dir="C:\\Program Files\\Tramvelon 4"

echo "== install run of the setup"
$run install "$setup"
echo "== bsdtar -x of the same archives"
out="$work/bsdtar"
cat "$build"/bench/TramBig.payload/*.zip >/dev/null
start=$(date +%s%N)
for zip in "$build"/bench/TramBig.payload/*.zip; do
  mkdir -p "$out/$(basename "$zip" .zip)"
  bsdtar -xf "$zip" -C "$out/$(basename "$zip" .zip)"
done
echo "RESULT bsdtar_ms $(( ($(date +%s%N) - start) / 1000000 ))"
echo "files $(find "$out" -type f | wc -l), $(du -sm "$out" | cut -f1) MB"
rm -rf "$out"
echo "== uninstall"
$run uninstall "Tramvelon 4"

# Escape at the places that the payload generator chose.
while IFS=$'\t' read -r name group path bytes; do
  "$snap" restore bench-big >/dev/null
  winpath="${path//\//\\}"
  folder="${group:0:1}$(echo "${group:1}" | tr '[:upper:]' '[:lower:]')"
  if [ "$group" = APPLICATION ]; then target="$install_dir\\$winpath"; else target="$user_docs\\$folder\\$winpath"; fi
  echo "== Escape: $name ($group/$path)"
  case "$name" in
    large-*) $run install "$setup" escape-at "$target.~tvz" $((8 << 20)) | sed "s/^RESULT /RESULT $name-/" ;;
    *) $run install "$setup" escape-at "$target" | sed "s/^RESULT /RESULT $name-/" ;;
  esac
done <"$work.points"
echo "load after: $(uptime)"
