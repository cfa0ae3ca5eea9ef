#!/usr/bin/env bash
# Installs what the builds and tests need, when it is missing.
#
#   tools/install_deps.sh build   the program alone (make run)
#   tools/install_deps.sh test    the program and every test (make test)
#   tools/install_deps.sh ci      the tests, plus the sanitizer, fuzzing,
#                                 valgrind and benchmark tools of .ci/run
#
# Each need is decided by what uses it (a command, a header, a Python import),
# not by package names, so a tool installed some other way counts. Quiet when
# nothing is missing. Where it cannot install (not root, no apt-get) it stops
# with one message that names the packages and the command that installs them.
set -euo pipefail

group=${1:-test}
case "$group" in
  build) groups="build" ;;
  test) groups="build test" ;;
  ci) groups="build test ci" ;;
  *) echo "usage: $0 build|test|ci" >&2; exit 2 ;;
esac

# The one list: group, Debian packages, and the check that passes when the
# need is met.
needs=(
  "build|cmake|command -v cmake"
  "build|g++|command -v g++"
  "build|make|command -v make"
  "test|libgtest-dev|test -f /usr/include/gtest/gtest.h"
  "test|python3-scipy python3-numpy|/usr/bin/python3 -c 'import numpy, scipy.io'"
  "ci|libbenchmark-dev|test -f /usr/include/benchmark/benchmark.h"
  "ci|clang libclang-rt-14-dev|command -v clang++ && ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a"
  "ci|valgrind|command -v valgrind"
)

# Prints the packages of the needs in the chosen groups that are not met.
missing_packages() {
  local need need_group packages check
  for need in "${needs[@]}"; do
    IFS='|' read -r need_group packages check <<<"$need"
    [[ " $groups " == *" $need_group "* ]] || continue
    bash -c "$check" >/dev/null 2>&1 || echo "$packages"
  done
}

missing=($(missing_packages))
[ ${#missing[@]} -eq 0 ] && exit 0

command="apt-get update && apt-get install -y ${missing[*]}"
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
  echo "Missing: ${missing[*]}. Install them, as root on Debian or Ubuntu: $command" >&2
  exit 1
fi
echo "Installing ${missing[*]} ..."
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
still=($(missing_packages))
if [ ${#still[@]} -gt 0 ]; then
  echo "Still missing after the install: ${still[*]}" >&2
  exit 1
fi
