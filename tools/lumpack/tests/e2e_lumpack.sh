#!/usr/bin/env bash
# lumpack end to end, natively: the example manifest is built into a package
# that lists, verifies and extracts to byte-identical files with their times;
# the same as a two-volume package; small volumes that carry real checksums;
# and the faults: manifest errors with file:line, damaged packages with an
# offset, and no half-written output.
set -uo pipefail
LUMPACK=$(readlink -f "${LUMPACK:?path of the lumpack binary}")
[ -x "$LUMPACK" ] || { echo "no lumpack binary at $LUMPACK"; exit 1; }
SRC=${LUM_SOURCE_DIR:?source tree}
WORK=${LUMPACK_WORK:-$(mktemp -d)}/e2e
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# A stand-in stub image: "MZ" at 0, "PE\0\0" at 256, padded past 51,200 bytes.
fake_stub() {
  python3 - "$1" "$2" <<'EOF'
import sys
b = bytearray(int(sys.argv[2])); b[0:2] = b"MZ"; b[256:260] = b"PE\0\0"
open(sys.argv[1], "wb").write(b)
EOF
}

# The payload the example manifest names.
mkdir -p payload/data
head -c 300000 /dev/urandom >payload/Engine.exe
printf 'Read me.\r\n' >payload/readme.txt
head -c 9437185 /dev/zero >payload/data/big.bin          # 9 MiB + 1: three entries
seq 1 200000 >payload/data/numbers.txt
: >payload/data/empty.dat
touch -d '2021-06-15 10:20:30' payload/Engine.exe payload/readme.txt payload/data/big.bin
touch -d '2019-03-01 08:00:00' payload/data/numbers.txt payload/data/empty.dat
cp "$SRC/examples/sample.ini" .
fake_stub stub.exe 60000

# Compares every payload file with its extracted copy: bytes and mtime.
check_tree() { # $1 = extraction folder, $2 = label
  local f src bad=0
  for f in Engine.exe readme.txt big.bin numbers.txt empty.dat; do
    src=payload/$f; [ -f "$src" ] || src=payload/data/$f
    if ! cmp -s "$src" "$1/$f"; then fail "$2: $f differs"; bad=1; continue; fi
    if [ "$(stat -c %Y "$src")" != "$(stat -c %Y "$1/$f")" ]; then
      fail "$2: time of $f: $(stat -c %y "$1/$f"), expected $(stat -c %y "$src")"; bad=1
    fi
  done
  [ $bad = 0 ] && ok "$2: files and times identical"
}

# 1. One volume from the example manifest.
if "$LUMPACK" create sample.ini --stub stub.exe >create.txt 2>&1 && [ -f MySetup.exe ]; then
  ok "create"
else
  fail "create: $(cat create.txt)"
fi
"$LUMPACK" list MySetup.exe >list.txt 2>&1 || fail "list exited non-zero: $(tail -3 list.txt)"
grep -q "IdentityToken     'MyProduct-7F3A-2024'" list.txt || fail "list does not show the unscrambled token"
grep -q "\[start: Engine.exe\* /silent\]" list.txt || fail "list does not show the launch mark"
grep -q "FilesCount        5" list.txt || fail "FilesCount is not 5 (files)"
grep -q "BlockCount        3" list.txt || fail "BlockCount is not 3"
grep -q "Flags             08h ShowActivityBar" list.txt || fail "flags not as in the manifest"
[ "$(grep -c ' big.bin$' list.txt)" = 3 ] || fail "big.bin is not stored as three entries"
awk '$2 ~ /^(zlib|stored|empty)$/ && $4 > 4194304 { bad = 1 } END { exit bad }' list.txt || fail "an entry holds more than 4 MiB"
grep -q "2019-03-01 08:00:00  numbers.txt" list.txt || fail "the DOS time of numbers.txt is not stored"
"$LUMPACK" verify MySetup.exe >verify.txt 2>&1 && ok "verify" || fail "verify: $(cat verify.txt)"
"$LUMPACK" extract MySetup.exe out1 >extract.txt 2>&1 || fail "extract: $(cat extract.txt)"
grep -q "start: Engine.exe\* /silent" extract.txt || fail "extract does not report the program to start"
check_tree out1 "one volume"
# Re-extracting over the same folder replaces the files rather than appending.
"$LUMPACK" extract MySetup.exe out1 >/dev/null 2>&1 && check_tree out1 "re-extraction"

# 2. Two volumes.
sed 's/^VolumeSize = 0/VolumeSize = 400K/' sample.ini >two.ini
"$LUMPACK" create two.ini --stub stub.exe -o two/Two.exe >create2.txt 2>&1 || fail "create two volumes: $(cat create2.txt)"
if [ -f two/Two.exe.002 ] && [ ! -f two/Two.exe.003 ]; then ok "two volumes written"; else fail "expected exactly two volumes: $(ls two)"; fi
[ "$(stat -c %s two/Two.exe)" -le 409600 ] && [ "$(stat -c %s two/Two.exe.002)" -le 409600 ] || fail "a volume exceeds 400K"
"$LUMPACK" list two/Two.exe >list2.txt 2>&1 || fail "list of two volumes"
[ "$(grep -c 'MultiVolume' list2.txt)" = 1 ] || fail "pfMultiVolume must be set on the first volume only"
grep -q "FilesCount        6" list2.txt || fail "FilesCount is not files + volume changes"
"$LUMPACK" verify two/Two.exe >verify2.txt 2>&1 && grep -q "OK: 2 volume" verify2.txt && ok "verify two volumes" \
  || fail "verify two volumes: $(cat verify2.txt)"
"$LUMPACK" extract two/Two.exe out2 >/dev/null 2>&1 || fail "extract two volumes"
check_tree out2 "two volumes"
mv two/Two.exe.002 two/hidden
"$LUMPACK" verify two/Two.exe >missing.txt 2>&1 && fail "verify passed without volume 2" \
  || grep -q "Two.exe.002: volume 2 is missing" missing.txt || fail "missing volume message: $(cat missing.txt)"
mv two/hidden two/Two.exe.002

# 3. Small volumes: files of at most 51,200 bytes carry a real checksum.
mkdir -p small/in && head -c 20000 /dev/urandom >small/in/a.bin && seq 1 9000 >small/in/b.txt
fake_stub small/stub.exe 1024
cat >small/small.ini <<'EOF'
[Package]
Stub = stub.exe
VolumeSize = 24K
[Files]
a.bin = in/a.bin
b.txt = in/b.txt
EOF
"$LUMPACK" create small/small.ini -o small/S.exe >/dev/null 2>&1 || fail "create small volumes"
"$LUMPACK" list small/S.exe >list3.txt 2>&1
if grep -q "(not computed)" list3.txt || ! grep -q "(matches)" list3.txt; then fail "small volumes should carry computed checksums"; else ok "real checksums"; fi
"$LUMPACK" verify small/S.exe >/dev/null 2>&1 || fail "verify small volumes"
printf '\x55' | dd of=small/S.exe.002 bs=1 seek=500 conv=notrunc 2>/dev/null
"$LUMPACK" verify small/S.exe >bad.txt 2>&1 && fail "verify passed a damaged volume" \
  || { grep -q "S.exe.002: offset .*checksum mismatch" bad.txt && ok "checksum fault found"; } || fail "checksum message: $(cat bad.txt)"

# 4. Damaged packages: a clear message with an offset, a non-zero exit.
expect_fault() { # $1 = file, $2 = pattern, $3 = label
  local out rc
  out=$("$LUMPACK" verify "$1" 2>&1); rc=$?
  if [ $rc = 0 ]; then fail "$3: verify passed"; elif ! grep -q -- "$2" <<<"$out"; then fail "$3: message '$out'"; else ok "$3"; fi
  "$LUMPACK" list "$1" >/dev/null 2>&1 && fail "$3: list passed"
}
size=$(stat -c %s MySetup.exe)
head -c $((size - 10)) MySetup.exe >cut.exe
expect_fault cut.exe "points past the end of the file" "truncated package"
cp MySetup.exe flip.exe
entry=$(awk '$2 == "zlib" { print $1; exit }' list.txt)
printf '\x00\x00\x00\x00' | dd of=flip.exe bs=1 seek=$((entry + 40)) conv=notrunc 2>/dev/null
expect_fault flip.exe "offset $entry: zlib stream: " "damaged zlib stream"
# A "zip bomb" as far as the trailer can tell: entries of 4 MiB of zeros
# (a few KB each) in a package whose trailer declares 100,000 bytes of files.
# The reader stops at that size (plus room for a header), within bounded memory.
python3 - MySetup.exe bomb.exe <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
high, low = struct.unpack_from("<II", data, 248)
end = (high << 32 | low) or len(data)
struct.pack_into("<I", data, end - 74 + 28, 100000)  # SpaceRequired, exact
open(sys.argv[2], "wb").write(data)
EOF
expect_fault bomb.exe "zlib stream: inflates past the limit of 165536 bytes" "entry inflating past the declared size"
peak=$(python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], capture_output=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$LUMPACK" verify bomb.exe)
[ "$peak" -lt 65536 ] && ok "bounded memory on a bomb ($peak KB)" || fail "verify of a bomb held $peak KB"
cp MySetup.exe big.exe
printf '\x00\x00\x00\x80' | dd of=big.exe bs=1 seek="$entry" conv=notrunc 2>/dev/null
expect_fault big.exe "entry at offset $entry: length -2147483648 is invalid" "entry length INT_MIN"
printf '\xff\xff\xff\x7f' | dd of=big.exe bs=1 seek="$entry" conv=notrunc 2>/dev/null
expect_fault big.exe "runs past the package end" "entry length past the end"
head -c 1000 /dev/urandom >noise.bin
expect_fault noise.bin "offset" "not a package"
# A header written with "\" as its list separator that carries a "*" after
# its name item: the launcher starts nothing from it, and verify refuses it.
printf '[Files]\nokpadpadpadpadpadpadpad.exe = payload/Engine.exe\n' >mark.ini
"$LUMPACK" create mark.ini --stub stub.exe >/dev/null 2>&1 || fail "create mark.exe"
python3 - mark.exe <<'PYEOF' || fail "mark.exe not rewritten"
import re, sys
data = bytearray(open(sys.argv[1], "rb").read())
m = re.search(rb"\|okpadpadpadpadpadpadpad\.exe\|\d+\|", data)  # stored: the random payload does not compress
evil = rb"\..\..\..\outside\evil.exe*"
new = b"\\ok" + b"x" * (len(m.group()) - len(evil) - 9) + b".exe\\0" + evil
assert len(new) == len(m.group()), new
data[m.start():m.end()] = new
open(sys.argv[1], "wb").write(data)
PYEOF
out=$("$LUMPACK" verify mark.exe 2>&1) && fail "launch mark outside the name item: verify passed" \
  || { grep -q "launch mark outside the name item" <<<"$out" && ok "launch mark outside the name item"; } \
  || fail "launch mark outside the name item: message '$out'"
"$LUMPACK" list mark.exe 2>&1 | grep -q "start:" && fail "list shows a program to start in mark.exe"

# 5. Manifest faults name the manifest and its line; nothing is written.
manifest_fault() { # $1 = label, $2 = pattern, stdin = manifest
  cat >bad.ini
  rm -f bad.exe
  local out rc
  out=$("$LUMPACK" create bad.ini --stub stub.exe 2>&1); rc=$?
  if [ $rc = 0 ]; then fail "$1: create passed"
  elif ! grep -q -- "$2" <<<"$out"; then fail "$1: message '$out'"
  elif ls bad.exe* >/dev/null 2>&1; then fail "$1: output left behind"
  else ok "$1"; fi
}
manifest_fault "unknown key" "bad.ini:3: unknown key 'Colour' in \[Options\]" <<'EOF'
[Options]
ShowActivityBar = 1
Colour = blue
EOF
manifest_fault "missing file" "bad.ini:2: 'payload/nothere.txt' is not a file" <<'EOF'
[Files]
a.txt = payload/nothere.txt
EOF
manifest_fault "duplicate name" "bad.ini:3: 'README.TXT' is packed twice (also at line 2)" <<'EOF'
[Files]
readme.txt = payload/readme.txt
README.TXT = payload/Engine.exe
EOF
manifest_fault "launch not packed" "bad.ini:4: the program to start, 'Setup.exe', is not among the packed files" <<'EOF'
[Files]
readme.txt = payload/readme.txt
[Launch]
File = Setup.exe
EOF
# Names that would lead outside the extraction folder, or that Windows reads
# as something else, are refused with their line.
for name in '..\a.txt' 'sub\..\..\a.txt' 'C:\a.txt' 'C:a.txt' '\\srv\share\a.txt' '\a.txt' \
            'a.txt:stream' 'sub\\a.txt' 'sub.\a.txt' 'CON\a.txt' 'a*.txt'; do
  manifest_fault "unsafe name $name" "bad.ini:2: '.*' cannot be a name in the package" <<EOF
[Files]
$name = payload/readme.txt
EOF
done
manifest_fault "file and folder" "bad.ini:3: 'data\\\\x.txt' lies in 'data', which is packed as a file (line 2)" <<'EOF'
[Files]
data = payload/readme.txt
data/x.txt = payload/readme.txt
EOF
manifest_fault "bad boolean" "bad.ini:2: RunHidden must be 0 or 1" <<'EOF'
[Settings]
RunHidden = maybe
EOF
manifest_fault "setup file missing" "bad.ini:3: 'payload/nothere.exe' is not a file" <<'EOF'
[Internet]
SetupFileName = Full.exe
SetupFile = payload/nothere.exe
EOF

# An Internet package given its setup file records the file's size and
# SHA-256 as the Internet block's sixth item (and the size for the prompt);
# list prints it, and the SHA-256 of the package file itself.
printf '[Options]\nInternetPackage = 1\n[Internet]\nDownloadLocation = http://x/\nSetupFileName = Full.exe\nSetupFile = payload/readme.txt\n' >net.ini
if "$LUMPACK" create net.ini --stub stub.exe >/dev/null 2>&1 && "$LUMPACK" list net.exe >net.txt 2>&1; then
  want=$(sha256sum payload/readme.txt | cut -d' ' -f1)
  grep -q "SetupFileCheck    10 bytes, SHA-256 $want" net.txt && grep -q "SetupFileSize     10$" net.txt \
    && grep -q "SHA-256           $(sha256sum net.exe | cut -d' ' -f1)" net.txt \
    && grep -aq "|Full.exe|||10|10:$want|" net.exe \
    && ok "setup file check recorded" || fail "setup file check: $(grep -i 'sha\|Setup' net.txt)"
else
  fail "Internet package with a setup file: $(cat net.txt 2>/dev/null)"
fi

manifest_fault "Internet without block" "InternetPackage = 1 needs an \[Internet\] section" <<'EOF'
[Options]
InternetPackage = 1
EOF
manifest_fault "volume too small" "VolumeSize 61000 is too small" <<'EOF'
[Package]
VolumeSize = 61000
[Files]
readme.txt = payload/readme.txt
EOF

# 6. Nested folders: [Folders] follows subfolders (empty ones too), "Name =
# path" puts a tree under a folder, "name\ =" declares a folder, and "/" in a
# name is a folder separator. Every folder entry comes before the entries
# inside it, and the extraction rebuilds the tree.
mkdir -p tree/src/lib/deep tree/src/empty
printf 'one' >tree/src/lib/deep/one.txt
printf 'two' >tree/src/lib/two.txt
: >tree/src/top.dat
cat >tree/tree.ini <<'EOF'
[Files]
bin/Engine.exe = ../payload/Engine.exe
logs\ =
[Folders]
app = src
[Launch]
File = bin\Engine.exe
EOF
if "$LUMPACK" create tree/tree.ini --stub stub.exe -o tree/T.exe >tree/create.txt 2>&1; then
  "$LUMPACK" list tree/T.exe >tree/list.txt 2>&1
  names=$(awk '/^Entries/ { on = 1; next } on && $1 ~ /^[0-9]+$/ { print $7 }' tree/list.txt | tr '\n' ' ')
  expected='bin\ bin\Engine.exe logs\ app\ app\empty\ app\lib\ app\lib\deep\ app\lib\deep\one.txt app\lib\two.txt app\top.dat '
  [ "$names" = "$expected" ] && ok "folder entries before their files" || fail "entry order: '$names', expected '$expected'"
  grep -q "FilesCount        10" tree/list.txt || fail "FilesCount must count files and folder entries: $(grep FilesCount tree/list.txt)"
  grep -qF '[start: bin\Engine.exe*]' tree/list.txt || fail "the program in a folder is not marked"
  "$LUMPACK" extract tree/T.exe tree/out >/dev/null 2>&1 || fail "extract the tree"
  got=$(cd tree/out && find . -mindepth 1 | sort | tr '\n' ' ')
  want='./app ./app/empty ./app/lib ./app/lib/deep ./app/lib/deep/one.txt ./app/lib/two.txt ./app/top.dat ./bin ./bin/Engine.exe ./logs '
  if [ "$got" = "$want" ] && cmp -s tree/out/app/lib/deep/one.txt tree/src/lib/deep/one.txt &&
     cmp -s tree/out/bin/Engine.exe payload/Engine.exe; then ok "nested tree extracted"; else fail "extracted tree: '$got'"; fi
else
  fail "create with folders: $(cat tree/create.txt)"
fi

# 7. A failed create leaves an existing output as it was, and no temporary file.
cp MySetup.exe keep.exe
"$LUMPACK" create sample.ini --stub noise.bin -o keep.exe >/dev/null 2>&1 && fail "a stub that is not a PE was accepted"
cmp -s MySetup.exe keep.exe && ! ls ./*.lumpack-tmp >/dev/null 2>&1 && ok "failed create leaves the old output" \
  || fail "failed create touched the output"
cp MySetup.exe stub2.exe
"$LUMPACK" create sample.ini --stub stub2.exe -o x.exe >out.txt 2>&1 && fail "a stub with a package was accepted" \
  || grep -q "already carries a package" out.txt || fail "stub with package: $(cat out.txt)"

echo "$failures failure(s)"
[ $failures = 0 ]
