#!/usr/bin/env bash
# Sourced by run.sh and test.sh. Configures and builds the two trees:
#   build/win    - Ringwarden.exe and the Windows-side tests (mingw-w64)
#   build/native - the portable core's tests (clang, ASan+UBSan), benchmarks
#                  and fuzz targets
RW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

rw_build_win() {
    cmake -S "$RW_ROOT" -B "$RW_ROOT/build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$RW_ROOT/cmake/mingw-w64.cmake" >/dev/null
    cmake --build "$RW_ROOT/build/win" "$@"
}

rw_build_native() {
    cmake -S "$RW_ROOT" -B "$RW_ROOT/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$RW_ROOT/build/native" "$@"
}
