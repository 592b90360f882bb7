#!/usr/bin/env bash
# tools/sign.sh with a throwaway certificate: a CA and a code-signing certificate made
# here with openssl. The signatures verify against that CA (and an unsigned file does
# not), and a package that carries the signed library installs and works.
#   signed_library_test.sh <source folder> <build folder> <x86|x64>
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
arch=$3
library=Tidewell.dll; [ "$arch" = x64 ] && library=Tidewell64.dll
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tidewell Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
  -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tidewell Test Signer" -keyout signer.key -out signer.csr 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
  -out signer.pem 2>/dev/null

"$source_dir/tools/sign.sh" --cert signer.pem --key signer.key --out signed "$build"
verify() { osslsigncode verify -CAfile ca.pem -in "$1" >verify.log 2>&1; }
for name in "$library" tidewell-add.exe tidewell-check.exe; do
  check "$name: the signature verifies against the test CA" verify "signed/$name"
done
# --out leaves the build's files as they were: unsigned, so they do not verify.
check "the build's unsigned library does not verify" bash -c "! osslsigncode verify -CAfile ca.pem -in '$build/bin/$library' >/dev/null 2>&1"

# The package of the authoring kit's test, with the signed library in its Binary row.
check "a package with the signed library installs and works" \
  bash "$source_dir/tests/package/authoring_idt_test.sh" "$source_dir" "$build" "$work/signed/$library" "$arch"
[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
