#!/usr/bin/env bash
# The libFuzzer target for the receive path (fuzz/receive_fuzz.cpp), built
# with clang, ASan and UBSan in build-fuzz/.
#
#   tools/fuzz.sh replay   runs every input of fuzz/corpus/ and
#                          fuzz/regressions/ once: deterministic, what
#                          ./test.sh does
#   tools/fuzz.sh          replays them, then fuzzes for FUZZ_SECONDS (30 by
#                          default) from a copy of the seed corpus
#
# Exits non-zero on a crash, a leak, a hang, running out of memory or a
# broken rule. A failing input is left in build-fuzz/artifacts/; once mended,
# copy it to fuzz/regressions/ so that the replay and tests/test_faults run it.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
seconds="${FUZZ_SECONDS:-30}"

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRS232_SANITIZE=ON -DRS232_FUZZ=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" --target receive_fuzz -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Full stacks through system libraries built without frame pointers, so that
# tests/lsan.supp's suppressions, named by function, find their function.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:fast_unwind_on_malloc=0
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzzer="$build/fuzz/receive_fuzz"
limits=(-timeout=10 -rss_limit_mb=2048 -max_len=4096)

shopt -s nullglob
inputs=(fuzz/corpus/* fuzz/regressions/*)
echo "replaying ${#inputs[@]} inputs from fuzz/corpus and fuzz/regressions"
"$fuzzer" "${limits[@]}" "${inputs[@]}"
[ "${1:-}" = replay ] && exit 0

corpus="$build/corpus"
mkdir -p "$corpus" "$build/artifacts"
cp fuzz/corpus/* "$corpus"/
"$fuzzer" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" "$corpus"
