#!/usr/bin/env bash
# No-trace round trip of the uninstaller: the prefix before, the end-to-end tests (which make
# installations as the setup does, side by side, updated, aborted, with a file in use, with
# forged and damaged logs, and uninstall them), the prefix after; the two snapshots must be
# equal except for what Windows (Wine) itself changes, listed with reasons beside this file.
# Runs inside scripts/wine-session; the prefix is put back as it was at the end.
#   roundtrip.sh BUILD_DIR
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "$1" && pwd)"
snap="$root/scripts/prefix-snapshot"
work="$build/roundtrip"
mkdir -p "$work"

"$snap" save roundtrip-uninstall || exit 1
trap '"$snap" restore roundtrip-uninstall >/dev/null' EXIT
"$snap" snapshot "$work/before.txt" || exit 1
"$build/wine-run" "$build/tests/uninstall/test_uninstall.exe" --gtest_color=no \
  --gtest_filter='UninstallE2E.*' || exit 1
"$snap" snapshot "$work/after.txt" || exit 1
"$snap" compare "$work/before.txt" "$work/after.txt" --ignore "$here/windows-changes.txt"
