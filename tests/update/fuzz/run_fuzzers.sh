#!/usr/bin/env bash
# The long fuzz runs: each target for a while on two cores (libFuzzer's fork mode), starting from
# its corpus. A finding is written into the target's corpus in the source tree (finding-*), where
# the CTest regression run keeps it; new coverage goes to a scratch directory only.
# Usage: run_fuzzers.sh <directory with the fuzz_* binaries> [seconds per target, default 120]
#   cmake -S tests/update/fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ && cmake --build build-fuzz
#   tests/update/fuzz/run_fuzzers.sh build-fuzz
set -uo pipefail
BIN=${1:?directory with the fuzz binaries}
SECONDS_EACH=${2:-120}
HERE=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d /tmp/zw-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
status=0
for name in control minisign ani unpack chm; do
  max_len=16384
  [ "$name" = chm ] && max_len=65536
  mkdir -p "$scratch/$name"
  echo "== fuzz_$name: $SECONDS_EACH s"
  if ! "$BIN/fuzz_$name" -fork=2 -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -max_len="$max_len" \
    -artifact_prefix="$HERE/corpus/$name/finding-" "$scratch/$name" "$HERE/corpus/$name" \
    >"$scratch/$name.log" 2>&1; then
    status=1
    echo "FINDING in fuzz_$name (kept in $HERE/corpus/$name/):"
    grep -E "ERROR|SUMMARY|Test unit written|==[0-9]+==" "$scratch/$name.log" | head -20
  fi
  grep -E "^#[0-9]+.*(DONE|INITED)|stat::number_of_executed_units|cov:" "$scratch/$name.log" | tail -2
done
exit "$status"
