#!/usr/bin/env bash
# ctest's cross-compiling emulator: wine-exec.sh BUILD_DIR PROGRAM.exe ARGS...
set -euo pipefail
build=$1
shift
. "$(dirname "$0")/wine-env.sh"
rw_wine_env "$build"
exec "$RW_WINE" "$@"
