#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang + libFuzzer + ASan/UBSan) into
# build-fuzz/ and runs each for SECONDS (default 20), or only the TARGETs named.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Each target starts from its seeds (fuzz/corpus/TARGET) and what earlier runs
# found (build-fuzz/corpus/TARGET). A fault leaves its input in
# build-fuzz/faults/TARGET/ and makes the script fail. Memory is limited to
# RSS_LIMIT_MB (default 2048) in all and MALLOC_LIMIT_MB per allocation
# (default 16; 32 for the metafile targets, whose drawing at the natural-size
# bound of 2048 x 2048 pixels is itself 16 MiB); an input taking over TIMEOUT
# seconds (default 10) is a hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true

cmake -S fuzz -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for seeds in fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

# The scratch files the targets rewrite for every input live in memory.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

status=0
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  faults=build-fuzz/faults/$target
  mkdir -p "$corpus" "$faults"
  # A metafile that takes seconds to draw (a point millions of pixels away)
  # is a fair input but, picked as often as the rest, slows a run to a few
  # dozen inputs a second; such inputs are picked less often the slower they are.
  case $target in
    picture_emf | picture_wmf) malloc_limit=${MALLOC_LIMIT_MB:-32} schedule=-entropic_scale_per_exec_time=1 ;;
    *) malloc_limit=${MALLOC_LIMIT_MB:-16} schedule= ;;
  esac
  echo "== $target: $seconds s"
  if ! build-fuzz/"$target" "$corpus" "fuzz/corpus/$target" \
      -max_total_time="$seconds" -timeout="${TIMEOUT:-10}" \
      -rss_limit_mb="${RSS_LIMIT_MB:-2048}" -malloc_limit_mb="$malloc_limit" \
      -artifact_prefix="$faults/" -print_final_stats=1 $schedule ${FUZZ_OPTIONS:-} \
      2> "build-fuzz/$target.log"; then
    status=1
    echo "FAULT in $target (build-fuzz/$target.log):"
    grep -E "ERROR|SUMMARY|Test unit written|fuzz check failed" "build-fuzz/$target.log" | head -20
  fi
  grep -E "^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+ *DONE" "build-fuzz/$target.log" || true
done
exit $status
