#!/usr/bin/env bash
# ctest's cross-compiling emulator: wine-exec.sh BUILD_DIR PROGRAM.exe ARGS...
# RW_WINE_HOME, when set, replaces the HOME (and so the ALSA set-up) that
# the program sees, e.g. to record what it plays into a file.
set -euo pipefail
build=$1
shift
. "$(dirname "$0")/wine-env.sh"
rw_wine_env "$build"
if [ -n "${RW_WINE_HOME:-}" ]; then
    export HOME=$RW_WINE_HOME
fi
exec "$RW_WINE" "$@"
