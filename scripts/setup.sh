#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the missing Debian packages of
# debian-packages.txt (when allowed to), then configures and builds into build/.
# Usage: scripts/setup.sh [extra cmake options...]
#        scripts/setup.sh --packages-only
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' debian-packages.txt | grep -v '^$')
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "Installing missing Debian packages: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  if "${sudo_cmd[@]}" true 2>/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    echo "Cannot install packages (no root or sudo); please install: ${missing[*]}" >&2
    exit 1
  fi
fi

[ "${1:-}" = "--packages-only" ] && exit 0

build_dir="${TAVRIN_BUILD_DIR:-build}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
generator=()
[ -f "$build_dir/CMakeCache.txt" ] || { command -v ninja >/dev/null && generator=(-G Ninja); }
cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE="${TAVRIN_BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@"
cmake --build "$build_dir" -j "${TAVRIN_JOBS:-2}"
