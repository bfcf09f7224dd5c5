#!/usr/bin/env bash
# Makes the release archive dist/Kestrel-<version>.zip: kestrel.exe and tessera.exe (32-bit,
# stripped), ReadMe_Kestrel.txt, the example profile as kestrel.ini and LICENSE.txt, in one
# folder Kestrel-<version>.
#
#   scripts/package.sh                      build kestrel and tessera in build/i686, then pack
#   scripts/package.sh --build DIR          take the programs from the tree DIR as they are (the
#                                           release comes from an i686 tree; the tests also pack
#                                           a 64-bit tree, to run its archive where the machine
#                                           runs no 32-bit code)
#   scripts/package.sh --dist DIR           write the archive into DIR instead of dist/
#
# Prints the archive's path on its last line.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=
dist=$root/dist

while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    *) echo "package: unknown argument $1" >&2; exit 2 ;;
  esac
done

die() { echo "package: $*" >&2; exit 1; }

version=$(sed -n 's/^#define KESTREL_VERSION_TEXT "\(.*\)"$/\1/p' "$root/res/version.h")
[ -n "$version" ] || die "no version text in res/version.h"

if [ -z "$build" ]; then
  "$root/scripts/setup.sh"
  build=$root/build/i686
  mkdir -p "$build"
  cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/mingw-i686.cmake" >"$build/configure.log"
  cmake --build "$build" -j2 --target kestrel tessera >"$build/package-build.log" ||
    { tail -n 40 "$build/package-build.log"; die "build failed"; }
fi
# The programs' architecture picks the strip tool; both programs must have the same one.
strip=
for program in kestrel tessera; do
  [ -f "$build/$program.exe" ] || die "no $build/$program.exe"
  case $(x86_64-w64-mingw32-objdump -f "$build/$program.exe" | sed -n 's/.*file format //p') in
    pei-i386) tool=i686-w64-mingw32-strip ;;
    pei-x86-64) tool=x86_64-w64-mingw32-strip ;;
    *) die "$program.exe is not a Windows program" ;;
  esac
  [ -z "$strip" ] || [ "$strip" = "$tool" ] || die "kestrel.exe and tessera.exe are built for different systems"
  strip=$tool
done

readme=$root/docs/ReadMe_Kestrel.txt
# The read-me is kept as Windows text: a UTF-8 byte-order mark and CR LF line ends only.
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || die "ReadMe_Kestrel.txt has no UTF-8 byte-order mark"
! grep -q -v $'\r$' "$readme" || die "ReadMe_Kestrel.txt must end every line with CR LF"

name=Kestrel-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
# The programs go out without their debugging information: under Wine the loader copies every
# section of a program into memory, and the launcher's would hold some 14 MB of it. Stripping
# writes a time stamp into the program's header; SOURCE_DATE_EPOCH fixes it (by default to the
# archive's date), so that stripping the same program twice gives the same bytes.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1714694400}
for program in kestrel tessera; do
  "$strip" -o "$stage/$name/$program.exe" "$build/$program.exe"
done
cp "$readme" "$stage/$name/"
cp "$root/examples/kestrel.ini" "$stage/$name/kestrel.ini"
# Windows editors expect CR LF; the repository keeps the example and the licence with LF.
sed 's/$/\r/' "$root/LICENSE.txt" >"$stage/$name/LICENSE.txt"
sed -i 's/\r\{0,1\}$/\r/' "$stage/$name/kestrel.ini"

mkdir -p "$dist"
archive=$(cd "$dist" && pwd)/$name.zip
rm -f "$archive"
# Fixed time stamps and sorted names, so the same inputs give the same archive.
touch -d "@$SOURCE_DATE_EPOCH" "$stage/$name" "$stage/$name"/*
(cd "$stage" && TZ=UTC zip -q -X -D "$archive" "$name"/kestrel.exe "$name"/tessera.exe \
  "$name"/kestrel.ini "$name"/ReadMe_Kestrel.txt "$name"/LICENSE.txt)
unzip -l "$archive"
echo "$archive"
