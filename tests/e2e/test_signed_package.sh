#!/usr/bin/env bash
# A package signed with Authenticode (a throw-away key and certificate) still
# passes `voxpack test` and unpacks under Wine: the signature is appended
# behind the archive, and both the packager and the stub must look past it.
#   test_signed_package.sh NATIVE_VOXPACK VOXSTUB_EXE WINE_RUN
# Exits 77 (skipped) when a tool or the native build is missing.
set -euo pipefail
voxpack=$1 stub=$2 wine_run=$3
skip() { echo "skipped: $*"; exit 77; }
[ -x "$voxpack" ] || skip "no native voxpack at $voxpack (build the native preset first)"
[ -f "$stub" ] && [ -x "$wine_run" ] || skip "no Windows build"
command -v openssl >/dev/null && command -v osslsigncode >/dev/null || skip "openssl or osslsigncode is missing"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/sub"
printf 'signed payload\r\n' >"$work/src/readme.txt"
head -c 300000 /dev/urandom >"$work/src/sub/data.bin"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=voxkit e2e" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1

# The destination as Wine sees the Unix folder: drive Z:.
dest="Z:$(printf '%s' "$work/dest" | tr / '\\')"
"$voxpack" package "$work/src" -o "$work/unsigned.exe" --stub "$stub" --setup-app setup.exe \
  --default-target "$dest" >"$work/pack.log" 2>&1 || { cat "$work/pack.log"; exit 1; }
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "voxkit e2e" \
  -in "$work/unsigned.exe" -out "$work/signed.exe" >"$work/sign.log" 2>&1 || { cat "$work/sign.log"; exit 1; }
if cmp -s "$work/unsigned.exe" "$work/signed.exe"; then echo "osslsigncode changed nothing"; exit 1; fi

"$voxpack" test "$work/signed.exe" || { echo "voxpack test failed on the signed package"; exit 1; }

status=0
VOX_WINE_TIMEOUT=120 "$wine_run" "$work/signed.exe" /QUIET >"$work/wine.log" 2>&1 || status=$?
if [ "$status" != 0 ]; then
  echo "the signed package exited with $status under Wine"
  cat "$work/wine.log"
  exit 1
fi
cmp "$work/src/readme.txt" "$work/dest/readme.txt"
cmp "$work/src/sub/data.bin" "$work/dest/sub/data.bin"
echo "signed package: tested and unpacked"
