#!/usr/bin/env bash
# Deferred actions run as SYSTEM in folders users can write: they reach files and folders
# through the one door (win/held_folder, win/named_object) and act on handles. A call that
# acts by path (a Win32 file function given a path, or one of win/paths.h's wrappers that
# act) is allowed only in the files that docs/architecture.md lists under "Where the
# library acts by path", each with its reason. Prints every other such call with its file
# and line, and exits 1 when there is one.
#   path_calls.sh <src folder> <docs/architecture.md>
set -uo pipefail
src=${1:?usage: path_calls.sh <src folder> <architecture.md>}
doc=${2:?usage: path_calls.sh <src folder> <architecture.md>}

# The allowed files: the names in backquotes before the colon of the section's
# "- `win/paths.cpp`: why" lines.
allowed=$(awk '/^## Where the library acts by path/{on=1; next} /^## /{on=0} on' "$doc" | grep '^- `' |
  sed 's/`: .*//' | grep -oE '`[A-Za-z0-9_/]+\.cpp' | tr -d '`')
[ -n "$allowed" ] || { echo "no section \"Where the library acts by path\" in $doc"; exit 1; }

win32='(CreateFile[AW]|DeleteFile[AW]?|RemoveDirectory[AW]?|CreateDirectory(Ex)?[AW]|MoveFile(Ex|WithProgress)?[AW]|CopyFile(Ex|2)?[AW]?|ReplaceFile[AW]?|SetFileAttributes[AW]|GetFileAttributes(Ex)?[AW]|FindFirstFile(Ex)?[AW]|SetNamedSecurityInfo[AW]|GetNamedSecurityInfo[AW]|CreateHardLink[AW]|CreateSymbolicLink[AW]|SHFileOperation[AW])'
wrappers='(deleteFile|replaceFile|removeEmptyFolder|createFolder|setAttributes|copyFile|moveFileOrFolder|makeFolderTree)'
found=0
while IFS= read -r file; do
  rel=${file#"$src"/}
  grep -qxF "$rel" <<<"$allowed" && continue
  while IFS= read -r hit; do
    echo "$rel:$hit"
    found=1
  done < <(grep -nE "(::|[^A-Za-z0-9_])($win32|$wrappers)[[:space:]]*\(" "$file" | grep -vE '^[0-9]+:[[:space:]]*//' |
           grep -vE "(bool|DWORD|void|std::wstring|unique_hfind)[[:space:]]+$wrappers[[:space:]]*\(")
done < <(find "$src" -name '*.cpp' | sort)
if [ $found -ne 0 ]; then
  echo "path-based file calls outside the files listed in $doc (act through the door instead, or list the file there with its reason)"
  exit 1
fi
echo "path-based file calls only where the library acts in its own folders or the user's account ($(wc -l <<<"$allowed") files)"
