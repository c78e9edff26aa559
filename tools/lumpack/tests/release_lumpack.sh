#!/usr/bin/env bash
# Publishing an update with lumpack, natively: keygen (modes, the public key
# is the private key's), the update key in an agent package (list shows it;
# the keys an agent cannot use are refused), release (the keys it writes,
# everything else kept byte for byte, a signature that OpenSSL verifies),
# check (good, and each fault an agent would refuse), refused releases that
# leave the INFO file and its signature as they were, usage errors, help,
# and create's progress on a terminal only.
set -uo pipefail
LUMPACK=$(readlink -f "${LUMPACK:?path of the lumpack binary}")
[ -x "$LUMPACK" ] || { echo "no lumpack binary at $LUMPACK"; exit 1; }
WORK=${LUMPACK_WORK:-$(mktemp -d)}/release
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1
command -v openssl >/dev/null || { echo "SKIP: openssl is not installed (tools/bootstrap.sh)"; exit 77; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# Runs lumpack and expects exit code $2 and a message matching $3; $1 labels it.
expect() { # $1 = label, $2 = exit code, $3 = pattern, then lumpack's arguments
  local label=$1 code=$2 pattern=$3 out rc
  shift 3
  out=$("$LUMPACK" "$@" 2>&1); rc=$?
  if [ $rc != "$code" ]; then fail "$label: exit $rc, expected $code: $out"
  elif ! grep -q -- "$pattern" <<<"$out"; then fail "$label: message '$out'"
  else ok "$label"; fi
}

# A stand-in stub image: "MZ" at 0, "PE\0\0" at 256.
python3 - <<'EOF'
b = bytearray(60000); b[0:2] = b"MZ"; b[256:260] = b"PE\0\0"
open("stub.exe", "wb").write(b)
EOF
head -c 200000 /dev/urandom >engine.bin
printf 'What is new.\r\n' >news.rtf

# The DER public key of a PEM file, as hex.
der_hex() { openssl pkey -pubin -in "$1" -outform DER | od -An -v -tx1 | tr -d ' \n'; }

# 1. keygen: the private key is created 0600 whatever the umask, the public
# key is its public half, nothing secret is printed, nothing is replaced.
out=$( umask 000; "$LUMPACK" keygen keys 2>&1 ); rc=$?
if [ $rc = 0 ] && [ "$(stat -c %a keys.private.pem)" = 600 ] && [ "$(stat -c %a keys.public.pem)" = 644 ]; then
  ok "keygen modes"
else
  fail "keygen: exit $rc, modes $(stat -c %a keys.private.pem keys.public.pem 2>&1 | tr '\n' ' '): $out"
fi
grep -q "PRIVATE KEY" <<<"$out" && fail "keygen printed the private key"
[ "$(openssl pkey -in keys.private.pem -pubout)" = "$(cat keys.public.pem)" ] && ok "the public key is the private key's" \
  || fail "keys.public.pem is not the public half of keys.private.pem"
openssl pkey -in keys.private.pem -text -noout 2>/dev/null | grep -q "Private-Key: (3072 bit" || fail "keygen: not RSA-3072"
cp keys.private.pem before.pem
expect "keygen never replaces a key" 1 "exists already" keygen keys
cmp -s keys.private.pem before.pem || fail "a refused keygen changed the private key"
"$LUMPACK" keygen other >/dev/null 2>&1 || fail "keygen other"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out rsa2048.pem 2>/dev/null
openssl pkey -in rsa2048.pem -pubout -out rsa2048.pub.pem 2>/dev/null

# 2. The update key in packages: the agent, and the setup that installs the
# next agent, carry it as the settings block's sixth item; list shows it.
manifest() { # $1 = file, $2 = options lines, $3 = token, $4 = key line
  printf '[Options]\n%s\n[Settings]\nUpdateInfo = http://h/up/info.ini\nAgentFileName = agent.exe\nIdentityToken = %s\n%s\n[Files]\nEngine.exe = engine.bin\n' \
    "$2" "$3" "$4" >"$1"
}
manifest agent.ini "AutoUpdateAgent = 1" Prod-1 $'[Agent]\nUpdateKey = keys.public.pem'
manifest setup.ini "InstallAgentCopy = 1" Prod-1 $'[Agent]\nUpdateKey = keys.public.pem'
manifest other.ini "InstallAgentCopy = 1" Other-9 $'[Agent]\nUpdateKey = keys.public.pem'
manifest nokey.ini "InstallAgentCopy = 1" Prod-1 ""
manifest plainagent.ini "AutoUpdateAgent = 1" Prod-1 ""
mkdir -p pub
for m in agent:agent.exe setup:pub/Setup2.exe other:other.exe nokey:nokey.exe plainagent:plainagent.exe; do
  "$LUMPACK" create "${m%%:*}.ini" --stub stub.exe -o "${m#*:}" >/dev/null 2>&1 || fail "create ${m%%:*}"
done
want=$(der_hex keys.public.pem)
"$LUMPACK" list agent.exe >agent.txt 2>&1
grep -q "UpdateKey         $((${#want} / 2))-byte public key $want\$" agent.txt && ok "list shows the update key" \
  || fail "list of the agent: $(grep -A7 'Settings block' agent.txt)"
# The settings block's items, as stored (the package-end mark is the file's end here).
settings_items() {
  python3 - "$1" <<'EOF'
import struct, sys
d = open(sys.argv[1], "rb").read()
at = struct.unpack_from("<I", d, len(d) - 74 + 4)[0]
at += 4 + struct.unpack_from("<I", d, at)[0]          # past the language block
n = struct.unpack_from("<I", d, at)[0]
block = d[at + 4:at + 4 + n].decode("latin-1")
print(" ".join(str(len(i)) if i else "-" for i in block[1:-1].split(block[0])))
EOF
}
items=$(settings_items agent.exe)
[ "$(wc -w <<<"$items")" = 6 ] && [ "${items##* }" = ${#want} ] && grep -aq "|$want|" agent.exe \
  && ok "the key is the sixth settings item" || fail "settings items (lengths): $items"
[ "$(settings_items plainagent.exe | wc -w)" = 5 ] || fail "a package without a key does not have five settings items"
"$LUMPACK" list plainagent.exe | grep -q UpdateKey && fail "list shows a key in a package without one"
"$LUMPACK" verify agent.exe >/dev/null 2>&1 || fail "verify of a package with a key"

manifest_fault() { # $1 = label, $2 = pattern, $3 = options line, $4 = key line
  manifest bad.ini "$3" Prod-1 "$4"
  rm -f bad.exe
  expect "$1" 1 "$2" create bad.ini --stub stub.exe
  [ -e bad.exe ] && fail "$1: a package was written"
}
manifest_fault "key on a package with no agent" "bad.ini:8: UpdateKey is for a package that is an agent" "" \
  $'[Agent]\nUpdateKey = keys.public.pem'
manifest_fault "key file that holds no key" "bad.ini:8: 'engine.bin' holds no public key" "AutoUpdateAgent = 1" \
  $'[Agent]\nUpdateKey = engine.bin'
manifest_fault "RSA-2048 key" "bad.ini:8: .* is not an RSA-3072 key" "AutoUpdateAgent = 1" \
  $'[Agent]\nUpdateKey = rsa2048.pub.pem'
manifest_fault "unknown key in [Agent]" "bad.ini:8: unknown key 'Key'" "AutoUpdateAgent = 1" $'[Agent]\nKey = x'

# 3. release: the five keys written into [NewSetup]; every other line, the
# comments, the blank lines and the CRLF line ends kept; the signature is
# OpenSSL's own over the written bytes.
printf '; Product feed\r\n[NewSetup]\r\nDownloadURL_UPDATE=http://h/up/\r\n; ask first\r\nRequestConfirmationBeforeInstall = 1\r\nVersionNew = 3\r\nStamp=5\r\n\r\n[General]\r\nAutoInform=0\r\n' >pub/info.ini
cp pub/info.ini original.ini
if "$LUMPACK" release pub/info.ini pub/Setup2.exe 4 --key keys.private.pem --agent agent.exe --stamp 77 >rel.txt 2>&1; then
  size=$(stat -c %s pub/Setup2.exe); sha=$(sha256sum pub/Setup2.exe | cut -d' ' -f1)
  expected=$(printf '; Product feed\r\n[NewSetup]\r\nDownloadURL_UPDATE=http://h/up/\r\n; ask first\r\nRequestConfirmationBeforeInstall = 1\r\nVersionNew = 4\r\nStamp=77\r\nNameOfUpdateFile=Setup2.exe\r\nSizeOfUpdateFile=%s\r\nSHA256OfUpdateFile=%s\r\n\r\n[General]\r\nAutoInform=0\r\n' "$size" "$sha")
  [ "$(cat pub/info.ini)" = "$expected" ] && ok "release writes its keys and keeps every other line" \
    || fail "released INFO file: $(diff <(echo "$expected") pub/info.ini | cat -A)"
  [ "$(stat -c %s pub/info.ini.sig)" = 384 ] || fail "the signature is not 384 bytes"
  openssl dgst -sha256 -verify keys.public.pem -signature pub/info.ini.sig pub/info.ini >/dev/null 2>&1 \
    && ok "openssl verifies the signature" || fail "openssl does not verify pub/info.ini.sig"
else
  fail "release: $(cat rel.txt)"
fi
# The stamp from the clock is above the last one.
cp pub/info.ini pub/info.bak && cp pub/info.ini.sig pub/info.sig.bak
"$LUMPACK" release pub/info.ini pub/Setup2.exe 5 --key keys.private.pem >/dev/null 2>&1 || fail "release 5"
stamp=$(tr -d '\r' <pub/info.ini | sed -n 's/^Stamp=//p')
[ "$stamp" -gt 1700000000 ] && ok "stamp from the clock ($stamp)" || fail "stamp '$stamp'"
cp pub/info.bak pub/info.ini && cp pub/info.sig.bak pub/info.ini.sig

# 4. check: good; then each fault the agent would refuse.
expect "check: good" 0 "OK: pub/info.ini" check pub/info.ini --agent agent.exe
expect "check with the public key" 0 "verifies with 'keys.public.pem'" check pub/info.ini --pub keys.public.pem
sed 's/RequestConfirmationBeforeInstall = 1/RequestConfirmationBeforeInstall = 0/' pub/info.ini >pub/changed.tmp
cp pub/info.ini pub/keep.tmp && mv pub/changed.tmp pub/info.ini
expect "check: INFO changed after signing" 1 "does not verify" check pub/info.ini --agent agent.exe
mv pub/keep.tmp pub/info.ini
expect "check: another key" 1 "does not verify" check pub/info.ini --pub other.public.pem
cp pub/Setup2.exe setup.keep
printf 'X' | dd of=pub/Setup2.exe bs=1 seek=70000 conv=notrunc 2>/dev/null
expect "check: setup digest differs" 1 "Setup2.exe' has the SHA-256 .*SHA256OfUpdateFile says $sha" \
  check pub/info.ini --agent agent.exe
cp setup.keep pub/Setup2.exe
expect "check: setup missing" 1 "cannot be read" check pub/info.ini --files /nonexistent
expect "check: signature missing" 1 "original.ini.sig' is missing" check original.ini --pub keys.public.pem
expect "check: setup of another product" 1 "has the identity token 'Prod-1', the agent 'other.exe' has 'Other-9'" check pub/info.ini --agent other.exe
# A feed signed by OpenSSL itself verifies; but with a key pinned, the setup's digest is required.
printf '[NewSetup]\r\nDownloadURL_UPDATE=http://h/up/\r\nNameOfUpdateFile=Setup2.exe\r\nVersionNew=2\r\n' >pub/nosha.ini
openssl dgst -sha256 -sign keys.private.pem -out pub/nosha.ini.sig pub/nosha.ini
expect "check: no SHA-256 with a key" 1 "SHA256OfUpdateFile is missing: an agent with an update key requires it" \
  check pub/nosha.ini --agent agent.exe
out=$("$LUMPACK" check pub/nosha.ini --agent agent.exe 2>&1)
grep -q "signature: verifies with the key pinned in 'agent.exe'" <<<"$out" \
  && ok "a signature made by openssl verifies" || fail "check does not verify a signature made by openssl"
# Without a key pinned, an unsigned file passes, and says so.
printf '[NewSetup]\r\nDownloadURL_UPDATE=http://h/up/\r\nNameOfUpdateFile=Setup2.exe\r\nVersionNew=2\r\n' >pub/plain.ini
expect "check: unsigned feed of an agent without a key" 0 "signature: none (no key given" check pub/plain.ini

# 5. Refused releases: exit 1, a clear message, the INFO file and its
# signature untouched, no temporary file left.
refused() { # $1 = label, $2 = pattern, then release's arguments after INFO
  local label=$1 pattern=$2
  shift 2
  cp pub/info.ini pub/info.bak && cp pub/info.ini.sig pub/info.sig.bak
  expect "refused: $label" 1 "$pattern" release pub/info.ini "$@"
  cmp -s pub/info.ini pub/info.bak && cmp -s pub/info.ini.sig pub/info.sig.bak || fail "$label: the INFO file or its signature changed"
  ls pub/*.lumpack-tmp >/dev/null 2>&1 && fail "$label: a temporary file was left"
}
refused "token differs" "the setup 'other.exe' has the identity token 'Other-9', the agent 'agent.exe' has 'Prod-1'" \
  other.exe 6 --key keys.private.pem --agent agent.exe
refused "version not above the last" "version 4 is not above VersionNew=4" pub/Setup2.exe 4 --key keys.private.pem --agent agent.exe
refused "version below the last" "version 2 is not above VersionNew=4" pub/Setup2.exe 2 --key keys.private.pem
refused "key does not match the agent's" "the private key 'other.private.pem' does not match the key pinned in 'agent.exe'" \
  pub/Setup2.exe 6 --key other.private.pem --agent agent.exe
refused "key does not match the public key" "does not match 'keys.public.pem'" pub/Setup2.exe 6 --key other.private.pem --pub keys.public.pem
refused "setup is not a package" "the setup 'engine.bin' is not a package" engine.bin 6 --key keys.private.pem
refused "agent pins a key, no --key" "verifies the INFO file's signature: give the private key with --key" pub/Setup2.exe 6 --agent agent.exe
refused "signature exists, no --key" "info.ini.sig' would no longer match" pub/Setup2.exe 6
refused "next agent without a key" "installs an agent without an update key" nokey.exe 6 --key keys.private.pem --agent agent.exe
refused "expiry day passed" "Expires 2001-01-01 has passed" pub/Setup2.exe 6 --key keys.private.pem --expires 2001-01-01
refused "2048-bit private key" "is not an RSA-3072 key" pub/Setup2.exe 6 --key rsa2048.pem
# A failure after the new INFO file was written (its signature cannot be
# written: a folder stands in the way) leaves the old pair in place.
cp pub/info.ini pub/info.bak && cp pub/info.ini.sig pub/info.sig.bak
mkdir pub/info.ini.sig.lumpack-tmp
expect "refused: signature cannot be written" 1 "cannot create 'pub/info.ini.sig.lumpack-tmp'" \
  release pub/info.ini pub/Setup2.exe 6 --key keys.private.pem
cmp -s pub/info.ini pub/info.bak && cmp -s pub/info.ini.sig pub/info.sig.bak && [ ! -e pub/info.ini.lumpack-tmp ] \
  && ok "a failed write leaves the old INFO file and signature" || fail "a failed write changed the INFO file or left its temporary"
rmdir pub/info.ini.sig.lumpack-tmp

# 6. Expires and inform mode.
if "$LUMPACK" release pub/info.ini pub/Setup2.exe 6 --key keys.private.pem --expires 2999-12-31 --inform news.rtf >/dev/null 2>&1; then
  tr -d '\r' <pub/info.ini >flat.txt
  grep -qx "Expires=2999-12-31" flat.txt && grep -qx "NameOfInformFile=news.rtf" flat.txt \
    && grep -qx "SizeOfInformFile=14" flat.txt && grep -qx "SHA256OfInformFile=$(sha256sum news.rtf | cut -d' ' -f1)" flat.txt \
    && ok "release writes Expires and the inform file's keys" || fail "release --expires --inform: $(cat flat.txt)"
else
  fail "release --expires --inform"
fi
sed 's/^AutoInform=0/AutoInform=1/' original.ini >pub/inform.ini
expect "refused: inform mode without the inform file's digest" 1 "needs SHA256OfInformFile with a signature: give --inform" \
  release pub/inform.ini pub/Setup2.exe 4 --key keys.private.pem
sed -i 's/^AutoInform=0/AutoInform=1/' pub/info.ini
"$LUMPACK" release pub/info.ini pub/Setup2.exe 7 --key keys.private.pem >/dev/null 2>&1 || fail "release in inform mode"
expect "check: inform file missing beside the INFO file" 1 "news.rtf' (NameOfInformFile) cannot be read" check pub/info.ini --agent agent.exe
printf 'What is NEW.\r\n' >pub/news.rtf
expect "check: inform file differs" 1 "news.rtf' has the SHA-256" check pub/info.ini --agent agent.exe
cp news.rtf pub/news.rtf
expect "check: inform mode, good" 0 "inform file: pub/news.rtf, 14 bytes" check pub/info.ini --agent agent.exe
sed -i 's/^Expires=2999-12-31/Expires=2001-01-01/' pub/info.ini
expect "check: expired" 1 "Expires 2001-01-01 has passed" check pub/info.ini
sed -i 's/^Expires=2001-01-01/Expires=1st of May/' pub/info.ini
expect "check: Expires not a day" 1 "Expires '1st of May' is not a day written YYYY-MM-DD" check pub/info.ini

# 7. Usage errors exit 2; help exits 0 and names every option.
expect "usage: release without arguments" 2 "release needs INFO, SETUP and VERSION" release
expect "usage: version 1.2" 2 "VERSION '1.2' is not a whole number" release pub/info.ini pub/Setup2.exe 1.2
expect "usage: version 0" 2 "VERSION '0' is not" release pub/info.ini pub/Setup2.exe 0
expect "usage: version above 32 bits" 2 "VERSION '2147483648' is not" release pub/info.ini pub/Setup2.exe 2147483648
expect "usage: unknown option" 2 "unknown option --sign" release pub/info.ini pub/Setup2.exe 8 --sign x
expect "usage: option without value" 2 "\-\-key needs a value" release pub/info.ini pub/Setup2.exe 8 --key
expect "usage: --agent with --pub" 2 "exclude each other" check pub/info.ini --agent a --pub b
expect "usage: bad --expires" 2 "is not a day written YYYY-MM-DD" release pub/info.ini pub/Setup2.exe 8 --expires 31.12.2030
expect "usage: keygen without BASE" 2 "keygen needs one BASE" keygen
expect "usage: check without INFO" 2 "check needs one INFO file" check
expect "usage: unknown verb" 2 "unknown verb publish" publish
expect "usage: create with two manifests" 2 "one manifest only" create a.ini b.ini
expect "help" 0 "keygen BASE" --help
for verb_options in "create -o --stub" "list" "verify" "extract" "token" "keygen" \
                    "release --key --agent --pub --inform --expires --stamp" "check --agent --pub --files"; do
  set -- $verb_options
  verb=$1; shift
  help=$("$LUMPACK" "$verb" --help 2>&1); rc=$?
  [ $rc = 0 ] && grep -q "usage: lumpack $verb" <<<"$help" || { fail "$verb --help: exit $rc: $help"; continue; }
  for option in "$@"; do
    grep -q -- "^ *$option " <<<"$help" || fail "$verb --help does not describe $option"
  done
done
ok "every verb's help"

# 8. create shows its progress on a terminal, and nothing when stderr is not one.
if command -v script >/dev/null; then
  script -qec "'$LUMPACK' create agent.ini --stub stub.exe -o tty.exe" /dev/null >tty.txt 2>&1
  grep -q "lumpack: packing 100%" tty.txt && ok "progress on a terminal" || fail "no progress on a terminal: $(cat -A tty.txt)"
else
  echo "skipped: no 'script' to give lumpack a terminal"
fi
"$LUMPACK" create agent.ini --stub stub.exe -o quiet.exe >quiet.out 2>quiet.err || fail "create to a file"
[ ! -s quiet.err ] && ok "quiet without a terminal" || fail "create wrote to stderr without a terminal: $(cat -A quiet.err)"

echo "$failures failure(s)"
[ $failures = 0 ]
