#!/usr/bin/env bash
# make_signed_files.sh INPUT_EXE OUT_DIR
# Signed copies of INPUT_EXE for the signature tests, with throw-away keys
# made on every run (nothing here is ever committed):
#   unsigned.exe          the input as it is
#   expected.exe          signed by "Kelvo Software AS"
#   other.exe             signed by "Other Company AS"
#   nested_expected.exe   other.exe with a nested "Kelvo Software AS" signature
#   nested_other.exe      other.exe with a nested "Other Company AS" signature
#   nested_self_signed.exe
#                         other.exe with a nested signature by a self-signed
#                         certificate named "Kelvo Software AS"
#   nested_foreign.exe    other.exe with a nested "Kelvo Software AS"
#                         signature taken from another file
#   nested_swapped.exe    nested_foreign.exe with this file's digest written
#                         over the other file's in the nested signature,
#                         which its signed attributes then no longer match
#   tampered.exe          expected.exe with one code byte flipped
#   expected.sha1, root.sha1
#                         SHA-1 of the leaf and root certificates, upper-case
#                         hexadecimal, as the chain report writes them
#   expected.digest, package_expected.digest
#                         the SHA-256 file digest that the file's signature
#                         signs, as osslsigncode reads it, upper-case hex
# and, for the package fetcher's tests, hosts with a payload ("KVX", the
# payload, its length as 32-bit little-endian) appended before signing:
#   package_tree/         a small unpacked package
#   package_unsigned.exe  INPUT_EXE carrying package_tree as a 7z archive
#   package_expected.exe  the same, signed by "Kelvo Software AS"
#   package_other.exe     the same, signed by "Other Company AS"
#   tracking_expected.exe INPUT_EXE carrying tracking data, signed by
#                         "Kelvo Software AS": a running installer with a
#                         certificate table
set -eu
input=$1
out=$2
rm -rf "$out"
mkdir -p "$out/keys"
keys=$out/keys

# A root and two code-signing leaves issued by it.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 \
  -keyout "$keys/root.key" -out "$keys/root.pem" \
  -subj "/CN=Kelvo Test Root/O=Kelvo Tests" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
make_leaf() {
  local name=$1 subject=$2
  openssl req -newkey rsa:2048 -nodes -keyout "$keys/$name.key" \
    -out "$keys/$name.csr" -subj "$subject" 2>/dev/null
  printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=digitalSignature" \
    "extendedKeyUsage=codeSigning" >"$keys/$name.ext"
  openssl x509 -req -in "$keys/$name.csr" -CA "$keys/root.pem" \
    -CAkey "$keys/root.key" -CAcreateserial -days 30 \
    -extfile "$keys/$name.ext" -out "$keys/$name.pem" 2>/dev/null
  cat "$keys/$name.pem" "$keys/root.pem" >"$keys/$name.chain.pem"
}
make_leaf expected "/CN=Kelvo Software AS/O=Kelvo Software AS/C=NO"
make_leaf other "/CN=Other Company AS/O=Other Company AS/C=NO"

sha1_of() {
  openssl x509 -in "$1" -noout -fingerprint -sha1 | sed 's/^.*=//; s/://g' |
    tr 'a-f' 'A-F'
}
sha1_of "$keys/expected.pem" >"$out/expected.sha1"
sha1_of "$keys/root.pem" >"$out/root.sha1"

sign() {
  local signer=$1 in=$2 result=$3
  shift 3
  osslsigncode sign "$@" -certs "$keys/$signer.chain.pem" \
    -key "$keys/$signer.key" -h sha256 -in "$in" -out "$result" >/dev/null
}
cp "$input" "$out/unsigned.exe"
sign expected "$input" "$out/expected.exe"
sign other "$input" "$out/other.exe"
sign expected "$out/other.exe" "$out/nested_expected.exe" -nest
sign other "$out/other.exe" "$out/nested_other.exe" -nest

# The expected signer's name on a certificate that no root vouches for.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 \
  -keyout "$keys/self_signed.key" -out "$keys/self_signed.chain.pem" \
  -subj "/CN=Kelvo Software AS/O=Kelvo Software AS/C=NO" \
  -addext "basicConstraints=critical,CA:FALSE" \
  -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=codeSigning" 2>/dev/null
sign self_signed "$out/other.exe" "$out/nested_self_signed.exe" -nest

# $1 with "KVX", the file $2 and its length appended, as $3. Zeros before
# "KVX" make the whole a multiple of 8 bytes, so that signing it adds no
# padding between the payload's length and the certificate table.
append_payload() {
  cp "$1" "$3"
  local size=$(($(stat -c %s "$1") + 3 + $(stat -c %s "$2") + 4))
  head -c $(((8 - size % 8) % 8)) /dev/zero >>"$3"
  printf 'KVX' >>"$3"
  cat "$2" >>"$3"
  python3 -c 'import os, struct, sys
sys.stdout.buffer.write(struct.pack("<I", os.path.getsize(sys.argv[1])))' \
    "$2" >>"$3"
}
tree=$out/package_tree
mkdir -p "$tree/resources"
printf 'kelvo.exe\r\nresources\\data.pak\r\n' >"$tree/files_list"
printf 'browser' >"$tree/kelvo.exe"
head -c 3000 "$input" >"$tree/resources/data.pak"
(cd "$tree" && 7zz a -t7z "$keys/package.7z" . >/dev/null)
append_payload "$input" "$keys/package.7z" "$out/package_unsigned.exe"
sign expected "$out/package_unsigned.exe" "$out/package_expected.exe"
sign other "$out/package_unsigned.exe" "$out/package_other.exe"
# A genuine signature of the expected signer, but of package_expected.exe:
# osslsigncode attaches it, reports the digest mismatch and fails.
osslsigncode extract-signature -in "$out/package_expected.exe" \
  -out "$keys/foreign.p7" >/dev/null
osslsigncode attach-signature -sigin "$keys/foreign.p7" -nest \
  -in "$out/other.exe" -out "$out/nested_foreign.exe" >/dev/null 2>&1 || true
test -s "$out/nested_foreign.exe"
printf 'dHJhY2tpbmcgZGF0YQ==' >"$keys/tracking"
append_payload "$input" "$keys/tracking" "$keys/tracking.exe"
sign expected "$keys/tracking.exe" "$out/tracking_expected.exe"

signed_digest() {
  osslsigncode verify -in "$1" 2>/dev/null |
    sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' | head -n 1
}
signed_digest "$out/expected.exe" >"$out/expected.digest"
signed_digest "$out/package_expected.exe" >"$out/package_expected.digest"
test -s "$out/expected.digest" && test -s "$out/package_expected.digest"
python3 - "$out/nested_foreign.exe" "$(cat "$out/package_expected.digest")" \
  "$(signed_digest "$out/other.exe")" "$out/nested_swapped.exe" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
old, new = bytes.fromhex(sys.argv[2]), bytes.fromhex(sys.argv[3])
assert data.count(old) == 1 and len(old) == len(new)
open(sys.argv[4], "wb").write(data.replace(old, new))
EOF

# One byte inside the first section: the digest no longer matches, while
# the signature itself still parses.
cp "$out/expected.exe" "$out/tampered.exe"
offset=4096
byte=$(xxd -s "$offset" -l 1 -p "$out/tampered.exe")
printf "\\x$(printf %02x $((0x$byte ^ 0xff)))" |
  dd of="$out/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none

rm -rf "$keys"
