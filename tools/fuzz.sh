#!/usr/bin/env bash
# Fuzzes the receive path (fuzz/receive_fuzz.cpp) for a short while: builds
# the libFuzzer target with clang, ASan and UBSan in build-fuzz/, replays the
# inputs that once failed (fuzz/regressions/), then fuzzes for FUZZ_SECONDS
# (30 by default) from a copy of the seed corpus. Exits non-zero on a crash,
# a leak, a hang, running out of memory or a broken rule.
# A failing input is left in build-fuzz/artifacts/; once mended, copy it to
# fuzz/regressions/ so that this script and tests/test_faults_bytes replay it.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
seconds="${FUZZ_SECONDS:-30}"

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRS232_SANITIZE=ON -DRS232_FUZZ=ON >/dev/null
cmake --build "$build" --target receive_fuzz -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzzer="$build/fuzz/receive_fuzz"
limits=(-timeout=10 -rss_limit_mb=2048 -max_len=4096)

shopt -s nullglob
regressions=(fuzz/regressions/*)
if [ ${#regressions[@]} -gt 0 ]; then
    echo "replaying ${#regressions[@]} inputs from fuzz/regressions"
    "$fuzzer" "${limits[@]}" "${regressions[@]}"
fi

corpus="$build/corpus"
mkdir -p "$corpus" "$build/artifacts"
cp fuzz/corpus/* "$corpus"/
"$fuzzer" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" "$corpus"
