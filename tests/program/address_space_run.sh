#!/usr/bin/env bash
# The capacity run (bench/capacity/master_nml) within the address space that
# the README gives, on all the workers the machine allows: it must complete
# with the report and the snapshot of a run without the limit.
#
#   tests/program/address_space_run.sh [program [kB]]   (default: build/vorn_create_geo 270000)
set -euo pipefail
cd "$(dirname "$0")/../.."
program=$(realpath "${1:-build/vorn_create_geo}")
limit_kb=${2:-270000}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for run in free limited; do
  mkdir -p "$scratch/$run"
  cp bench/capacity/master_nml "$scratch/$run/"
done
(cd "$scratch/free" && "$program" > report.txt 2> /dev/null)
if ! (cd "$scratch/limited" && ulimit -v "$limit_kb" && "$program" > report.txt 2> stderr.txt); then
  echo "address space: the capacity run failed under ulimit -v $limit_kb"
  cat "$scratch/limited/stderr.txt"
  exit 1
fi
for output in report.txt vorn_geometry.mat; do
  if ! cmp -s "$scratch/free/$output" "$scratch/limited/$output"; then
    echo "address space: $output differs under ulimit -v $limit_kb"
    exit 1
  fi
done
echo "address space: the capacity run completes under ulimit -v $limit_kb"
