#!/usr/bin/env bash
# The import check refuses a program that needs zlib1.dll and libstdc++-6.dll, naming both,
# and passes a setup.   imports_test.sh CHECK-IMPORTS NOT-STATIC.exe SETUP.exe
check="$1" bad="$2" good="$3"
if out=$("$check" "$bad" 2>&1); then
  echo "the import check accepted $bad: $out"; exit 1
fi
for dll in zlib1.dll libstdc++-6.dll; do
  grep -q -F "$dll" <<<"$out" || { echo "the refusal does not name $dll: $out"; exit 1; }
done
"$check" "$good"
