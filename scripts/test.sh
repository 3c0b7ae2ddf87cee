#!/usr/bin/env bash
# Installs what the tests need, builds with warnings as errors and runs every
# test. ctest starts PostgreSQL and MariaDB under build/ci and stops them.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
bash scripts/install-packages.sh test
bash scripts/build.sh ci
# A short fuzzing run of the decoder and the KISS deframer.
if [ -f scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh "${KELDAN_FUZZ_SECONDS:-60}"
fi
ctest --preset ci
