#!/usr/bin/env bash
# Sets up (packages, configure, build) and starts Tavrin from build/bin/, its program folder.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cd build/bin
exec ./tavrin "$@"
