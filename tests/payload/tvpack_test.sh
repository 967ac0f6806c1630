#!/usr/bin/env bash
# tvpack against two readers, the setup's own (tvzip) and 7z: plain and AES archives with
# an empty, an incompressible, a compressible and a non-ASCII-named file come back whole,
# the same input gives the same bytes, and bad lists are refused.
#   tvpack_test.sh TVPACK TVZIP WORKDIR
set -u
pack="$1" zip="$2" work="$3"
rm -rf "$work"; mkdir -p "$work/src/Sub"
cd "$work"
fail() { echo "FAILED: $*"; exit 1; }
: >src/empty.txt
head -c 70000 /dev/urandom >src/random.bin
for i in $(seq 1 3000); do echo "line $i of a text that compresses well"; done >src/Sub/text.txt
printf 'Grüße\r\n' >"src/Sub/Übersicht.txt"
( cd src && find . -type f | sed 's|^\./||' | while read -r f; do printf '%s\t%s\n' "$f" "$work/src/$f"; done ) >list

"$pack" plain.zip list || fail "tvpack plain"
"$pack" aes.zip list --password 'Pass word!' || fail "tvpack aes"
"$pack" again.zip list --password 'Pass word!' && cmp -s aes.zip again.zip || fail "two runs differ"
"$pack" later.zip list --time 20240229235958 && ! cmp -s plain.zip later.zip || fail "--time ignored"

"$zip" x plain.zip out-plain >/dev/null && diff -r src out-plain || fail "tvzip: plain archive"
"$zip" x aes.zip out-aes -p 'Pass word!' >/dev/null && diff -r src out-aes || fail "tvzip: AES archive"
"$zip" l aes.zip | grep -q "AES-256 .*Sub/Übersicht.txt" || fail "tvzip does not see AES-256 entries"
"$zip" x aes.zip out-wrong -p wrong >/dev/null 2>&1 && fail "tvzip took a wrong password"
[ -z "$(find out-wrong -type f 2>/dev/null)" ] || fail "a wrong password wrote files"
7z x -y -p'Pass word!' -oout-7z aes.zip >/dev/null && diff -r src out-7z || fail "7z: AES archive"
# Python's zipfile decodes the names as UTF-8 only with the flag that says so.
names=$(python3 -c 'import sys, zipfile; print(" ".join(zipfile.ZipFile(sys.argv[1]).namelist()))' plain.zip)
[ "$names" = "Sub/text.txt Sub/Übersicht.txt empty.txt random.bin" ] || fail "names or their order: $names"

printf 'a.txt\t%s\na.txt\t%s\n' "$work/src/empty.txt" "$work/src/random.bin" >twice
"$pack" x.zip twice 2>err && fail "two sources for one entry accepted"
grep -q "two files for the entry a.txt" err || fail "refusal does not name the entry: $(cat err)"
printf '../up.txt\t%s\n' "$work/src/empty.txt" >evil
"$pack" x.zip evil 2>/dev/null && fail "an entry leaving the destination accepted"
[ ! -e x.zip ] || fail "a refused archive was written"
echo "tvpack: every check passed"
