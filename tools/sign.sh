#!/usr/bin/env bash
# Signs Tidewell.dll and the tools (tidewell-add.exe, tidewell-check.exe) of a build with
# the author's code-signing certificate, using osslsigncode (Authenticode, SHA-256).
# Security products flag unsigned custom-action DLLs that an installation extracts to
# the temporary folder and loads: sign the library before it goes into a package.
#
#   tools/sign.sh --cert <cert.pem> --key <key.pem> [options] <build folder>
#   tools/sign.sh --pkcs12 <cert.p12> [options] <build folder>
# Options:
#   --pass-file <file>   the key's or the PKCS#12 file's password, read from a file
#   --timestamp <url>    an RFC 3161 time-stamping service (keeps the signature valid
#                        after the certificate expires)
#   --out <folder>       write the signed files there (default: sign in place)
set -euo pipefail

usage() { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

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

[ -z "$out" ] || mkdir -p "$out"
for name in Tidewell.dll tidewell-add.exe tidewell-check.exe; do
  source_file=$build/bin/$name
  [ -f "$source_file" ] || { echo "sign.sh: $source_file does not exist (build first)" >&2; exit 1; }
  target=${out:+$out/$name}
  target=${target:-$source_file}
  signed=$(mktemp "${target}.XXXXXX")
  rm -f "$signed"
  osslsigncode sign "${credentials[@]}" -h sha256 -n "Tidewell" -in "$source_file" -out "$signed" >/dev/null
  mv -f "$signed" "$target"
  echo "signed $target"
done
