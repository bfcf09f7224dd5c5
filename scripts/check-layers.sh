#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own:
#   raw/  includes nothing of job/, win/, app/, tool/
#   job/  includes nothing of win/, app/, tool/
#   win/  includes nothing of job/, app/, tool/
#   app/  includes nothing of tool/
#   tool/ includes raw/ only
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

if [ $status -eq 0 ]; then echo "check-layers: every include points down"; fi
exit $status
