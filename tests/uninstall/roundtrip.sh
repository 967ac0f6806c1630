#!/usr/bin/env bash
# No-trace round trip of the uninstaller: the prefix before, two installations that the
# end-to-end test makes and uninstalls again, the prefix after; the two snapshots must be
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
  --gtest_filter='UninstallE2E.RemovesTheInstallationAndItselfAndRestoresWhatWasThereBefore' || exit 1
"$snap" snapshot "$work/after.txt" || exit 1
"$snap" compare "$work/before.txt" "$work/after.txt" --ignore "$here/windows-changes.txt"
