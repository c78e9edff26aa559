#!/usr/bin/env bash
# A package signed after it was built (Authenticode, osslsigncode with a
# throw-away self-signed certificate) still reads: the trailer is found
# through the package-end mark, and the entries end before the certificate
# table. Without the mark the same signed file no longer reads, which shows
# that the mark is what carries it.
set -uo pipefail
LUMPACK=$(readlink -f "${LUMPACK:?path of the lumpack binary}")
SRC=${LUM_SOURCE_DIR:?source tree}
stub=${LUMPACK_STUB:-}
[ -n "$stub" ] && [ -f "$stub" ] && stub=$(readlink -f "$stub")
WORK=${LUMPACK_WORK:-$(mktemp -d)}/sign
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1

for tool in openssl osslsigncode; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (tools/bootstrap.sh)"; exit 77; }
done

# osslsigncode needs a real PE file: the stub of the Windows build, else a
# tiny program linked here and given the stub's header layout.
if [ -z "$stub" ] || [ ! -f "$stub" ]; then
  command -v i686-w64-mingw32-gcc >/dev/null || { echo "SKIP: no stub.exe and no MinGW to make a PE"; exit 77; }
  printf 'int main(void){return 0;}\n' >tiny.c
  i686-w64-mingw32-gcc -Os -s tiny.c -o tiny.exe && python3 "$SRC/tools/pe_header_at_256.py" tiny.exe || exit 1
  stub=$PWD/tiny.exe
fi
echo "stub: $stub"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

mkdir in && head -c 200000 /dev/urandom >in/Engine.exe && seq 1 50000 >in/list.txt
cat >pkg.ini <<'EOF'
[Settings]
IdentityToken = Signed-Token-42
[Launch]
File = Engine.exe
[Files]
Engine.exe = in/Engine.exe
list.txt = in/list.txt
EOF
"$LUMPACK" create pkg.ini --stub "$stub" -o pkg.exe >create.txt 2>&1 || { cat create.txt; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Lumidor Test Signer" \
  >/dev/null 2>&1 || { echo "openssl could not make a certificate"; exit 1; }
sign() { osslsigncode sign -certs cert.pem -key key.pem -n "Lumidor test" -in "$1" -out "$2" >sign.txt 2>&1 \
  || { cat sign.txt; return 1; }; }

sign pkg.exe signed.exe || { fail "osslsigncode could not sign the package"; exit 1; }
[ "$(stat -c %s signed.exe)" -gt "$(stat -c %s pkg.exe)" ] && ok "signed file carries a certificate table" \
  || fail "signed file is not larger"
osslsigncode verify -CAfile cert.pem -in signed.exe >osv.txt 2>&1 && ok "signature verifies" \
  || fail "osslsigncode verify: $(tail -3 osv.txt)"

"$LUMPACK" list signed.exe >list.txt 2>&1 || fail "list of the signed package: $(tail -2 list.txt)"
grep -q "bytes after it" list.txt || fail "list does not see the data after the package"
grep -q "IdentityToken     'Signed-Token-42'" list.txt && ok "list reads the signed package's blocks" \
  || fail "token not read from the signed package"
"$LUMPACK" verify signed.exe >verify.txt 2>&1 && ok "verify of the signed package" || fail "verify: $(cat verify.txt)"
"$LUMPACK" extract signed.exe out >/dev/null 2>&1 && cmp -s in/Engine.exe out/Engine.exe && cmp -s in/list.txt out/list.txt \
  && ok "extract of the signed package" || fail "extract of the signed package"

# The same package with its mark cleared, then signed: the trailer is no
# longer at the end of the file, and nothing may pretend otherwise.
cp pkg.exe nomark.exe
printf '\0\0\0\0\0\0\0\0' | dd of=nomark.exe bs=1 seek=248 conv=notrunc 2>/dev/null
"$LUMPACK" verify nomark.exe >/dev/null 2>&1 || fail "unsigned package without mark should still verify"
sign nomark.exe nomark-signed.exe || fail "sign without mark"
"$LUMPACK" verify nomark-signed.exe >nm.txt 2>&1 && fail "signed package without mark verified" \
  || ok "without the mark the signed package does not read: $(head -1 nm.txt)"

echo "$failures failure(s)"
[ $failures = 0 ]
