#!/usr/bin/env bash
# No-trace round trips of the setup: every test case Flows.* of test_flows installs with the
# real setups of this build and uninstalls again with TvUninstall.exe; after each one the
# prefix must be as it was before (files under drive_c, HKLM, HKCU, HKCR), except for what
# Wine itself changes (tests/uninstall/windows-changes.txt) and what the flows list beside
# this script with their reasons. Each flow starts from the same prefix, restored.
# Runs inside scripts/wine-session; the prefix is put back as it was at the end.
#   roundtrip.sh BUILD_DIR [GTEST_FILTER]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "$1" && pwd)"
filter="${2:-Flows.*}"
snap="$root/scripts/prefix-snapshot"
work="$build/flows"
test_exe="$build/tests/flows/test_flows.exe"
wine=/usr/lib/wine/wine64
mkdir -p "$work"

"$snap" save flows-original || exit 1
trap '"$snap" restore flows-original >/dev/null' EXIT
# The browser and the HTML viewer are the test's opener, which notes what it is given.
opener="Z:${build}/tests/flows/tvopenlog.exe"
for key in 'HKCR\htmlfile\shell\open\command' 'HKCR\http\shell\open\command'; do
  "$wine" reg add "$key" /ve /d "\"$opener\" \"%1\"" /f >/dev/null 2>&1 || exit 1
done
"$wine" reg add 'HKCR\.html' /ve /d htmlfile /f >/dev/null 2>&1 || exit 1
"$snap" save flows-baseline || exit 1
"$snap" snapshot "$work/before.txt" || exit 1

cases=$("$build/wine-run" "$test_exe" --gtest_list_tests --gtest_filter="$filter" | tr -d '\r' |
  awk '/^[^ ]/ { suite=$1 } /^  / { print suite $1 }')
status=0
for c in $cases; do
  echo "=== $c"
  "$snap" restore flows-baseline >/dev/null || exit 1
  if ! "$build/wine-run" "$test_exe" --gtest_color=no --gtest_filter="$c"; then
    echo "FLOW FAILED: $c"; status=1
  fi
  "$snap" snapshot "$work/after-$c.txt" || exit 1
  if ! "$snap" compare "$work/before.txt" "$work/after-$c.txt" \
       --ignore "$root/tests/uninstall/windows-changes.txt" --ignore "$here/kept-by-design.txt"; then
    echo "TRACE LEFT: $c"; status=1
  else
    echo "no trace: $c"
  fi
done
exit $status
