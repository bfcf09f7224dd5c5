#!/usr/bin/env bash
# Checks check-layers.sh against small trees: a clean one must pass, and each forbidden include
# (a layer above, or a system header in a portable file) must be caught on its own. Usage: test-check-layers.sh <scratch-folder>
set -euo pipefail

check=$(cd "$(dirname "$0")" && pwd)/check-layers.sh
scratch=${1:?scratch folder}
failures=0

# make_tree <folder/file> <include line>: a tree with allowed includes plus the given one.
make_tree() {
  rm -rf "$scratch"
  mkdir -p "$scratch"/{raw,job,win,app,tool}
  printf '#include "raw/string.h"\n#include <vector>\n' >"$scratch/raw/string.cpp"
  printf '#include "raw/string.h"\n' >"$scratch/job/script.cpp"
  printf '#include "raw/string.h"\n' >"$scratch/win/widget.cpp"
  printf '#include "job/script.h"\n#include "win/widget.h"\n' >"$scratch/app/main.cpp"
  printf '#include "raw/string.h"\n#include <windows.h>\n' >"$scratch/tool/main_win32.cpp"
  printf '#include <unistd.h>\n' >"$scratch/raw/file_posix.cpp"
  printf '// The list box (Windows only).\n#pragma once\n#include <windows.h>\n' >"$scratch/win/list_box.h"
  printf '// The tip window.\n#pragma once\n' >"$scratch/win/tip.h"
  if [ $# -eq 2 ]; then printf '%s\n' "$2" >>"$scratch/$1"; fi
}

expect() {
  local want=$1 label=$2
  if "$check" "$scratch" >"$scratch.out" 2>&1; then got=pass; else got=fail; fi
  if [ "$got" != "$want" ]; then
    echo "FAIL: $label: expected $want, got $got"
    cat "$scratch.out"
    failures=$((failures + 1))
  else
    echo "ok: $label ($got)"
  fi
}

make_tree
expect pass "clean tree"

while IFS='|' read -r file line; do
  make_tree "$file" "$line"
  expect fail "$file: $line"
done <<'ROWS'
raw/string.cpp|#include "job/script.h"
raw/string.cpp|#include "win/widget.h"
raw/string.cpp|#include "app/main.h"
raw/string.cpp|  #  include <tool/tessera.h>
job/script.cpp|#include "app/settings.h"
job/script.cpp|#include "win/widget.h"
win/widget.cpp|#include "job/script.h"
win/widget.cpp|#include "app/settings.h"
app/main.cpp|#include "tool/tessera.h"
tool/main_win32.cpp|#include "job/script.h"
tool/main_win32.cpp|#include "win/widget.h"
raw/string.cpp|#include <windows.h>
job/script.cpp|#include <shellapi.h>
app/main.cpp|#include <unistd.h>
raw/string.cpp|#include <sys/stat.h>
win/tip.h|#include <windows.h>
win/widget.cpp|struct HWND__;
app/main.cpp|struct tagRECT;
tool/main_win32.cpp|struct HDC__;
ROWS

# A folder whose name only starts like a layer's, and an include in a comment, pass.
make_tree raw/string.cpp '#include "jobs_extra/x.h"'
expect pass "folder that only starts like a layer name"
make_tree raw/string.cpp '// #include "app/main.h"'
expect pass "commented-out include"
# The standard library is no system header; a Windows-only header may reach the system.
make_tree raw/string.cpp '#include <string_view>'
expect pass "standard header in a portable file"
make_tree win/list_box.h '#include <commctrl.h>'
expect pass "system header in a header marked Windows only"

rm -rf "$scratch" "$scratch.out"
[ $failures -eq 0 ]
