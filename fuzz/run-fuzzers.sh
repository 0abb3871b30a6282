#!/usr/bin/env bash
# Runs each fuzzer for a bounded time on its own working corpus, seeded from fuzz/seeds, and
# prints how many inputs each one executed and how many a second. A crash or a broken
# property stops with the failing input saved under <build>/crashes/.
# Usage: fuzz/run-fuzzers.sh <build-dir> <seconds-per-fuzzer>
set -euo pipefail
build=${1:?build dir}
seconds=${2:-60}
top=$(cd "$(dirname "$0")/.." && pwd)

declare -A seeds=(
  [srecord_fuzzer]="$top/fuzz/seeds/srecord_fuzzer"
  [sim_pod_fuzzer]="$top/fuzz/seeds/sim_pod_fuzzer"
  [host_fuzzer]="$top/fuzz/seeds/host_fuzzer"
  [host_sim_fuzzer]="$top/fuzz/seeds/host_sim_fuzzer"
)
mkdir -p "$build/crashes"
summary=()
status=0
for fuzzer in srecord_fuzzer sim_pod_fuzzer host_fuzzer host_sim_fuzzer; do
  corpus="$build/corpus/$fuzzer"
  log="$build/$fuzzer.log"
  mkdir -p "$corpus"
  echo "== $fuzzer: ${seconds}s"
  if "$build/fuzz/$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/crashes/$fuzzer-" "$corpus" "${seeds[$fuzzer]}" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
    tail -n 40 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(( ${runs:-0} / seconds ))
  summary+=("$fuzzer: ${runs:-?} executions in ${seconds}s (${rate}/s), $result")
done
printf '%s\n' "${summary[@]}"
exit $status
