#!/usr/bin/env bash
# Signs the libraries (Tidewell.dll, Tidewell64.dll: each that the build folder holds) and
# the tools (tidewell-add.exe, tidewell-check.exe) of a build with
# the author's code-signing certificate, using osslsigncode (Authenticode, SHA-256).
# Security products flag unsigned custom-action DLLs that an installation extracts to
# the temporary folder and loads: sign the library before it goes into a package.
#
#   tools/sign.sh --cert <cert.pem> --key <key.pem> [options] <build folder>
#   tools/sign.sh --pkcs12 <cert.p12> [options] <build folder>
# The build folder is one build (build/x86, build/x64: its bin folder is signed) or the
# folder above both (build/: each build's bin folder is signed, into --out/x86 and --out/x64).
# Options:
#   --pass-file <file>   the key's or the PKCS#12 file's password, read from a file
#   --timestamp <url>    an RFC 3161 time-stamping service (keeps the signature valid
#                        after the certificate expires)
#   --out <folder>       write the signed files there (default: sign in place)
set -euo pipefail

usage() { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

cert="" key="" pkcs12="" pass_file="" timestamp="" out=""
while [ $# -gt 0 ]; do
  case $1 in
    --cert) cert=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --pkcs12) pkcs12=$2; shift 2 ;;
    --pass-file) pass_file=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) usage ;;
    -*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] || usage
build=$1
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is not installed (tools/setup.sh installs it)" >&2; exit 1; }

credentials=()
if [ -n "$pkcs12" ]; then
  credentials=(-pkcs12 "$pkcs12")
elif [ -n "$cert" ] && [ -n "$key" ]; then
  credentials=(-certs "$cert" -key "$key")
else
  echo "sign.sh: give --cert and --key, or --pkcs12" >&2; usage
fi
[ -z "$pass_file" ] || credentials+=(-readpass "$pass_file")
[ -z "$timestamp" ] || credentials+=(-ts "$timestamp")

sign_build() {  # sign_build <build> <out or empty>
  local build=$1 out=$2 names=() name
  for name in Tidewell.dll Tidewell64.dll; do [ -f "$build/bin/$name" ] && names+=("$name"); done
  [ ${#names[@]} -gt 0 ] || { echo "sign.sh: $build/bin holds no Tidewell.dll or Tidewell64.dll (build first)" >&2; exit 1; }
  [ -z "$out" ] || mkdir -p "$out"
  for name in "${names[@]}" tidewell-add.exe tidewell-check.exe; do
    local source_file=$build/bin/$name target signed
    [ -f "$source_file" ] || { echo "sign.sh: $source_file does not exist (build first)" >&2; exit 1; }
    target=${out:+$out/$name}
    target=${target:-$source_file}
    signed=$(mktemp "${target}.XXXXXX")
    rm -f "$signed"
    osslsigncode sign "${credentials[@]}" -h sha256 -n "Tidewell" -in "$source_file" -out "$signed" >/dev/null
    mv -f "$signed" "$target"
    echo "signed $target"
  done
}

if [ -d "$build/bin" ]; then
  sign_build "$build" "$out"
else
  signed_any=""
  for arch in x86 x64; do
    [ -d "$build/$arch/bin" ] || continue
    sign_build "$build/$arch" "${out:+$out/$arch}"
    signed_any=1
  done
  [ -n "$signed_any" ] || { echo "sign.sh: $build holds no build (bin, x86/bin or x64/bin)" >&2; exit 1; }
fi
