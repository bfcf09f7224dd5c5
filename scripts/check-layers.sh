#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own:
#   raw/  includes nothing of job/, win/, app/, tool/
#   job/  includes nothing of win/, app/, tool/
#   win/  includes nothing of job/, app/, tool/
#   app/  includes nothing of tool/
#   tool/ includes raw/ only
# and when a file outside a platform's own files reaches the system:
#   a system header (<windows.h> and its family, or a POSIX one) only in files named *_win32.*
#   or *_posix.*, or in a header whose first line says "(Windows only)";
#   no hand-declared system handle types (struct HWND__; struct tagRECT; ...) anywhere.
# Usage: check-layers.sh [repository-root]
set -euo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
status=0

check() {
  local folder=$1 forbidden=$2 hits
  [ -d "$root/$folder" ] || return 0
  hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($forbidden)/" \
           --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.inl' \
           "$root/$folder" || true)
  if [ -n "$hits" ]; then
    echo "check-layers: $folder/ must not include $forbidden:"
    echo "$hits" | sed "s|^$root/|  |"
    status=1
  fi
}

check raw 'job|win|app|tool'
check job 'win|app|tool'
check win 'job|app|tool'
check app 'tool'
check tool 'job|win|app'

# The system headers of either platform that portable files must not include.
system_headers='windows|windowsx|winuser|wingdi|winbase|shellapi|shlobj|shlwapi|commctrl|commdlg|tlhelp32|psapi|dbghelp|ddeml|imm|objbase|unistd|dirent|fcntl|pthread|iconv|dlfcn|signal|termios|sys/[a-z_]+'

check_system_headers() {
  local file first hits
  while IFS= read -r -d '' file; do
    case ${file##*/} in
      *_win32.* | *_posix.*) continue ;;
    esac
    hits=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($system_headers)\.h>" "$file" || true)
    [ -n "$hits" ] || continue
    first=$(head -n 1 "$file")
    case $file in
      *.h) [[ $first == *"(Windows only)"* ]] && continue ;;
    esac
    echo "check-layers: ${file#"$root"/} is portable but includes a system header:"
    echo "$hits" | sed 's/^/  /'
    status=1
  done < <(find "$root/raw" "$root/job" "$root/win" "$root/app" "$root/tool" \
             \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null)
}

check_handle_declarations() {
  local hits
  hits=$(grep -rnE "^[[:space:]]*struct[[:space:]]+(H[A-Z]+__|tag[A-Z]+)[[:space:]]*;" \
           --include='*.h' --include='*.cpp' "$root/raw" "$root/job" "$root/win" "$root/app" \
           "$root/tool" 2>/dev/null || true)
  if [ -n "$hits" ]; then
    echo "check-layers: system types are declared by hand (include the system header instead):"
    echo "$hits" | sed "s|^$root/|  |"
    status=1
  fi
}

check_system_headers
check_handle_declarations

if [ $status -eq 0 ]; then echo "check-layers: every include points down and portable files stay portable"; fi
exit $status
