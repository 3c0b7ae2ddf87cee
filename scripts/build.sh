#!/usr/bin/env bash
# Configures and builds one preset (default: dev) with Ninja; further
# arguments name the targets to build (default: everything).
#   build.sh [PRESET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
shift || true
cmake --preset "$preset" > /dev/null
if [ $# -gt 0 ]; then
  cmake --build --preset "$preset" --target "$@"
else
  cmake --build --preset "$preset"
fi
