#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given), with any extra CMake arguments.
# Compiles through ccache where there is one (scripts/deps.sh installs it): the compiler's
# paths are taken relative to the source tree, so that a fresh clone finds what an earlier
# clone compiled with the same flags.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
launcher=
if command -v ccache >/dev/null; then
  launcher=ccache
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER_LAUNCHER=$launcher \
  -DCMAKE_CXX_COMPILER_LAUNCHER=$launcher "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
