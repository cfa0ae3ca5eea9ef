#!/usr/bin/env bash
# Builds the libFuzzer harness of the configuration reader (tests/fuzz/) in a
# build folder of its own and fuzzes it for the given number of seconds.
#
#   bench/fuzz.sh SECONDS [WORKERS]
#
# WORKERS > 1 fuzzes in that many processes (libFuzzer's fork mode).  The
# corpus grows in $VORN_FUZZ_BUILD/corpus (default build-fuzz/), seeded from
# tests/fuzz/corpus, examples/ and tests/configs; a crash, sanitizer report or
# hang (10 s per input) is written to $VORN_FUZZ_BUILD/artifacts/, its log
# shown, and the script fails.  At the end it prints the executions, the corpus
# size and the coverage (cov: edges, ft: features) of the whole corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:?usage: bench/fuzz.sh SECONDS [WORKERS]}
workers=${2:-1}
build=$root/${VORN_FUZZ_BUILD:-build-fuzz}

cmake -S tests/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

fuzzer=$build/namelist_fuzzer
corpus=$build/corpus
log=$build/fuzz.log
mkdir -p "$corpus" "$build/artifacts"
seeds=("$root/tests/fuzz/corpus" "$root/examples" "$root/tests/configs")
# Paths are absolute: the harness works in a folder of its own.  The reports
# of the expected abnormal ends go to the closed standard error.
options=(-dict="$root/tests/fuzz/namelist.dict" -timeout=10 -close_fd_mask=2
         -artifact_prefix="$build/artifacts/" -print_final_stats=1)
if [ "$workers" -gt 1 ]; then
  options+=(-fork="$workers")
fi

start=$(date +%s)
status=0
"$fuzzer" "${options[@]}" -max_total_time="$seconds" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
elapsed=$(( $(date +%s) - start ))
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz.sh: the fuzzer failed (status $status); artifacts in $build/artifacts/" >&2
  exit "$status"
fi

# Fork mode counts the executions of all workers in its progress lines.
if [ "$workers" -gt 1 ]; then
  executions=$(grep -E '^#[0-9]+: cov:' "$log" | tail -n 1 | sed -E 's/^#([0-9]+):.*/\1/' || true)
else
  executions=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log")
fi
# One pass over the whole corpus gives its coverage and its reduced size.
inited=$("$fuzzer" -runs=0 -close_fd_mask=2 "$corpus" "${seeds[@]}" 2>&1 | grep -E 'INITED' | tail -n 1 || true)
cov=$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$inited")
ft=$(sed -nE 's/.*ft: ([0-9]+).*/\1/p' <<<"$inited")
units=$(sed -nE 's/.*corp: ([0-9]+)\/([0-9]+[a-zA-Z]*).*/\1 inputs, \2/p' <<<"$inited")

echo "namelist fuzzer: ${elapsed} s with ${workers} worker(s)"
echo "  executions:  ${executions:-?}"
echo "  corpus:      $(find "$corpus" -type f | wc -l) files in $corpus (reduced with the seeds: ${units:-?})"
echo "  coverage:    cov ${cov:-?}, ft ${ft:-?}"
echo "  crashes:     none (log: $log)"
