#!/bin/bash
# The capacity run: the program on bench/capacity/master_nml (1.5 million grid
# nodes, 91368 voxels), against a `cat` copy of what it wrote, the floor of
# writing those bytes at all.  Three runs; prints each run and the medians of
# the run time, the program's user and system CPU times, the copy time, their
# ratio, the output sizes and the peak resident memory of the run.
#
# Both timed steps write warm: nothing is flushed to the disk before or between
# them, as the program's own writes are not.  The outputs of the previous run
# and their copies are removed before each run, so each step writes new files.
#
#   bench/run_capacity.sh [PROGRAM [FLAG]]
#
# PROGRAM defaults to build/vorn_create_geo.  FLAG is the run's
# IO_GEOMETRY_FLAG: 1 (default) writes the full report, and the copy is that of
# the report and the snapshot; 0 writes the snapshot and a short report, and
# the copy is that of the snapshot alone.
#
# Needs /usr/bin/time (Debian package "time") for the peak memory; installs it
# with apt-get when it is missing.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(realpath "${1:-$here/../build/vorn_create_geo}")
flag=${2:-1}
config="$here/capacity/master_nml"
runs=3

if [ ! -x "$program" ]; then
    echo "run_capacity: no program at $program (build it first)" >&2
    exit 1
fi
if [ "$flag" != 0 ] && [ "$flag" != 1 ]; then
    echo "run_capacity: FLAG is 0 or 1, not \"$flag\"" >&2
    exit 1
fi
if [ ! -x /usr/bin/time ]; then
    echo "run_capacity: /usr/bin/time is missing; installing the package \"time\" with apt-get"
    apt-get update > /dev/null && apt-get install -y time > /dev/null
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorn_capacity.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
sed "s/^\( *IO_GEOMETRY_FLAG *= *\)1/\1$flag/" "$config" > "$scratch/master_nml"
cd "$scratch"

now_ns() { date +%s%N; }
seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }

# What the copy writes again: the snapshot, and with FLAG 1 the report too.
copy_outputs() {
    if [ "$flag" = 1 ]; then cat report.txt > report_copy.txt; fi
    cat vorn_geometry.mat > snapshot_copy.mat
}

run_times=()
copy_times=()
peaks_kb=()
user_times=()
system_times=()
for run in $(seq 1 $runs); do
    rm -f report.txt vorn_geometry.mat report_copy.txt snapshot_copy.mat master_error time.txt

    start=$(now_ns)
    if ! /usr/bin/time -v -o time.txt "$program" > report.txt 2> stderr.txt; then
        echo "run_capacity: the program failed:" >&2
        cat stderr.txt time.txt >&2
        exit 1
    fi
    run_ns=$(( $(now_ns) - start ))

    start=$(now_ns)
    copy_outputs
    copy_ns=$(( $(now_ns) - start ))

    peak_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' time.txt)
    user_s=$(awk -F': ' '/User time/ { print $2 }' time.txt)
    system_s=$(awk -F': ' '/System time/ { print $2 }' time.txt)
    run_times+=("$(seconds $run_ns)")
    copy_times+=("$(seconds $copy_ns)")
    peaks_kb+=("$peak_kb")
    user_times+=("$user_s")
    system_times+=("$system_s")
    echo "run $run: program ${run_times[-1]} s (user $user_s s, system $system_s s)," \
         "cat copy ${copy_times[-1]} s, peak RSS $peak_kb kB"
done

report_bytes=$(stat -c %s report.txt)
snapshot_bytes=$(stat -c %s vorn_geometry.mat)
run_median=$(median "${run_times[@]}")
copy_median=$(median "${copy_times[@]}")
peak_median=$(median "${peaks_kb[@]}")

echo "program:        $program"
echo "IO_GEOMETRY_FLAG = $flag; copied: $([ "$flag" = 1 ] && echo "report and snapshot" || echo "snapshot")"
echo "voxels:         $(awk '/no_of_voxels/ { print $NF }' report.txt)"
echo "report:         $report_bytes bytes"
echo "snapshot:       $snapshot_bytes bytes (vorn_geometry.mat)"
echo "median of $runs runs:"
echo "  program run:  $run_median s (user $(median "${user_times[@]}") s, system $(median "${system_times[@]}") s)"
echo "  cat copy:     $copy_median s"
echo "  ratio:        $(awk -v a="$run_median" -v b="$copy_median" 'BEGIN { printf "%.2f", a / b }')"
echo "  peak RSS:     $peak_median kB ($(awk -v k="$peak_median" 'BEGIN { printf "%.1f", k / 1024 }') MiB)"
