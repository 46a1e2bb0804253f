#!/usr/bin/env bash
# The test command: installs what is missing, builds both trees and runs
# every test (native core tests under ASan/UBSan, the Windows-side tests
# under Wine on a private Xvfb display), then prints the benchmark figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
. "$root/tools/build.sh"
. "$root/tools/wine-env.sh"

# Two cores: keep the builds from running each other out of memory.
jobs=$(nproc)

summary=()
run_ctest() { # DIR LABEL
    local log rc
    log=$(mktemp)
    set +e
    ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 300 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    set -e
    summary+=("$2: $(grep -E 'tests passed|tests failed' "$log" | tail -1)")
    rm -f "$log"
    return $rc
}

cleanup() {
    [ -n "${WINEPREFIX:-}" ] && "$RW_WINESERVER" -k 2>/dev/null || true
    rw_stop_display "$root/build/win"
}
trap cleanup EXIT

echo "== native build (portable core, ASan + UBSan)"
rw_build_native
echo "== Windows build (mingw-w64)"
rw_build_win

status=0
echo "== native tests"
run_ctest "$root/build/native" native || status=1

echo "== Windows tests under Wine"
rw_wine_env "$root/build/win"
run_ctest "$root/build/win" windows || status=1

echo "== soak and screening benchmark (Ringwarden.exe on the line simulator)"
# RW_SOAK_CALLS sets the number of calls (default 10,000).
if bash "$root/tools/soak.sh" "$root/build/win" "${RW_SOAK_CALLS:-10000}"; then
    summary+=("soak: 0 tests failed out of 1")
else
    summary+=("soak: 1 tests failed out of 1")
    status=1
fi

echo "== benchmarks"
for b in "$root"/build/native/bench/bench_*; do
    [ -x "$b" ] && "$b" --benchmark_min_time=0.2
done

echo "== Windows benchmarks under Wine"
# Figures only, through the wrapper ctest uses (the same prefix and display).
for b in "$root"/build/win/bin/bench_*.exe; do
    [ -f "$b" ] && { bash "$root/tools/wine-exec.sh" "$root/build/win" "$b" || echo "$(basename "$b") failed"; }
done

printf '%s\n' "${summary[@]}"
# One closing line for both trees.
passed=0 failed=0
for s in "${summary[@]}"; do
    if [[ $s =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    else
        status=1
    fi
done
echo "$passed passed, $failed failed"
exit $status
