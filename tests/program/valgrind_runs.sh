#!/usr/bin/env bash
# Runs the built program under valgrind (memcheck) on the shipped example and
# on every test configuration, each in a scratch folder of its own.  Any error
# that memcheck reports, or a run that does not complete, fails the script.
#
#   tests/program/valgrind_runs.sh [program]     (default: build/vorn_create_geo)
set -euo pipefail
cd "$(dirname "$0")/../.."
program=$(realpath "${1:-build/vorn_create_geo}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
for config in examples/master_nml tests/configs/*.nml; do
  folder="$scratch/$(basename "$config" .nml)"
  mkdir -p "$folder"
  cp "$config" "$folder/master_nml"
  if (cd "$folder" && valgrind --tool=memcheck --error-exitcode=99 --quiet "$program" >stdout 2>stderr); then
    echo "valgrind clean: $config"
  else
    echo "valgrind FAILED (status $?): $config"
    cat "$folder/stderr"
    failed=1
  fi
done
exit "$failed"
